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
#include <sqlite3.h>
#include <stdlib.h>

#include <QApplication>
#include <QFont>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "browser/criteria_grid_view.h"
#include "browser/grid_model.h"
#include "browser/grid_ops.h"
#include "browser/pace.h"
#include "platform/codepage.h"
#include "store/ado.h"
#include "store/statements.h"

namespace {

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

const std::vector<std::string> kClauses = {
    "医嘱下达、传递和执行等过程有电子记录",
    "能够在医师工作站中查阅检验结果",
    "有药物过敏、药物相互作用等检查功能",
    "支持HL7或CDA标准格式输出",
    "可通过PACS系统调阅影像",
    "记录执行人、执行时间",
    "数据可供全院共享",
    "能够根据诊断自动提示",
    "具备与LIS系统的接口",
    "病历书写有时限控制",
    "支持按科室统计",
    "可记录患者过敏史",
    "能够对危急值进行提示",
    "有完整的审核记录",
    "支持电子签名(CA)",
};

std::string Pick(const std::vector<std::string>& from, std::mt19937& rng) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(rng)];
}

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

// The eight text fields of criterion `serial`, CP936.
std::vector<std::string> CriterionFields(int serial, std::mt19937& rng) {
  const int level = std::uniform_int_distribution<int>(0, 8)(rng);
  const char* scores[] = {"1", "0.5", "2", "1.5"};
  return {std::to_string(serial % 40 + 1),
          "0" + std::to_string(serial % 9 + 1) + "." + (serial % 7 < 2 ? "0" : "1") +
              std::to_string(serial % 10) + "." + std::to_string(level),
          Pick(kRoles, rng),
          Pick(kProjects, rng),
          level < 6 ? "基本" : "选择",
          Sentence(rng, 4),
          scores[serial % 4],
          Criteria(rng)};
}

// --- a VARN.mdb of n criteria in its own folder ---------------------------

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    const std::string message = err ? err : "?";
    sqlite3_free(err);
    throw std::runtime_error(message);
  }
}

void BindCp936(sqlite3_stmt* st, int index, const std::string& cp936) {
  const std::string utf8 = platform::Cp936ToUtf8(cp936);
  sqlite3_bind_text(st, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

void WriteDatabase(const std::string& file, int n) {
  sqlite3* db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) throw std::runtime_error("cannot create " + file);
  Exec(db,
       "CREATE TABLE Public_hospital_assessment (serrial_number INTEGER, project_number TEXT, "
       "project_code TEXT, job_role TEXT, operational_project TEXT, business_type TEXT, "
       "system_function TEXT, functional_score TEXT, scoring_criteria TEXT);"
       "CREATE TABLE record_table (record_id INTEGER PRIMARY KEY, record_code TEXT, "
       "record_name TEXT); BEGIN;");
  std::mt19937 rng(20240601);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO Public_hospital_assessment VALUES (?,?,?,?,?,?,?,?,?)", -1,
                     &st, nullptr);
  for (int serial = 1; serial <= n; ++serial) {
    sqlite3_reset(st);
    sqlite3_bind_int(st, 1, serial);
    const std::vector<std::string> fields = CriterionFields(serial, rng);
    for (int i = 0; i < 8; ++i) BindCp936(st, i + 2, fields[i]);
    if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error("insert failed");
  }
  sqlite3_finalize(st);
  const char* settings[] = {"0", "精确", "", "T", "1"};
  sqlite3_prepare_v2(db, "INSERT INTO record_table VALUES (?,?,?)", -1, &st, nullptr);
  for (int k = 0; k < 5; ++k) {
    sqlite3_reset(st);
    sqlite3_bind_int(st, 1, k + 1);
    const std::string code = "A" + std::to_string(k + 1);
    sqlite3_bind_text(st, 2, code.c_str(), -1, SQLITE_TRANSIENT);
    BindCp936(st, 3, settings[k]);
    if (sqlite3_step(st) != SQLITE_DONE) throw std::runtime_error("insert failed");
  }
  sqlite3_finalize(st);
  Exec(db, "COMMIT;");
  sqlite3_close(db);
}

// The criteria table of n rows, opened with the show-all statement.
struct Source {
  std::string folder;
  store::AdoConnection connection;
  store::AdoQuery query{connection};

  explicit Source(int n) {
    std::string pattern = (std::filesystem::temp_directory_path() / "grid-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder = pattern + "/";
    WriteDatabase(folder + "VARN.mdb", n);
    connection.SetConnectionString(store::BuildConnectionText(folder));
    connection.Open();
    query.SetSql(store::kShowAllSelect);
    query.Open();
    if (query.RecordCount() != n) throw std::runtime_error("unexpected record count");
  }
  ~Source() {
    query.Close();
    connection.Close();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
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
