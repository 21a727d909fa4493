#pragma once
// The pages of a PDF document one below the other in one scrolling view.
//
// Every page is drawn at a zoom of its own: fitted to the width, each page
// fills the width of the view; at a chosen zoom, all pages share it. The view
// keeps square tiles of the pages at the zoom shown, in a cache sized to a
// few screens of the view, so memory follows the window, not the zoom or the
// page size. The pictures are rendered on a thread of their own
// (page_renderer.h): a page small enough is rendered whole, once per zoom,
// a larger one in the part in view; the next screen is rendered ahead. A key
// is answered at once, and until a picture is ready the view shows the one it
// had there before (scaled) or a blank page.
//
// Page sizes are read as they are needed: the first page's at once, the
// others by the renderer in the background (and with each picture). Until a
// page's size is known it is taken to be the first page's; when the real one
// differs, the pages are laid out again around the place in view.
//
// Page positions are kept in fractions of a pixel and rounded only where a
// page is drawn, and the page in the middle of the view is found in the same
// positions, so the page named and the page seen agree in any length of
// document.
#include <QAbstractScrollArea>
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include "gui/controls/page_renderer.h"
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QPainter;
class QPdfDocument;

namespace pdfview {

class PageView final : public QAbstractScrollArea {
 public:
  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 8.0;
  // The tile cache holds this many screens of the view, at least kMinBudget.
  static constexpr int kBudgetScreens = 6;
  static constexpr std::int64_t kMinBudget = 16LL << 20;

  explicit PageView(QWidget* parent);
  ~PageView() override;

  // Shows `document`, loaded from `path` (with `password`), fitted to the
  // width, from the top; nullptr shows nothing.
  void SetDocument(QPdfDocument* document, const QString& path = QString(), const QString& password = QString());
  int PageCount() const { return int(points_.size()); }

  bool Fitted() const { return fitted_; }
  // Both keep the point in the middle of the view where it is.
  void FitToWidth();
  void SetZoom(double zoom);  // the same zoom for every page, within the limits

  // The page that crosses the middle of the view (from 0; -1 without pages)
  // and the zoom at which it is drawn.
  int PageAtCentre() const;
  double ZoomAtCentre() const;
  // The highest zoom that every page of the document allows: 800%, less for
  // pages or documents so large that their pixels would not fit the view's
  // coordinates.
  double MaxZoom() const { return maxZoom_; }

  // Called after the pages moved or changed size.
  std::function<void()> onChanged;
  // Called whenever the view has all it asked for drawn and every page
  // size read, or starts waiting again: the argument says which.
  std::function<void(bool busy)> onBusy;
  // Draws over page `page`, whose picture fills `rect` in the viewport at
  // `scale` logical pixels per point (search hits, a selection).
  std::function<void(QPainter&, int page, const QRectF& rect, double scale)> paintOverlay;

  // Bytes the tile cache holds now, and the most it may hold.
  std::int64_t CachedBytes() const;
  std::int64_t Budget() const;
  bool Busy() const { return busy_; }

  // A place in the document: a page and a point on it, in fractions of its
  // width and height.
  struct Place {
    int page = -1;
    double x = 0.5;
    double y = 0;
  };
  // The place at the middle of the view, and scrolling it back there.
  Place CentrePlace() const { return CentreAnchor(viewport()->size()); }
  void ShowPlace(const Place& place) { ScrollTo(place); }

  // The page (and the point on it, in points) shown at `position` of the
  // viewport; page -1 where there is none.
  std::pair<int, QPointF> PointAt(QPointF position) const;
  // Scrolls so that `point` (in points) of `page` is at the top of the view
  // (and sideways into view when x is not negative).
  void ShowPoint(int page, QPointF point);
  // Scrolls so that `area` (in points) of `page` is a third down the view
  // and sideways in view.
  void ShowArea(int page, const QRectF& area);
  // The rectangle of `page` in the viewport now, and the scale it is drawn at.
  QRectF PageRectangle(int page) const { return PageRect(page); }
  double Scale(int page) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  // A point of the document given by a page and a place on it (fractions of
  // its width and height).
  using Anchor = Place;
  struct Tile {
    int page;
    QSize pageSize;  // the page's size in device pixels: which zoom it was drawn at
    int column;
    int row;
    QImage image;
    std::uint64_t used;
  };

  double ScaleOf(int page) const;  // logical pixels per point
  void Layout();
  void UpdateScrollBars();
  Anchor CentreAnchor(QSize viewportSize) const;
  void ScrollTo(const Anchor& anchor);
  int PageAt(double y) const;
  QRectF PageRect(int page) const;  // in the view's coordinates, on whole device pixels
  const Tile* Cached(int page, QSize pageSize, int column, int row);
  void AskForPictures();
  void TakePicture(const PageRenderer::Picture& picture);
  void TakeSizes(const PageRenderer::Sizes& sizes);
  void SizesChanged();
  void UpdateMaxZoom();
  void SetBusy(bool busy);
  void Trim();

  QPdfDocument* document_ = nullptr;
  std::vector<QSizeF> points_;  // page sizes in points, estimated until known
  bool fitted_ = true;
  double zoom_ = 1.0;       // when not fitted
  double maxZoom_ = kMaxZoom;
  qreal ratio_ = 1.0;        // device pixels per logical pixel
  // Per page: size in device pixels, and top edge and size in logical pixels.
  std::vector<QSize> devicePages_;
  std::vector<double> tops_;
  std::vector<QSizeF> sizes_;
  double contentWidth_ = 0;
  double contentHeight_ = 0;
  QSize laidOutFor_;  // the viewport size of the layout

  std::vector<Tile> tiles_;
  std::uint64_t clock_ = 0;
  std::uint64_t paintMark_ = 0;  // tiles used at or after it are in view
  bool busy_ = false;
  bool missing_ = false;  // the last paint lacked pictures
  std::vector<PageRenderer::Job> asked_;
  std::uint64_t generation_ = 0;
  std::unique_ptr<PageRenderer> renderer_;
};

}  // namespace pdfview
