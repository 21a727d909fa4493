#pragma once
// The PDF viewer control of pdfview.ocx: every page of a document one below
// the other in one scrolling view, zoom (Ctrl + wheel, Ctrl + plus/minus,
// fit each page to the width), page up/down (also Space and Shift+Space), and
// a slim bar that shows the page at the middle of the view, the page count
// and the zoom at which that page is drawn. Zooming and fitting keep the
// middle of the view in place; the pages are drawn by PageView (page_view.h).
// A document that cannot be shown leaves a centred note saying so, with the
// file's name, instead of an empty view.
//
// For reading: search (Ctrl+F; the hits are marked, Enter and Shift+Enter or
// the arrows go to the next and previous one, the bar counts them "3/17");
// links that work and the document's contents in a side panel ("目录") that
// can be hidden; a page number typed into the bar (Ctrl+G) goes there; text
// selected with the mouse is copied with Ctrl+C; printing (Ctrl+P) through
// the system's print dialog; a document protected by a password asks for it;
// and a document opens again where the user left it (reading_places.h).
#include <QString>
#include <QWidget>

#include "gui/controls/control_interface.h"

#include <QPdfSelection>
#include <optional>

class QLabel;
class QLineEdit;
class QPdfBookmarkModel;
class QPdfDocument;
class QPdfLinkModel;
class QPdfSearchModel;
class QPainter;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QTreeView;

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

  // Reading.
  void ShowSearch();
  void FindNext(int direction);  // +1 next hit, -1 previous
  void GoToPage(int page);       // from 0
  void CopySelection();
  void Print();

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
  void UpdateSearchCount();
  void PaintMarks(QPainter& painter, int page, const QRectF& rect, double scale);
  // The link at `point` (in points) of `page`: its row in the link model, or -1.
  int LinkAt(int page, QPointF point);
  void FollowLink(int row);
  void UpdateCursor();
  void SavePlace();
  bool Unlock(const QString& file);  // asks for the password until it opens the document or is cancelled

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
  QLineEdit* pageBox_;
  QToolButton* outlineButton_;
  QToolButton* printButton_;

  QWidget* searchBar_;
  QLineEdit* searchBox_;
  QLabel* searchCount_;
  QPdfSearchModel* search_;
  int currentHit_ = -1;
  bool hitWanted_ = false;  // go to the first hit once one is found

  QSplitter* split_;
  QTreeView* outline_;
  QPdfBookmarkModel* bookmarks_;
  QPdfLinkModel* links_;
  int linkRoles_[4] = {-1, -1, -1, -1};  // rectangle, url, page, location

  QString path_;
  bool busy_ = false;
  bool overLink_ = false;
  // Text selection: on one page, from where the button went down.
  int selectionPage_ = -1;
  QPointF selectionStart_;
  bool pressed_ = false;
  bool dragged_ = false;
  std::optional<QPdfSelection> selection_;
};

}  // namespace pdfview
