#pragma once
// The PDF viewer control of pdfview.ocx: every page of a document one below
// the other in one scrolling view, zoom (Ctrl + wheel, Ctrl + plus/minus,
// fit each page to the width), page up/down, and a slim bar that shows the
// page at the middle of the view, the page count and the zoom at which that
// page is drawn. Zooming and fitting keep the middle of the view in place;
// the pages are drawn by PageView (page_view.h). A document that cannot be shown leaves a
// centred note saying so, with the file's name, instead of an empty view.
#include <QString>
#include <QWidget>

#include "gui/controls/control_interface.h"

class QLabel;
class QPdfDocument;
class QStackedWidget;
class QToolButton;

namespace pdfview {

class PageView;

class PdfviewControl final : public QWidget,
                             public controls::Control,
                             private controls::DispatchInterface {
 public:
  explicit PdfviewControl(QWidget* parent);
  ~PdfviewControl() override;

  // controls::Control
  QWidget* widget() override { return this; }
  controls::DispatchInterface* QueryInterface(std::string_view interfaceId) override;

  // Shows the document at `path`; false (and the note) when it cannot be shown.
  bool open(const QString& path);

  // Zoom steps and the page in view, as the bar's buttons and the keys use them.
  void ZoomIn();
  void ZoomOut();
  void FitWidth();
  int CurrentPage() const;  // from 0; -1 without a document

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  controls::DispatchResult Invoke(std::int32_t dispatchId,
                                  const std::vector<controls::DispatchValue>& arguments) override;
  void BuildBar(QWidget* bar);
  void InstallKeys();
  void SetZoom(double factor);
  double EffectiveZoom() const;
  void ShowNothing(const QString& path, const QString& reason);
  void UpdateBar();

  QPdfDocument* document_;
  QStackedWidget* pages_;
  PageView* view_;
  QLabel* note_;
  QWidget* bar_;
  QToolButton* zoomOut_;
  QToolButton* zoomIn_;
  QToolButton* fitWidth_;
  QLabel* pageLabel_;
  QLabel* zoomLabel_;
};

}  // namespace pdfview
