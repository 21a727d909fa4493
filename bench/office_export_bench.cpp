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

#include "gui/base/ui_services.h"
#include "bench_data.h"
#include "core/export/csv_writer.h"
#include "gui/export/office_writers.h"
#include "core/grid/grid_model.h"
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
    grid = bench_data::CriteriaGrid(kCriteria);
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
  for (auto _ : state) WriteExcelWorkbook(f.grid, file);
  Keep(file);
}

void BM_WordExport(benchmark::State& state) {
  Fixture& f = Shared();
  const fs::path file = f.folder / "grid.doc";
  for (auto _ : state) WriteWordDocument(f.grid, file);
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
