// Export of 333 criteria to .xls and .doc through LibreOffice, beside a bare
// `soffice --convert-to xls` of a CSV file with the same cells. Every run
// starts LibreOffice in a fresh throw-away profile, as the exports do.
// Goal: each export within 1.5x of the bare conversion.
//
//   office_export_bench [--keep=<folder>] [benchmark options]
// --keep copies the last exported grid.xls and grid.doc into <folder>, to be
// looked at.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>

#include "base/ui_services.h"
#include "bench_data.h"
#include "export/csv_writer.h"
#include "export/office_writers.h"
#include "grid/grid_model.h"
#include "platform/posix/office_convert.h"

namespace {

namespace fs = std::filesystem;
constexpr int kCriteria = 333;
std::string keepFolder;

struct Fixture {
  fs::path folder;
  GridModel grid;
  bench_data::SilentUi ui;

  Fixture() {
    std::string pattern = (fs::temp_directory_path() / "office-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder = pattern;
    SetUi(&ui);
    const char* header[] = {"序号", "项目序号", "项目代码", "工作角色", "业务项目",
                            "评价类别", "主要评价内容", "功能评分", "数据质量评价内容"};
    grid.SetColCount(9);
    for (int c = 0; c < 9; ++c) grid.SetCell(c, 0, header[c]);
    std::mt19937 rng(9);
    for (int i = 1; i <= kCriteria; ++i) {
      const int row = grid.AddRow();
      grid.SetCell(0, row, std::to_string(i));
      grid.SetCell(1, row, "4." + std::to_string(i));
      grid.SetCell(2, row, "EMR-" + std::to_string(i % 40));
      grid.SetCell(3, row, i % 2 ? "医师" : "护士");
      grid.SetCell(4, row, bench_data::Pick(bench_data::kClauses, rng));
      grid.SetCell(5, row, i % 3 ? "基础" : "提升");
      grid.SetCell(6, row, bench_data::Pick(bench_data::kClauses, rng) + "，" +
                               bench_data::Pick(bench_data::kClauses, rng) + "\r\n" +
                               bench_data::Pick(bench_data::kClauses, rng));
      grid.SetCell(7, row, std::to_string(i % 5));
      grid.SetCell(8, row, bench_data::Pick(bench_data::kClauses, rng));
    }
    WriteCsvFile(grid, (folder / "grid.csv").string());
  }
  ~Fixture() {
    SetUi(nullptr);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void Keep(const fs::path& file) {
  if (keepFolder.empty()) return;
  fs::create_directories(keepFolder);
  fs::copy_file(file, fs::path(keepFolder) / file.filename(), fs::copy_options::overwrite_existing);
}

void BM_BareSofficeCsvToXls(benchmark::State& state) {
  Fixture& f = Shared();
  const std::optional<fs::path> soffice = platform::office::FindSoffice();
  if (!soffice) return state.SkipWithError("soffice not found");
  int run = 0;
  for (auto _ : state) {
    const fs::path profile = f.folder / ("bare-profile-" + std::to_string(++run));
    const std::string command = soffice->string() +
                                " --headless --norestore -env:UserInstallation=file://" +
                                profile.string() + " --convert-to xls --outdir " +
                                (f.folder / "bare").string() + " " +
                                (f.folder / "grid.csv").string() + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) state.SkipWithError("soffice failed");
    state.PauseTiming();
    fs::remove_all(profile);
    state.ResumeTiming();
  }
}

void BM_ExcelExport(benchmark::State& state) {
  Fixture& f = Shared();
  const fs::path file = f.folder / "grid.xls";
  for (auto _ : state) WriteExcelWorkbook(f.grid, file, true);
  Keep(file);
}

void BM_WordExport(benchmark::State& state) {
  Fixture& f = Shared();
  const fs::path file = f.folder / "grid.doc";
  for (auto _ : state) WriteWordDocument(f.grid, file, true);
  Keep(file);
}

}  // namespace

BENCHMARK(BM_BareSofficeCsvToXls)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExcelExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_WordExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

int main(int argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--keep=", 7) == 0)
      keepFolder = argv[i] + 7;
    else
      argv[kept++] = argv[i];
  }
  argc = kept;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
