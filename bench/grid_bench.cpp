// Filling the criteria grid row by row, as the show-all command does:
// AppendRecordRow fed from a query over 1,000 and over 20,000 criteria, with
// the real measurer (Tahoma 8 pt, bold for the fixed column). Fitting is
// incremental, so the time per row at 20,000 rows should stay within 1.5x of
// the time per row at 1,000. Measured on the grid model alone, and again with
// the Qt view attached to the model (not shown; messages run after each row
// as in the program's fill loop).
//
// Compare the `row_time` counters (seconds per appended row) of each pair.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "gui/browser/criteria_grid_view.h"
#include "core/grid/grid_model.h"
#include "core/browser/grid_ops.h"
#include "core/browser/pace.h"
#include "core/store/ado.h"
#include "core/store/statements.h"
#include "tests/support/test_db.h"

namespace {

using bench_data::kClauses;
using bench_data::Pick;

// --- criteria that look like the real ones --------------------------------

const std::vector<std::string> kRoles = {"病房医师", "病房护士", "门诊医师", "检查科室",
                                         "检验处理", "治疗信息处理", "医疗保障", "病历管理",
                                         "电子病历基础", "信息利用"};

const std::vector<std::string> kProjects = {
    "病房医嘱处理", "病房检验申请", "病房检验报告", "病房检查申请", "病房检查报告",
    "病房病历记录", "处方书写",     "门诊检验申请", "申请与预约",   "检查记录",
    "标本处理",     "一般治疗记录", "手术预约与登记", "麻醉信息",   "监护数据",
    "血液准备",     "配血与用血",   "门诊药品调剂", "病房药品配置", "病历质量控制",
    "电子病历文档应用", "系统灵活性", "数据获取及处理", "临床数据整合", "知识获取及管理"};

// One to `most` clauses joined by commas.
std::string Sentence(std::mt19937& rng, int most) {
  const int n = std::uniform_int_distribution<int>(1, most)(rng);
  std::string text;
  for (int i = 0; i < n; ++i) {
    if (i) text += "，";
    text += Pick(kClauses, rng);
  }
  return text + "。";
}

// Numbered items, each on its own line (CR LF), or one plain sentence.
std::string Criteria(std::mt19937& rng) {
  const int items = std::uniform_int_distribution<int>(0, 5)(rng);
  if (items == 0) return Sentence(rng, 3);
  std::string text;
  for (int i = 1; i <= items; ++i) {
    if (i > 1) text += "\r\n";
    text += "（" + std::to_string(i) + "）" + Sentence(rng, 2);
  }
  return text;
}

// Criterion `serial` with its eight text fields, CP936.
testing_support::Criterion MakeCriterion(int serial, std::mt19937& rng) {
  const int level = std::uniform_int_distribution<int>(0, 8)(rng);
  const char* scores[] = {"1", "0.5", "2", "1.5"};
  return {serial,
          {std::to_string(serial % 40 + 1),
           "0" + std::to_string(serial % 9 + 1) + "." + (serial % 7 < 2 ? "0" : "1") +
               std::to_string(serial % 10) + "." + std::to_string(level),
           Pick(kRoles, rng),
           Pick(kProjects, rng),
           level < 6 ? "基本" : "选择",
           Sentence(rng, 4),
           scores[serial % 4],
           Criteria(rng)}};
}

// Criteria 1..n, always the same for the same n.
std::vector<testing_support::Criterion> MakeCriteria(int n) {
  std::mt19937 rng(20240601);
  std::vector<testing_support::Criterion> criteria;
  criteria.reserve(n);
  for (int serial = 1; serial <= n; ++serial) criteria.push_back(MakeCriterion(serial, rng));
  return criteria;
}

// The criteria table of n rows, opened with the show-all statement.
struct Source {
  testing_support::TempDir folder{"grid-bench"};
  store::AdoConnection connection;
  store::AdoQuery query{connection};

  explicit Source(int n) {
    testing_support::CreateVarnDb(folder.path(), MakeCriteria(n), bench_data::BenchSettings());
    connection.SetConnectionString(store::BuildConnectionText(folder.path()));
    connection.Open();
    query.SetSql(store::kShowAllSelect);
    query.Open();
    if (query.RecordCount() != n) throw std::runtime_error("unexpected record count");
  }
  ~Source() {
    query.Close();
    connection.Close();
  }
};

Source& SourceOf(int n) {
  static std::map<int, std::unique_ptr<Source>> sources;
  auto& source = sources[n];
  if (!source) source = std::make_unique<Source>(n);
  return *source;
}

// The window's fonts; made in main, after the application and before the runs.
const QtTextMeasurer* g_measurer = nullptr;

const QtTextMeasurer& Measurer() { return *g_measurer; }

void ReportPerRow(benchmark::State& state, int n) {
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["row_time"] = benchmark::Counter(
      n, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// --- the fills -------------------------------------------------------------

void BM_AppendRecordRow_Model(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  SetRowPauseMsForTests(0);
  Source& source = SourceOf(n);
  for (auto _ : state) {
    state.PauseTiming();
    auto grid = std::make_unique<GridModel>(&Measurer());
    ClearGrid(*grid, nullptr);
    source.query.First();
    state.ResumeTiming();

    for (int r = 1; r <= n; ++r) AppendRecordRow(*grid, r, source.query);

    state.PauseTiming();
    if (grid->RowCount() != n + 1) state.SkipWithError("wrong row count");
    grid.reset();
    state.ResumeTiming();
  }
  ReportPerRow(state, n);
}

void BM_AppendRecordRow_WithView(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  SetRowPauseMsForTests(0);
  Source& source = SourceOf(n);
  for (auto _ : state) {
    state.PauseTiming();
    auto grid = std::make_unique<GridModel>(&Measurer());
    auto view = std::make_unique<CriteriaGridView>(*grid, nullptr);
    view->resize(850, 350);
    ClearGrid(*grid, nullptr);
    source.query.First();
    QCoreApplication::processEvents();
    state.ResumeTiming();

    for (int r = 1; r <= n; ++r) {
      AppendRecordRow(*grid, r, source.query);
      QCoreApplication::processEvents();
    }

    state.PauseTiming();
    if (view->model()->rowCount() != n + 1) state.SkipWithError("view lost rows");
    view.reset();
    grid.reset();
    state.ResumeTiming();
  }
  ReportPerRow(state, n);
}

}  // namespace

BENCHMARK(BM_AppendRecordRow_Model)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendRecordRow_WithView)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QFont cell(QStringLiteral("Tahoma"));
  cell.setPointSize(8);
  QFont fixed = cell;
  fixed.setBold(true);
  const QtTextMeasurer measurer(cell, fixed);
  g_measurer = &measurer;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
