#pragma once
// Renders parts of pages on a thread of its own, from its own copy of the
// document, so that the window never waits for a page to be drawn: a scanned
// page is one big image that takes a tenth of a second or more to decode.
// Between pictures it reads the page sizes, from the first page on, and
// hands them over in batches.
//
// Work is asked for as a whole list that replaces the one before (what the
// view needs now, most wanted first); the job under way is finished. Results
// come back through the callbacks, on the renderer's thread: the host posts
// them to its own. Each result carries the generation of the document it
// belongs to, so that results of a document closed meanwhile are dropped.
//
// A page that is slow to draw (a scan: one big image, which every drawing
// decodes again) is drawn once larger than asked, and the pictures of zoom
// steps up to that size are scaled from it; the three latest such pages are
// kept.
//
// The PDF library behind Qt PDF is used under one lock for the whole
// process, so two documents on two threads take turns, never run together.
#include <QImage>

class QPdfDocument;
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace pdfview {

class PageRenderer {
 public:
  static constexpr int kTile = 512;
  // One part of a page: `clip` of the page drawn `pageSize` device pixels large.
  struct Job {
    int page = 0;
    QSize pageSize;
    QRect clip;
    bool prefetch = false;  // for a place the view may go to next
    // The same picture, whatever it was asked for.
    bool operator==(const Job& other) const {
      return page == other.page && pageSize == other.pageSize && clip == other.clip;
    }
  };
  struct Picture {
    std::uint64_t generation;
    Job job;
    // The part, over white paper, cut into square tiles of kTile pixels
    // (smaller at the clip's right and bottom edges), row by row.
    std::vector<QImage> tiles;
    QSizeF points;  // the page's size, read for the picture
  };
  struct Sizes {
    std::uint64_t generation;
    int first;
    std::vector<QSizeF> points;  // of pages first, first + 1, ...
  };

  // `onIdle` is called whenever the renderer runs out of work.
  PageRenderer(std::function<void(Picture)> onPicture, std::function<void(Sizes)> onSizes,
               std::function<void()> onIdle);
  ~PageRenderer();
  PageRenderer(const PageRenderer&) = delete;
  PageRenderer& operator=(const PageRenderer&) = delete;

  // Opens the file for the next generation (an empty path closes); pages
  // from `sizesFrom` on get their sizes read. Returns the generation.
  std::uint64_t Open(const QString& path, const QString& password, int pageCount, int sizesFrom);
  // Replaces the work still waiting.
  void Want(std::vector<Job> jobs);
  // Whether jobs are waiting or under way (for tests and the busy cursor).
  bool Busy() const;

 private:
  struct Master {
    int page;
    QImage image;  // the whole page
    std::uint64_t used;
  };
  void Run();
  // Draws a job, from a master where there is one (only on the renderer's thread).
  QImage Draw(QPdfDocument& document, const Job& job);

  std::function<void(Picture)> onPicture_;
  std::function<void(Sizes)> onSizes_;
  std::function<void()> onIdle_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool reopen_ = false;
  bool working_ = false;
  QString path_;
  QString password_;
  int pageCount_ = 0;
  int nextSize_ = 0;
  std::uint64_t generation_ = 0;
  std::deque<Job> jobs_;
  Job current_;  // under way while working_
  // The renderer's thread's own.
  std::vector<Master> masters_;
  int slowPages_ = 0;  // whole pages found slow to draw
  std::uint64_t clock_ = 0;
  std::thread thread_;
};

}  // namespace pdfview
