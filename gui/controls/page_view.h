#pragma once
// The pages of a PDF document one below the other in one scrolling view.
//
// Every page is drawn at a zoom of its own: fitted to the width, each page
// fills the width of the view; at a chosen zoom, all pages share it. The view
// renders only what is visible, in square tiles at the zoom shown, and keeps
// the tiles in a cache of fixed size, so memory stays flat at any zoom and on
// any page size. Tiles are rendered a few at a time between events: a key is
// answered at once, and until a tile is ready the view shows the picture it
// had there before (scaled) or a blank page.
//
// Page positions are kept in fractions of a pixel and rounded only where a
// page is drawn, and the page in the middle of the view is found in the same
// positions, so the page named and the page seen agree in any length of
// document.
#include <QAbstractScrollArea>
#include <QImage>
#include <QSizeF>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

class QPdfDocument;

namespace pdfview {

class PageView final : public QAbstractScrollArea {
 public:
  static constexpr double kMinZoom = 0.1;
  static constexpr double kMaxZoom = 8.0;
  // Memory the tile cache may hold, in bytes.
  static constexpr std::int64_t kTileBudget = 96LL << 20;

  explicit PageView(QWidget* parent);

  // Shows `document` (its page sizes are read now) fitted to the width, from
  // the top; nullptr shows nothing.
  void SetDocument(QPdfDocument* document);
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

  // Bytes the tile cache holds now.
  std::int64_t CachedBytes() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  // A point of the document given by a page and a place on it (fractions of
  // its width and height).
  struct Anchor {
    int page = -1;
    double x = 0.5;
    double y = 0;
  };
  struct Tile {
    int page;
    int pageWidth;  // the page's width in device pixels: which zoom it was drawn at
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
  const Tile* Cached(int page, int pageWidth, int column, int row);
  void RenderPending();
  void Trim();

  QPdfDocument* document_ = nullptr;
  std::vector<QSizeF> points_;  // page sizes in points
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
  struct Wanted {
    int page;
    int pageWidth;
    int column;
    int row;
  };
  std::vector<Wanted> pending_;
  QTimer renderTimer_;
};

}  // namespace pdfview
