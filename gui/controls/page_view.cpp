#include "gui/controls/page_view.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QPdfDocument>
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
constexpr int kTileSize = PageRenderer::kTile;  // device pixels
// The longest page edge, in device pixels, that a zoom may reach, and the
// longest column of pages: both must stay within the scroll bars' range.
constexpr double kMaxPageEdge = 400000;
constexpr double kMaxContent = 1.5e9;
// Pages up to this many screens of pixels are rendered whole.
constexpr std::int64_t kWholePageScreens = 4;

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
  // The renderer's results cross to this view's thread through its event
  // queue; whatever is still on its way when the view goes is dropped with it.
  renderer_ = std::make_unique<PageRenderer>(
      [this](PageRenderer::Picture picture) {
        QMetaObject::invokeMethod(this, [this, picture] { TakePicture(picture); }, Qt::QueuedConnection);
      },
      [this](PageRenderer::Sizes sizes) {
        QMetaObject::invokeMethod(this, [this, sizes] { TakeSizes(sizes); }, Qt::QueuedConnection);
      },
      [this] {
        QMetaObject::invokeMethod(
            this, [this] { SetBusy(missing_ || renderer_->Busy()); }, Qt::QueuedConnection);
      });
}

PageView::~PageView() {
  // The renderer's thread ends before the view does.
  renderer_.reset();
}

void PageView::SetDocument(QPdfDocument* document, const QString& path, const QString& password) {
  document_ = document;
  points_.clear();
  tiles_.clear();
  asked_.clear();
  const int count = document_ ? document_->pageCount() : 0;
  if (count > 0) {
    // The first page's size now; every other page is taken to be as large
    // until the renderer has read its own.
    points_.assign(size_t(count), document_->pagePointSize(0));
  }
  generation_ = renderer_->Open(count > 0 ? path : QString(), password, count, 1);
  UpdateMaxZoom();
  fitted_ = true;
  Layout();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  missing_ = count > 0;
  setProperty("drawn", !missing_);
  SetBusy(count > 0);
  viewport()->update();
  if (onChanged) onChanged();
}

void PageView::UpdateMaxZoom() {
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
}

void PageView::TakeSizes(const PageRenderer::Sizes& sizes) {
  if (sizes.generation != generation_) return;
  bool changed = false;
  for (size_t i = 0; i < sizes.points.size(); ++i) {
    const size_t page = size_t(sizes.first) + i;
    if (page >= points_.size()) break;
    if (points_[page] != sizes.points[i]) {
      points_[page] = sizes.points[i];
      changed = true;
    }
  }
  if (changed) SizesChanged();
}

void PageView::SizesChanged() {
  const bool atTop = verticalScrollBar()->value() == 0;
  const Anchor anchor = CentreAnchor(viewport()->size());
  UpdateMaxZoom();
  if (!fitted_) zoom_ = std::clamp(zoom_, kMinZoom, maxZoom_);
  Layout();
  // The place in view stays; a view at the start of the document stays there.
  if (atTop)
    verticalScrollBar()->setValue(0);
  else
    ScrollTo(anchor);
  viewport()->update();
  if (onChanged) onChanged();
}

void PageView::SetBusy(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  setProperty("busy", busy);
  if (onBusy) onBusy(busy);
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

const PageView::Tile* PageView::Cached(int page, QSize pageSize, int column, int row) {
  for (Tile& tile : tiles_)
    if (tile.page == page && tile.pageSize == pageSize && tile.column == column && tile.row == row) {
      tile.used = ++clock_;
      return &tile;
    }
  return nullptr;
}

std::pair<int, QPointF> PageView::PointAt(QPointF position) const {
  if (tops_.empty()) return {-1, QPointF()};
  const int page = PageAt(verticalScrollBar()->value() + position.y());
  return {page, (position - PageRect(page).topLeft()) / Scale(page)};
}

double PageView::Scale(int page) const {
  return sizes_[size_t(page)].width() / std::max(points_[size_t(page)].width(), 1.0);
}

void PageView::ShowPoint(int page, QPointF point) {
  if (page < 0 || size_t(page) >= tops_.size()) return;
  const double scale = Scale(page);
  verticalScrollBar()->setValue(int(std::lround(tops_[size_t(page)] + std::max(point.y(), 0.0) * scale)));
  if (point.x() >= 0) {
    // Sideways only as far as needed to bring the point into view.
    const double x = PageRect(page).left() + point.x() * scale;
    if (x < 0 || x >= viewport()->width())
      horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(x - viewport()->width() / 4.0));
  }
}

void PageView::ShowArea(int page, const QRectF& area) {
  if (page < 0 || size_t(page) >= tops_.size()) return;
  const double scale = Scale(page);
  const double y = tops_[size_t(page)] + area.top() * scale - viewport()->height() / 3.0;
  verticalScrollBar()->setValue(int(std::lround(y)));
  const double left = PageRect(page).left() + area.left() * scale;
  const double right = PageRect(page).left() + area.right() * scale;
  if (left < 0 || right > viewport()->width())
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + int(left - viewport()->width() / 4.0));
}

void PageView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), palette().color(QPalette::Dark));
  if (points_.empty() || !document_) return;
  if (laidOutFor_ != viewport()->size() || ratio_ != std::max(viewport()->devicePixelRatioF(), 1.0))
    Layout();
  paintMark_ = ++clock_;
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
    QRegion lacking;
    for (int row = firstRow; row <= lastRow; ++row) {
      for (int column = firstColumn; column <= lastColumn; ++column) {
        const QRectF target(rect.left() + column * kTileSize / ratio_, rect.top() + row * kTileSize / ratio_,
                            std::min(kTileSize, device.width() - column * kTileSize) / ratio_,
                            std::min(kTileSize, device.height() - row * kTileSize) / ratio_);
        if (const Tile* tile = Cached(page, device, column, row)) {
          painter.drawImage(target, tile->image);
          continue;
        }
        lacking |= target.toAlignedRect();
      }
    }
    if (!lacking.isEmpty()) {
      // Until they are rendered, the places lacking show the picture they
      // had at another zoom, each old tile drawn once.
      painter.save();
      painter.setClipRegion(lacking);
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      const QRectF bounds = lacking.boundingRect();
      for (const Tile& old : tiles_) {
        if (old.page != page || old.pageSize == device) continue;
        const double factor = double(device.width()) / old.pageSize.width() / ratio_;
        const QRectF from(rect.left() + old.column * kTileSize * factor, rect.top() + old.row * kTileSize * factor,
                          old.image.width() * factor, old.image.height() * factor);
        if (from.intersects(bounds)) painter.drawImage(from, old.image);
      }
      painter.restore();
    }
    if (paintOverlay) {
      painter.save();
      painter.setClipRect(visible);
      paintOverlay(painter, page, rect, Scale(page));
      painter.restore();
    }
  }
  AskForPictures();
}

void PageView::AskForPictures() {
  const QSize room = viewport()->size();
  const std::int64_t screen = std::int64_t(std::lround(room.width() * ratio_)) * std::lround(room.height() * ratio_);
  const std::int64_t budgetPixels = Budget() / 4;
  const double top = verticalScrollBar()->value();
  const QRectF inView{QPointF(), QSizeF(room)};
  // Besides what is in view, the screen below it and half a screen above:
  // the places a key takes the view to next.
  const QRectF near(0, -room.height() / 2.0, room.width(), room.height() * 2.5);
  struct Wanted {
    PageRenderer::Job job;
    double distance;  // of the page from the middle of the view
  };
  std::vector<Wanted> shownJobs, aheadJobs;
  std::int64_t keptPixels = 0;  // of the pictures the cache must keep
  auto pixelsOf = [](const QRect& tiles) { return std::int64_t(tiles.width()) * tiles.height() * kTileSize * kTileSize; };
  for (int page = std::max(0, PageAt(top + near.top() - kSpacing)); size_t(page) < tops_.size(); ++page) {
    const QRectF rect = PageRect(page);
    if (rect.top() > near.bottom()) break;
    if (rect.intersected(near).isEmpty()) continue;
    const QSize device = devicePages_[size_t(page)];
    const int columns = (device.width() - 1) / kTileSize + 1;
    const int rows = (device.height() - 1) / kTileSize + 1;
    // A page of a few screens is rendered whole, once per zoom: a scanned
    // page's image is decoded once, not once per tile; of a larger page,
    // the tiles in and near the view, in one picture.
    const bool whole = std::int64_t(device.width()) * device.height() <= kWholePageScreens * screen;
    auto tilesIn = [&](const QRectF& area) {
      const QRectF part = rect.intersected(area);
      if (part.isEmpty()) return QRect();
      if (whole) return QRect(0, 0, columns, rows);
      const QRectF local((part.topLeft() - rect.topLeft()) * ratio_, part.size() * ratio_);
      return QRect(QPoint(std::max(0, int(local.left()) / kTileSize), std::max(0, int(local.top()) / kTileSize)),
                   QPoint(std::min(columns - 1, int(local.right()) / kTileSize),
                          std::min(rows - 1, int(local.bottom()) / kTileSize)));
    };
    const QRect shownTiles = tilesIn(inView);
    const QRect nearTiles = tilesIn(near);
    QRect lackingShown, lackingNear;
    for (int row = nearTiles.top(); row <= nearTiles.bottom(); ++row)
      for (int column = nearTiles.left(); column <= nearTiles.right(); ++column) {
        const bool has = std::any_of(tiles_.begin(), tiles_.end(), [&](const Tile& tile) {
          return tile.page == page && tile.pageSize == device && tile.column == column && tile.row == row;
        });
        if (has) continue;
        lackingNear |= QRect(column, row, 1, 1);
        if (shownTiles.contains(column, row)) lackingShown |= QRect(column, row, 1, 1);
      }
    keptPixels += pixelsOf(shownTiles);
    if (lackingNear.isEmpty()) continue;
    // The tiles near the view come in the same picture when the cache can
    // keep them beside what is in view.
    QRect lacking = lackingShown;
    const std::int64_t extra = pixelsOf(nearTiles) - pixelsOf(shownTiles);
    if (keptPixels + extra <= budgetPixels) {
      lacking = lackingNear;
      keptPixels += extra;
    }
    if (lacking.isEmpty()) continue;
    const QRect clip = QRect(lacking.left() * kTileSize, lacking.top() * kTileSize, lacking.width() * kTileSize,
                             lacking.height() * kTileSize)
                           .intersected(QRect(QPoint(), device));
    const double distance = std::abs(rect.center().y() - room.height() / 2.0);
    (lackingShown.isEmpty() ? aheadJobs : shownJobs).push_back({{page, device, clip, lackingShown.isEmpty()}, distance});
  }
  // The page at the middle of the view first.
  auto byDistance = [](const Wanted& a, const Wanted& b) { return a.distance < b.distance; };
  std::sort(shownJobs.begin(), shownJobs.end(), byDistance);
  std::sort(aheadJobs.begin(), aheadJobs.end(), byDistance);
  std::vector<PageRenderer::Job> jobs;
  for (const auto* list : {&shownJobs, &aheadJobs})
    for (const Wanted& wanted : *list) jobs.push_back(wanted.job);
  missing_ = !shownJobs.empty();
  // Readable by a host that does not know this module's types: whether the
  // view shows every picture it needs.
  if (property("drawn").toBool() == missing_) setProperty("drawn", !missing_);
  if (jobs != asked_) {
    asked_ = jobs;
    renderer_->Want(std::move(jobs));
  }
  SetBusy(missing_ || renderer_->Busy());
}

void PageView::TakePicture(const PageRenderer::Picture& picture) {
  if (picture.generation != generation_) return;
  const PageRenderer::Job& job = picture.job;
  if (job.page < 0 || size_t(job.page) >= points_.size()) return;
  if (points_[size_t(job.page)] != picture.points) {
    // Drawn at a size taken for it: laid out again at its own, and asked for again.
    points_[size_t(job.page)] = picture.points;
    SizesChanged();
    return;
  }
  // Pictures ahead of the view are kept below those in view.
  const std::uint64_t used = job.prefetch ? std::max<std::uint64_t>(paintMark_, 1) - 1 : ++clock_;
  size_t next = 0;
  for (int y = job.clip.top(); y <= job.clip.bottom(); y += kTileSize)
    for (int x = job.clip.left(); x <= job.clip.right() && next < picture.tiles.size(); x += kTileSize) {
      const QImage& image = picture.tiles[next++];
      const int column = x / kTileSize;
      const int row = y / kTileSize;
      const bool has = std::any_of(tiles_.begin(), tiles_.end(), [&](const Tile& tile) {
        return tile.page == job.page && tile.pageSize == job.pageSize && tile.column == column && tile.row == row;
      });
      if (!has) tiles_.push_back({job.page, job.pageSize, column, row, image, used});
    }
  Trim();
  viewport()->update();
}

void PageView::Trim() {
  const std::int64_t budget = Budget();
  std::int64_t bytes = CachedBytes();
  while (bytes > budget) {
    const auto oldest = std::min_element(tiles_.begin(), tiles_.end(),
                                         [](const Tile& a, const Tile& b) { return a.used < b.used; });
    // What the last paint showed stays, whatever it costs.
    if (oldest == tiles_.end() || oldest->used >= paintMark_) break;
    bytes -= oldest->image.sizeInBytes();
    tiles_.erase(oldest);
  }
}

std::int64_t PageView::Budget() const {
  const qreal ratio = std::max(viewport()->devicePixelRatioF(), 1.0);
  const std::int64_t screen =
      std::int64_t(viewport()->width() * ratio) * std::int64_t(viewport()->height() * ratio) * 4;
  return std::max(kMinBudget, kBudgetScreens * screen);
}

std::int64_t PageView::CachedBytes() const {
  std::int64_t bytes = 0;
  for (const Tile& tile : tiles_) bytes += tile.image.sizeInBytes();
  return bytes;
}

}  // namespace pdfview
