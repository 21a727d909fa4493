#include "gui/controls/page_renderer.h"

#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <memory>

namespace pdfview {
namespace {

// Sizes read in one go between pictures: short enough that a picture the
// view asks for meanwhile waits little.
constexpr int kSizesPerBatch = 64;
// Two whole pages that take longer than this to draw make the document's
// pages slow ones (one may just have met a busy machine); they are drawn up to kMasterZoom times larger than asked,
// at most kMasterPixels, and kMasters of them are kept.
constexpr qint64 kSlowPageMs = 250;
constexpr double kMasterZoom = 2.0;
constexpr double kMasterPixels = 9e6;
constexpr size_t kMasters = 3;

// The part `job` asks for, scaled from a picture of the whole page.
QImage FromMaster(const QImage& master, const PageRenderer::Job& job) {
  if (master.size() == job.pageSize) return master.copy(job.clip).convertToFormat(QImage::Format_RGB32);
  const double scale = double(master.width()) / job.pageSize.width();
  const QRect source = QRectF(job.clip.x() * scale, job.clip.y() * scale, job.clip.width() * scale,
                              job.clip.height() * scale)
                           .toAlignedRect()
                           .intersected(master.rect());
  return master.copy(source)
      .scaled(job.clip.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_RGB32);
}

QImage Render(QPdfDocument& document, const PageRenderer::Job& job) {
  QPdfDocumentRenderOptions options;
  options.setRenderFlags(QPdfDocumentRenderOptions::RenderFlag::Annotations |
                         QPdfDocumentRenderOptions::RenderFlag::OptimizedForLcd);
  options.setScaledSize(job.pageSize);
  options.setScaledClipRect(job.clip);
  const QImage drawn = document.render(job.page, job.clip.size(), options);
  // The page's own drawing over white paper.
  QImage image(job.clip.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  if (!drawn.isNull()) {
    QPainter paper(&image);
    paper.drawImage(0, 0, drawn);
  }
  return image;
}

}  // namespace

PageRenderer::PageRenderer(std::function<void(Picture)> onPicture, std::function<void(Sizes)> onSizes,
                           std::function<void()> onIdle)
    : onPicture_(std::move(onPicture)),
      onSizes_(std::move(onSizes)),
      onIdle_(std::move(onIdle)),
      thread_([this] { Run(); }) {}

PageRenderer::~PageRenderer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

std::uint64_t PageRenderer::Open(const QString& path, const QString& password, int pageCount, int sizesFrom) {
  std::lock_guard lock(mutex_);
  path_ = path;
  password_ = password;
  pageCount_ = path.isEmpty() ? 0 : pageCount;
  nextSize_ = sizesFrom;
  jobs_.clear();
  reopen_ = true;
  wake_.notify_all();
  return ++generation_;
}

void PageRenderer::Want(std::vector<Job> jobs) {
  std::lock_guard lock(mutex_);
  jobs_.clear();
  // The picture under way comes anyway: not asked for twice.
  for (Job& job : jobs)
    if (!(working_ && job == current_)) jobs_.push_back(std::move(job));
  wake_.notify_all();
}

bool PageRenderer::Busy() const {
  std::lock_guard lock(mutex_);
  return working_ || !jobs_.empty() || nextSize_ < pageCount_;
}

QImage PageRenderer::Draw(QPdfDocument& document, const Job& job) {
  for (Master& master : masters_)
    if (master.page == job.page && master.image.width() >= job.pageSize.width()) {
      master.used = ++clock_;
      return FromMaster(master.image, job);
    }
  const double area = double(job.pageSize.width()) * job.pageSize.height();
  if (slowPages_ >= 2 && area <= kMasterPixels) {
    const double factor = std::clamp(std::sqrt(kMasterPixels / area), 1.0, kMasterZoom);
    const QSize size(int(job.pageSize.width() * factor), int(job.pageSize.height() * factor));
    // Three bytes a pixel: a master is large.
    Master master{job.page, Render(document, {job.page, size, QRect(QPoint(), size)}).convertToFormat(QImage::Format_RGB888),
                  ++clock_};
    if (masters_.size() >= kMasters)
      masters_.erase(std::min_element(masters_.begin(), masters_.end(),
                                      [](const Master& a, const Master& b) { return a.used < b.used; }));
    masters_.push_back(std::move(master));
    return FromMaster(masters_.back().image, job);
  }
  QElapsedTimer clock;
  clock.start();
  QImage image = Render(document, job);
  if (job.clip.size() == job.pageSize && clock.elapsed() > kSlowPageMs) ++slowPages_;
  return image;
}

void PageRenderer::Run() {
  // The document belongs to this thread: created, used and destroyed here.
  auto document = std::make_unique<QPdfDocument>();
  std::unique_lock lock(mutex_);
  bool idleTold = true;
  while (true) {
    auto hasWork = [this] { return stop_ || reopen_ || !jobs_.empty() || nextSize_ < pageCount_; };
    if (!hasWork() && !idleTold) {
      idleTold = true;
      lock.unlock();
      onIdle_();
      lock.lock();
    }
    wake_.wait(lock, hasWork);
    idleTold = false;
    if (stop_) break;
    const std::uint64_t generation = generation_;
    if (reopen_) {
      reopen_ = false;
      const QString path = path_;
      const QString password = password_;
      lock.unlock();
      document->close();
      masters_.clear();
      slowPages_ = 0;
      if (!path.isEmpty()) {
        document->setPassword(password);
        document->load(path);
      }
      lock.lock();
      continue;  // opened again meanwhile, or stopped: look again
    }
    if (!jobs_.empty()) {
      const Job job = jobs_.front();
      jobs_.pop_front();
      working_ = true;
      current_ = job;
      lock.unlock();
      Picture picture{generation, job, {}, {}};
      if (job.page >= 0 && job.page < document->pageCount()) {
        picture.points = document->pagePointSize(job.page);
        // Cut here, so that the view's thread only files the tiles.
        const QImage image = Draw(*document, job);
        for (int y = 0; y < image.height(); y += kTile)
          for (int x = 0; x < image.width(); x += kTile)
            picture.tiles.push_back(image.copy(x, y, std::min(kTile, image.width() - x), std::min(kTile, image.height() - y)));
      }
      if (!picture.tiles.empty()) onPicture_(std::move(picture));
      lock.lock();
      working_ = false;
      continue;
    }
    // No picture wanted: the next sizes.
    Sizes sizes{generation, nextSize_, {}};
    const int last = std::min(pageCount_, nextSize_ + kSizesPerBatch);
    nextSize_ = last;
    working_ = true;
    lock.unlock();
    for (int page = sizes.first; page < last && page < document->pageCount(); ++page)
      sizes.points.push_back(document->pagePointSize(page));
    if (!sizes.points.empty()) onSizes_(std::move(sizes));
    lock.lock();
    working_ = false;
  }
  lock.unlock();
  document.reset();
}

}  // namespace pdfview
