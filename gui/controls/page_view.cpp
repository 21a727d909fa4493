#include "gui/controls/page_view.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cmath>

namespace pdfview {
namespace {

constexpr double kMargin = 8;   // around the pages, logical pixels
constexpr double kSpacing = 8;  // between pages
constexpr int kTileSize = 512;  // device pixels
// The longest page edge, in device pixels, that a zoom may reach, and the
// longest column of pages: both must stay within the scroll bars' range.
constexpr double kMaxPageEdge = 400000;
constexpr double kMaxContent = 1.5e9;
// Rendering between events stops after this long, so keys are answered.
constexpr int kRenderSliceMs = 15;

// Logical pixels per PDF point at 100%.
double ScreenResolution() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return (screen ? screen->logicalDotsPerInch() : 96.0) / 72.0;
}

}  // namespace

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent) {
  // Always there, so fitting to the width never makes it appear or vanish.
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  verticalScrollBar()->setSingleStep(24);
  horizontalScrollBar()->setSingleStep(24);
  renderTimer_.setSingleShot(true);
  renderTimer_.setInterval(0);
  connect(&renderTimer_, &QTimer::timeout, this, [this] { RenderPending(); });
}

void PageView::SetDocument(QPdfDocument* document) {
  document_ = document;
  points_.clear();
  tiles_.clear();
  pending_.clear();
  if (document_)
    for (int page = 0; page < document_->pageCount(); ++page)
      points_.push_back(document_->pagePointSize(page));
  // The zoom limits of this document: no page edge beyond kMaxPageEdge
  // device pixels, no column of pages beyond kMaxContent pixels.
  double longestEdge = 0;
  double column = 0;
  for (const QSizeF& size : points_) {
    longestEdge = std::max({longestEdge, size.width(), size.height()});
    column += size.height();
  }
  const double resolution = ScreenResolution() * std::max(devicePixelRatioF(), 1.0);
  maxZoom_ = kMaxZoom;
  if (longestEdge > 0) maxZoom_ = std::min(maxZoom_, kMaxPageEdge / (longestEdge * resolution));
  if (column > 0) maxZoom_ = std::min(maxZoom_, kMaxContent / (column * resolution));
  maxZoom_ = std::max(maxZoom_, kMinZoom);
  fitted_ = true;
  Layout();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  viewport()->update();
  if (onChanged) onChanged();
}

double PageView::ScaleOf(int page) const {
  double zoom = zoom_;
  if (fitted_) {
    const double room = std::max(viewport()->width() - 2 * kMargin, 1.0);
    zoom = room / (std::max(points_[size_t(page)].width(), 1.0) * ScreenResolution());
  }
  return std::clamp(zoom, kMinZoom, maxZoom_) * ScreenResolution();
}

void PageView::Layout() {
  ratio_ = std::max(viewport()->devicePixelRatioF(), 1.0);
  laidOutFor_ = viewport()->size();
  const size_t count = points_.size();
  devicePages_.resize(count);
  tops_.resize(count);
  sizes_.resize(count);
  double y = kMargin;
  double widest = 0;
  for (size_t page = 0; page < count; ++page) {
    const double scale = ScaleOf(int(page)) * ratio_;
    const QSize device(std::max(1, int(std::lround(points_[page].width() * scale))),
                       std::max(1, int(std::lround(points_[page].height() * scale))));
    devicePages_[page] = device;
    sizes_[page] = QSizeF(device.width() / ratio_, device.height() / ratio_);
    tops_[page] = y;
    y += sizes_[page].height() + kSpacing;
    widest = std::max(widest, sizes_[page].width());
  }
  contentHeight_ = count ? y - kSpacing + kMargin : 0;
  contentWidth_ = count ? widest + 2 * kMargin : 0;
  UpdateScrollBars();
}

void PageView::UpdateScrollBars() {
  const QSize room = viewport()->size();
  QScrollBar* vertical = verticalScrollBar();
  QScrollBar* horizontal = horizontalScrollBar();
  vertical->setPageStep(room.height());
  vertical->setRange(0, std::max(0, int(std::ceil(contentHeight_)) - room.height()));
  horizontal->setPageStep(room.width());
  // Fitted pages, rounded to whole device pixels, may be a fraction wider
  // than the view: no scroll bar for that.
  horizontal->setRange(0, std::max(0, int(std::lround(contentWidth_)) - room.width()));
}

int PageView::PageAt(double y) const {
  if (tops_.empty()) return -1;
  // The last page whose top edge lies above y; the gap below a page belongs to it.
  const auto after = std::upper_bound(tops_.begin(), tops_.end(), y);
  return after == tops_.begin() ? 0 : int(after - tops_.begin()) - 1;
}

int PageView::PageAtCentre() const {
  if (tops_.empty()) return -1;
  const QScrollBar* bar = verticalScrollBar();
  // Scrolled to the very end, the last page is the one being read even when
  // it is too short to reach the middle.
  if (bar->maximum() > 0 && bar->value() >= bar->maximum()) return int(tops_.size()) - 1;
  // The middle row of pixels, and the pages where they are drawn: rounded
  // to whole device pixels like the drawing, so bar and picture agree.
  const double middle = viewport()->height() / 2 + 0.5 / ratio_;
  int page = PageAt(bar->value() + middle);
  if (size_t(page) + 1 < tops_.size() && PageRect(page + 1).top() <= middle)
    ++page;
  else if (page > 0 && PageRect(page).top() > middle)
    --page;
  return page;
}

double PageView::ZoomAtCentre() const {
  const int page = PageAtCentre();
  if (page < 0) return fitted_ ? 1.0 : zoom_;
  return ScaleOf(page) / ScreenResolution();
}

PageView::Anchor PageView::CentreAnchor(QSize viewportSize) const {
  Anchor anchor;
  if (tops_.empty()) return anchor;
  const double x = horizontalScrollBar()->value() + viewportSize.width() / 2.0;
  const double y = verticalScrollBar()->value() + viewportSize.height() / 2.0;
  anchor.page = PageAt(y);
  const QSizeF size = sizes_[size_t(anchor.page)];
  const double left = (std::max(contentWidth_, double(laidOutFor_.width())) - size.width()) / 2;
  anchor.x = (x - left) / size.width();
  anchor.y = (y - tops_[size_t(anchor.page)]) / size.height();
  return anchor;
}

void PageView::ScrollTo(const Anchor& anchor) {
  if (anchor.page < 0 || size_t(anchor.page) >= tops_.size()) return;
  const QSizeF size = sizes_[size_t(anchor.page)];
  const QSize room = viewport()->size();
  const double left = (std::max(contentWidth_, double(room.width())) - size.width()) / 2;
  const double x = left + anchor.x * size.width();
  const double y = tops_[size_t(anchor.page)] + anchor.y * size.height();
  horizontalScrollBar()->setValue(int(std::lround(x - room.width() / 2.0)));
  verticalScrollBar()->setValue(int(std::lround(y - room.height() / 2.0)));
}

void PageView::FitToWidth() {
  const Anchor anchor = CentreAnchor(viewport()->size());
  fitted_ = true;
  Layout();
  ScrollTo(anchor);
  viewport()->update();
  if (onChanged) onChanged();
}

void PageView::SetZoom(double zoom) {
  const Anchor anchor = CentreAnchor(viewport()->size());
  zoom_ = std::clamp(zoom, kMinZoom, maxZoom_);
  fitted_ = false;
  Layout();
  ScrollTo(anchor);
  viewport()->update();
  if (onChanged) onChanged();
}

void PageView::resizeEvent(QResizeEvent* event) {
  // The place is taken from the size the pages were laid out for.
  const Anchor anchor = CentreAnchor(laidOutFor_);
  QAbstractScrollArea::resizeEvent(event);
  if (points_.empty()) return;
  Layout();
  ScrollTo(anchor);
  if (onChanged) onChanged();
}

void PageView::scrollContentsBy(int, int) { viewport()->update(); }

QRectF PageView::PageRect(int page) const {
  const QSizeF size = sizes_[size_t(page)];
  const double width = std::max(contentWidth_, double(viewport()->width()));
  const double left = (width - size.width()) / 2 - horizontalScrollBar()->value();
  const double top = tops_[size_t(page)] - verticalScrollBar()->value();
  // On whole device pixels, so tiles meet without seams.
  return QRectF(std::round(left * ratio_) / ratio_, std::round(top * ratio_) / ratio_, size.width(),
                size.height());
}

const PageView::Tile* PageView::Cached(int page, int pageWidth, int column, int row) {
  for (Tile& tile : tiles_)
    if (tile.page == page && tile.pageWidth == pageWidth && tile.column == column && tile.row == row) {
      tile.used = ++clock_;
      return &tile;
    }
  return nullptr;
}

void PageView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), palette().color(QPalette::Dark));
  pending_.clear();
  if (points_.empty() || !document_) return;
  if (laidOutFor_ != viewport()->size() || ratio_ != std::max(viewport()->devicePixelRatioF(), 1.0))
    Layout();
  const QRectF shown = QRectF(event->rect());
  const double top = verticalScrollBar()->value();
  int page = PageAt(top - kSpacing);
  for (; page >= 0 && size_t(page) < tops_.size(); ++page) {
    const QRectF rect = PageRect(page);
    if (rect.top() > shown.bottom()) break;
    const QRectF visible = rect.intersected(shown);
    if (visible.isEmpty()) continue;
    painter.fillRect(visible, Qt::white);
    const QSize device = devicePages_[size_t(page)];
    // The tiles that cover the visible part, in device pixels of the page.
    const QRectF local((visible.topLeft() - rect.topLeft()) * ratio_, visible.size() * ratio_);
    const int firstColumn = std::max(0, int(local.left()) / kTileSize);
    const int lastColumn = std::min((device.width() - 1) / kTileSize, int(local.right()) / kTileSize);
    const int firstRow = std::max(0, int(local.top()) / kTileSize);
    const int lastRow = std::min((device.height() - 1) / kTileSize, int(local.bottom()) / kTileSize);
    for (int row = firstRow; row <= lastRow; ++row) {
      for (int column = firstColumn; column <= lastColumn; ++column) {
        const QRectF target(rect.left() + column * kTileSize / ratio_, rect.top() + row * kTileSize / ratio_,
                            std::min(kTileSize, device.width() - column * kTileSize) / ratio_,
                            std::min(kTileSize, device.height() - row * kTileSize) / ratio_);
        if (const Tile* tile = Cached(page, device.width(), column, row)) {
          painter.drawImage(target, tile->image);
          continue;
        }
        pending_.push_back({page, device.width(), column, row});
        // Until it is rendered, the picture this place had at another zoom.
        painter.save();
        painter.setClipRect(target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        for (Tile& old : tiles_) {
          if (old.page != page || old.pageWidth == device.width()) continue;
          const double factor = double(device.width()) / old.pageWidth / ratio_;
          const QRectF from(rect.left() + old.column * kTileSize * factor, rect.top() + old.row * kTileSize * factor,
                            old.image.width() * factor, old.image.height() * factor);
          if (from.intersects(target)) painter.drawImage(from, old.image);
        }
        painter.restore();
      }
    }
  }
  if (!pending_.empty() && !renderTimer_.isActive()) renderTimer_.start();
}

void PageView::RenderPending() {
  if (!document_) return;
  QElapsedTimer clock;
  clock.start();
  bool rendered = false;
  for (const Wanted& want : pending_) {
    if (size_t(want.page) >= devicePages_.size()) break;
    const QSize device = devicePages_[size_t(want.page)];
    if (device.width() != want.pageWidth) continue;  // the zoom changed meanwhile
    const QRect clip(want.column * kTileSize, want.row * kTileSize,
                     std::min(kTileSize, device.width() - want.column * kTileSize),
                     std::min(kTileSize, device.height() - want.row * kTileSize));
    QPdfDocumentRenderOptions options;
    options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations |
                           QPdfDocumentRenderOptions::RenderFlag::OptimizedForLcd);
    options.setScaledSize(device);
    options.setScaledClipRect(clip);
    const QImage drawn = document_->render(want.page, clip.size(), options);
    // The page's own drawing over white paper.
    QImage image(clip.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (!drawn.isNull()) {
      QPainter paper(&image);
      paper.drawImage(0, 0, drawn);
    }
    tiles_.push_back({want.page, want.pageWidth, want.column, want.row, std::move(image), ++clock_});
    rendered = true;
    Trim();
    if (clock.elapsed() >= kRenderSliceMs) break;
  }
  pending_.clear();
  // The paint this causes asks for whatever is still missing.
  if (rendered) viewport()->update();
}

void PageView::Trim() {
  while (CachedBytes() > kTileBudget && tiles_.size() > 1) {
    const auto oldest = std::min_element(tiles_.begin(), tiles_.end(),
                                         [](const Tile& a, const Tile& b) { return a.used < b.used; });
    tiles_.erase(oldest);
  }
}

std::int64_t PageView::CachedBytes() const {
  std::int64_t bytes = 0;
  for (const Tile& tile : tiles_) bytes += tile.image.sizeInBytes();
  return bytes;
}

}  // namespace pdfview
