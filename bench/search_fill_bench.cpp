// The fuzzy search's fill of a 100,000-row result through the real window
// (offscreen): how soon the window answers while the rows come in, and how
// soon a close ends the fill (goals: every answer within 0.2 s, the end
// within 1 s of the close).
//
// A probe thread posts an event to the window every 10 ms, stamped with the
// time it was posted; the GUI thread's answer time is the wait until the
// event is handled, an event round trip as a user's input would see it.
// Once the grid holds the given number of rows the window is closed as by
// its close box; `close_to_end_ms` is the time from that close until the
// fill has returned to the message loop, which then ends the program (the
// program itself ends inside its exit sequence, at once).
//
// Arguments: rows before the close, and the pause after each row in ms (50
// is the program's pace; 0 reaches the late rows of a long fill quickly,
// where a row's own work is largest; an answer then waits at most that work
// plus the 50 ms pause).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "bench/bench_data.h"
#include "core/base/app_folder.h"
#include "core/browser/pace.h"
#include "gui/base/shutdown.h"
#include "gui/browser/Grade_i_public_hospital.h"
#include "gui/browser/search_controls.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_db.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRows = 100000;

// 100,000 criteria, each found by "yzcl" (医嘱处理 by its initials).
std::vector<testing_support::Criterion> Criteria() {
  std::vector<testing_support::Criterion> rows;
  rows.reserve(kRows);
  for (int serial = 1; serial <= kRows; ++serial)
    rows.push_back({serial,
                    {std::to_string(serial), "01.0" + std::to_string(serial % 9), "病房医师",
                     "病房医嘱处理", "基本", "医嘱下达、传递和执行等过程有电子记录", "1",
                     "记录执行人、执行时间"}});
  return rows;
}

// An event stamped with the time it was posted.
class ProbeEvent final : public QEvent {
 public:
  static inline const QEvent::Type kType = static_cast<QEvent::Type>(QEvent::registerEventType());
  ProbeEvent() : QEvent(kType), posted(Clock::now()) {}
  Clock::time_point posted;
};

// Answers the probe on the GUI thread: notes the wait and closes the window
// once the grid holds `closeAtRow` rows.
class Prober final : public QObject {
 public:
  Prober(TForm_grade_hospital& window, int closeAtRow) : window_(window), closeAtRow_(closeAtRow) {}
  bool event(QEvent* e) override {
    if (e->type() != ProbeEvent::kType) return QObject::event(e);
    const double waited =
        std::chrono::duration<double, std::milli>(Clock::now() - static_cast<ProbeEvent*>(e)->posted)
            .count();
    // The fill: from its first row on (before it, the statement runs).
    if (window_.grid().RowCount() > 1) {
      if (answers == 0) firstRowAt = Clock::now();
      longest = std::max(longest, waited);
      total += waited;
      ++answers;
    } else {
      longestBefore = std::max(longestBefore, waited);
    }
    if (!closed && window_.grid().RowCount() - 1 >= closeAtRow_) {
      closed = true;
      closedAt = Clock::now();
      window_.close();
    }
    return true;
  }
  double longest = 0, total = 0, longestBefore = 0;
  Clock::time_point firstRowAt;
  int answers = 0;
  bool closed = false;
  Clock::time_point closedAt;

 private:
  TForm_grade_hospital& window_;
  int closeAtRow_;
};

struct Folder {
  testing_support::TempDir dir{"fill-bench"};
  bench_data::SilentUi ui;
  Folder() {
    testing_support::CreateVarnDb(dir.path(), Criteria(), {"0", "模糊", "", "T", "1"});
    SetUi(&ui);
    SetAppFolderForTests(dir.path());
    SetExecutableNameEndedAtExit("zelvoran-bench-end-nothing");
  }
};

void BM_FuzzyFill(benchmark::State& state) {
  static Folder folder;
  const int closeAtRow = static_cast<int>(state.range(0));
  SetRowPauseMsForTests(static_cast<int>(state.range(1)));
  double longest = 0, mean = 0, toEnd = 0, before = 0, perRow = 0;
  int rows = 0;
  for (auto _ : state) {
    auto window = std::make_unique<TForm_grade_hospital>();
    window->show();
    QApplication::processEvents();
    Prober prober(*window, closeAtRow);
    std::atomic<bool> probing{true};
    std::thread probe([&] {
      while (probing) {
        QCoreApplication::postEvent(&prober, new ProbeEvent);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
    window->searchBox->setText(QStringLiteral("yzcl"));
    window->model().SearchBoxKeyReleased(kVirtualKeyReturn);  // returns when the fill ends
    const Clock::time_point ended = Clock::now();
    probing = false;
    probe.join();
    QCoreApplication::removePostedEvents(&prober);
    if (!prober.closed) {
      state.SkipWithError("the fill ended before the close");
      break;
    }
    longest = prober.longest;
    mean = prober.total / std::max(prober.answers, 1);
    toEnd = std::chrono::duration<double, std::milli>(ended - prober.closedAt).count();
    rows = window->grid().RowCount() - 1;
    before = prober.longestBefore;
    perRow = std::chrono::duration<double, std::milli>(prober.closedAt - prober.firstRowAt).count() /
             std::max(closeAtRow - 1, 1);
  }
  state.counters["answer_max_ms"] = longest;
  state.counters["answer_mean_ms"] = mean;
  state.counters["close_to_end_ms"] = toEnd;
  state.counters["rows"] = rows;
  state.counters["statement_answer_max_ms"] = before;
  state.counters["row_ms"] = perRow;
}

}  // namespace

BENCHMARK(BM_FuzzyFill)->Args({100, 50})->Args({2000, 0})->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
