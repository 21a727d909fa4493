// The exact-mode line cache: filtering 100,000 cached lines of 120 bytes
// (goal: under 15 ms, by text or by pinyin initials, every reading of a
// character counting), and building the cache,
// initials included, from a 100,000-row criteria table through the window's
// own handler, which lets messages run per record as the program does (goal:
// under 1 s). And the fuzzy search's statement over the same table, by
// initials beside a literal one (goal: under 300 ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/base/app_folder.h"
#include "gui/base/ui_services.h"
#include "bench/bench_data.h"
#include "gui/browser/Grade_i_public_hospital.h"
#include "core/browser/line_cache.h"
#include "core/browser/memo_lines.h"
#include "core/browser/pace.h"
#include "core/store/statements.h"
#include "tests/support/test_db.h"

namespace {

using bench_data::kClauses;
using bench_data::Pick;

constexpr int kLines = 100000;
constexpr size_t kLineBytes = 120;

// Present in one line of every hundred, nowhere else.
constexpr const char* kRarePhrase = "输血申请单";
// Found in no line.
constexpr const char* kAbsentPhrase = "手术麻醉排班";

// Cuts a CP936 text to at most `bytes` without splitting a double-byte
// character, then pads it with blanks to exactly `bytes`.
std::string FitTo(std::string text, size_t bytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t step = static_cast<unsigned char>(text[end]) >= 0x81 ? 2 : 1;
    if (end + step > bytes) break;
    end += step;
  }
  text.resize(end);
  text.append(bytes - end, ' ');
  return text;
}

// Line i of the cache as the cache build makes it: "serial-" and the text.
std::string CachedLine(int i, std::mt19937& rng) {
  std::string text = std::to_string(i + 1) + "-";
  if (i % 100 == 37) text += kRarePhrase;
  while (text.size() < kLineBytes) text += Pick(kClauses, rng) + "，";
  return FitTo(std::move(text), kLineBytes);
}

LineCache& Cache() {
  static LineCache cache = [] {
    LineCache lines;
    std::mt19937 rng(7);
    for (int i = 0; i < kLines; ++i) lines.Append(CachedLine(i, rng));
    return lines;
  }();
  return cache;
}

void Filter(benchmark::State& state, const std::string& searchText) {
  const LineCache& cache = Cache();
  MemoLines suggestions;
  for (auto _ : state) {
    FilterLineCache(cache, searchText, suggestions);
    benchmark::DoNotOptimize(suggestions);
  }
  const bool none = suggestions.Count() == 1 && suggestions.Line(0) == kNoMatchMessage;
  state.counters["matches"] = none ? 0 : suggestions.Count();
}

void BM_FilterLineCache_OnePercent(benchmark::State& state) { Filter(state, kRarePhrase); }
void BM_FilterLineCache_NoMatch(benchmark::State& state) { Filter(state, kAbsentPhrase); }
// ASCII letters fold: "pacs" finds "PACS" (every line holding that clause);
// being letters only, it is looked for among the initials too.
void BM_FilterLineCache_FoldedAscii(benchmark::State& state) { Filter(state, "pacs"); }
// By initials only: "sxsqd" is 输血申请单, in one line of every hundred.
void BM_FilterLineCache_Initials(benchmark::State& state) { Filter(state, "sxsqd"); }
// By a second reading: "tyyx" is 调阅影像 with 调 read tiao, in about one
// line of four.
void BM_FilterLineCache_InitialsAnyReading(benchmark::State& state) { Filter(state, "tyyx"); }

// --- the cache build through the window ------------------------------------

// No window may block the run: messages are counted, never shown.
class CountingUi final : public UiServices {
 public:
  void ShowMessage(const MessageRequest& request) override {
    ++shown;
    last = request.text;
  }
  std::optional<std::filesystem::path> AskSaveFileName(const SaveDialogRequest&) override { return {}; }
  void PushBusyCursor() override {}
  void PopCursor() override {}
  int shown = 0;
  std::string last;
};

// Numbered criteria items, each on its own line (CR LF), or one sentence.
std::string CriteriaText(std::mt19937& rng) {
  const int items = std::uniform_int_distribution<int>(0, 3)(rng);
  if (items == 0) return Pick(kClauses, rng) + "。";
  std::string text;
  for (int i = 1; i <= items; ++i) {
    if (i > 1) text += "\r\n";
    text += "（" + std::to_string(i) + "）" + Pick(kClauses, rng) + "。";
  }
  return text;
}

// Criteria 1..n for the cache build, CP936.
std::vector<testing_support::Criterion> MakeCriteria(int n) {
  const std::vector<std::string> roles = {"病房医师", "病房护士", "门诊医师", "检查科室",
                                          "检验处理", "医疗保障", "病历管理", "信息利用"};
  const std::vector<std::string> projects = {"病房医嘱处理", "病房检验申请", "处方书写",
                                             "申请与预约",   "标本处理",     "麻醉信息",
                                             "配血与用血",   "病历质量控制", "临床数据整合"};
  std::mt19937 rng(11);
  std::vector<testing_support::Criterion> criteria;
  criteria.reserve(n);
  for (int serial = 1; serial <= n; ++serial) {
    // Braced lists run left to right: the draws keep their order.
    criteria.push_back({serial,
                        {std::to_string(serial % 40 + 1),
                         "0" + std::to_string(serial % 9 + 1) + ".0" +
                             std::to_string(serial % 10) + "." + std::to_string(serial % 8),
                         Pick(roles, rng),
                         Pick(projects, rng),
                         serial % 3 ? "基本" : "选择",
                         Pick(kClauses, rng) + "，" + Pick(kClauses, rng) + "。",
                         serial % 2 ? "1" : "0.5",
                         CriteriaText(rng)}});
  }
  return criteria;
}

// The database in its own folder and the window created on it, kept for
// every run; main removes them while the application still exists.
struct BuildFixture {
  testing_support::TempDir folder{"cache-bench"};
  CountingUi ui;
  std::unique_ptr<TForm_grade_hospital> window;

  BuildFixture() {
    testing_support::CreateVarnDb(folder.path(), MakeCriteria(kLines), bench_data::BenchSettings());
    SetUi(&ui);
    SetRowPauseMsForTests(0);
    SetAppFolderForTests(folder.path());  // an ASCII path: the same bytes in CP936
    window = std::make_unique<TForm_grade_hospital>();  // creation handler runs; never shown
  }
  ~BuildFixture() {
    window.reset();
    SetAppFolderForTests("");
    SetUi(nullptr);
  }
};

std::unique_ptr<BuildFixture> g_build;

void BM_BuildLineCache(benchmark::State& state) {
  if (!g_build) g_build = std::make_unique<BuildFixture>();
  BuildFixture& f = *g_build;
  if (f.ui.shown) {
    state.SkipWithError(("window reported: " + f.ui.last).c_str());
    return;
  }
  for (auto _ : state) {
    try {
      f.window->model().RebuildLineCache();
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
  }
  state.counters["lines"] = f.window->model().lineCache().Count();
}

// The fuzzy search's statement for field index 0 (all eight columns joined),
// run on the window's query as the search runs it; the result is read whole.
void FuzzySelect(benchmark::State& state, const char* keyword) {
  if (!g_build) g_build = std::make_unique<BuildFixture>();
  store::AdoQuery& query = g_build->window->query;
  const std::string statement = store::FuzzySearchStatement(0, keyword);
  for (auto _ : state) {
    try {
      query.Close();
      query.SetSql(statement);
      query.Open();
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      break;
    }
  }
  state.counters["rows"] = query.Active() ? query.RecordCount() : 0;
}

// 病房医嘱处理 by its initials: one criterion in nine.
void BM_FuzzySearch_Initials(benchmark::State& state) { FuzzySelect(state, "bfyzcl"); }
// Letters found nowhere, literally or as initials: the whole scan, no rows.
void BM_FuzzySearch_InitialsNoMatch(benchmark::State& state) { FuzzySelect(state, "qqqq"); }
// 调阅影像 with 调 read tiao (a clause of the main content).
void BM_FuzzySearch_InitialsAnyReading(benchmark::State& state) { FuzzySelect(state, "tyyx"); }
// The same criteria as by "bfyzcl", found by their text, without initials.
void BM_FuzzySearch_Literal(benchmark::State& state) { FuzzySelect(state, "病房医嘱处理"); }

}  // namespace

BENCHMARK(BM_FilterLineCache_OnePercent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterLineCache_NoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterLineCache_FoldedAscii)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterLineCache_Initials)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterLineCache_InitialsAnyReading)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildLineCache)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FuzzySearch_Initials)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FuzzySearch_InitialsNoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FuzzySearch_InitialsAnyReading)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FuzzySearch_Literal)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  g_build.reset();
  benchmark::Shutdown();
  return 0;
}
