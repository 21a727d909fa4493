#pragma once
// The links of one page of a document, as Qt PDF finds them: QPdfLinkModel.
// Qt 6.6 and later publish its header; Qt 6.4 and 6.5 build and export the
// same class without one, so it is declared here for them: only members the
// library defines, and the one data member it keeps beside the private
// pointer (its role names), so that the object we allocate has the size the
// library's constructor fills: 24 bytes on 64-bit Qt 6.4, as its deleting
// destructor says. Its roles are looked up by name ("rectangle", "url",
// "page", "location", "zoom").
#if __has_include(<QtPdf/qpdflinkmodel.h>)
#include <QtPdf/qpdflinkmodel.h>
#else
#include <QAbstractListModel>
#include <QPdfDocument>
#include <QtPdf/qtpdfglobal.h>

class Q_PDF_EXPORT QPdfLinkModel : public QAbstractListModel {
 public:
  explicit QPdfLinkModel(QObject* parent);
  ~QPdfLinkModel() override;
  const QMetaObject* metaObject() const override;
  void* qt_metacast(const char* name) override;
  int qt_metacall(QMetaObject::Call call, int id, void** arguments) override;
  QHash<int, QByteArray> roleNames() const override;
  int rowCount(const QModelIndex& parent) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QPdfDocument* document() const;
  int page() const;
  void setDocument(QPdfDocument* document);
  void setPage(int page);

 private:
  QHash<int, QByteArray> m_roleNames;  // the library's own; never touched here
};
static_assert(sizeof(QPdfLinkModel) == sizeof(QAbstractListModel) + sizeof(void*));
#endif
