// Export of a large grid (100,000 rows x 9 columns of about 40 bytes) by the
// CSV, fixed-width and HTML writers, beside SQLite's shell writing the same
// rows as CSV. Goal: each writer within 2x of the shell.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "gui/base/ui_services.h"
#include "bench/bench_data.h"
#include "core/grid/grid_model.h"
#include "core/export/csv_writer.h"
#include "core/export/fixed_width_writer.h"
#include "core/export/html_writer.h"

namespace {

constexpr int kRows = 100000;
constexpr int kCols = 9;

// About 40 bytes: Chinese criterion text with a varying number and, now and
// then, a comma or a line break, as real criteria have.
std::string CellText(int row, int col) {
  std::string text = "评价内容" + std::to_string(row) + "-" + std::to_string(col) + "系统功能数据质量";
  if ((row + col) % 17 == 0) text += ",附注";
  if ((row + col) % 23 == 0) text += "\r\n续行";
  while (text.size() < 40) text += 'x';
  return text;
}

struct Fixture {
  std::string folder;
  GridModel grid;
  bench_data::SilentUi ui;

  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "export-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder = pattern + "/";
    SetUi(&ui);

    grid.SetColCount(kCols);
    for (int row = 1; row <= kRows; ++row) {
      grid.AddRow();
      for (int col = 0; col < kCols; ++col) grid.SetCell(col, row, CellText(row, col));
    }

    // The same rows in a database for the shell (the bytes are stored as they are).
    sqlite3* db = nullptr;
    sqlite3_open((folder + "rows.db").c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE t(c0,c1,c2,c3,c4,c5,c6,c7,c8); BEGIN;", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
    for (int row = 0; row <= kRows; ++row) {
      sqlite3_reset(st);
      for (int col = 0; col < kCols; ++col) {
        const std::string& text = grid.Cell(col, row);
        sqlite3_bind_text(st, col + 1, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
      }
      sqlite3_step(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }

  ~Fixture() {
    SetUi(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void ReportBytes(benchmark::State& state, const std::string& file) {
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
}

void BM_CsvWriter(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string file = f.folder + "grid.csv";
  for (auto _ : state) WriteCsvFile(f.grid, file);
  ReportBytes(state, file);
}

void BM_FixedWidthWriter(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string file = f.folder + "grid.dat";
  for (auto _ : state) WriteFixedWidthFile(f.grid, file);
  ReportBytes(state, file);
}

void BM_HtmlWriter(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string file = f.folder + "grid.htm";
  for (auto _ : state) WriteHtmlFile(f.grid, file);
  ReportBytes(state, file);
}

void BM_SqliteShellCsv(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string file = f.folder + "shell.csv";
  const std::string command =
      "sqlite3 -csv " + f.folder + "rows.db \"select * from t\" > " + file;
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("sqlite3 shell failed");
  if (std::filesystem::exists(file)) ReportBytes(state, file);
}

}  // namespace

BENCHMARK(BM_SqliteShellCsv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CsvWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FixedWidthWriter)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HtmlWriter)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
