// Opening a hospital's Access VARN.mdb of 100,000 criteria (Jet 4) until the
// first search can run (the connection open, which copies the tables into
// memory, and one fuzzy search), beside mdbtools' own mdb-export writing the
// same table to /dev/null; and the open with the full select that the line
// cache of exact mode reads, with the memory that both hold.
// Goal: open and first search within 1.5x of mdb-export. On a busy machine
// compare the processor times (CPU column, child_cpu_ms for mdb-export).
//
// The file is made here by the generator that writes real Access files
// (make-access-db.jar, which needs Java): ZELVORAN_ACCESS_JAR names it, else
// it is looked for in the shared folder beside the source tree.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/store/ado.h"
#include "core/store/statements.h"

namespace {

constexpr int kRows = 100000;

// The resident memory of this process in MB.
double ResidentMb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

std::string GeneratorJar() {
  if (const char* jar = std::getenv("ZELVORAN_ACCESS_JAR")) return jar;
  for (const char* candidate : {"/../shared/access/make-access-db.jar",
                                "/../../shared/access/make-access-db.jar"}) {
    const std::string path = std::string(ZELVORAN_SOURCE_DIR) + candidate;
    if (std::filesystem::exists(path)) return path;
  }
  return {};
}

struct Fixture {
  std::string folder;
  std::string error;

  Fixture() {
    std::string pattern = (std::filesystem::temp_directory_path() / "access-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    folder = pattern + "/";
    // The settings file goes into the benchmark's own folder.
    setenv("XDG_DATA_HOME", folder.c_str(), 1);
    const std::string jar = GeneratorJar();
    if (jar.empty()) {
      error = "make-access-db.jar not found (set ZELVORAN_ACCESS_JAR)";
      return;
    }
    const std::string command = "java -jar '" + jar + "' '" + folder + "VARN.mdb' V2003 '" +
                                ZELVORAN_SOURCE_DIR + "/data/criteria.tsv' --rows " +
                                std::to_string(kRows) + " > /dev/null";
    if (std::system(command.c_str()) != 0) error = "the Access file could not be made";
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_MdbExportToDevNull(benchmark::State& state) {
  Fixture& f = Shared();
  if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
  const std::string command =
      "mdb-export '" + f.folder + "VARN.mdb' Public_hospital_assessment > /dev/null";
  rusage before {}, after {};
  getrusage(RUSAGE_CHILDREN, &before);
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("mdb-export failed");
  getrusage(RUSAGE_CHILDREN, &after);
  // The time the child processes took on the processor, for a busy machine.
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  state.counters["child_cpu_ms"] =
      (seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
       seconds(before.ru_stime)) * 1000 / static_cast<double>(state.iterations());
}

// The open and the full select that the line cache of exact mode reads:
// every row as text, held by the query.
void BM_OpenAccessAndReadEveryRow(benchmark::State& state) {
  Fixture& f = Shared();
  if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
  double memory = 0;
  for (auto _ : state) {
    const double before = ResidentMb();
    store::AdoConnection connection;
    connection.SetConnectionString(store::BuildConnectionText(f.folder));
    connection.Open();
    store::AdoQuery query(connection);
    query.SetSql(store::kFullSelect);
    query.Open();
    if (query.RecordCount() != kRows) state.SkipWithError("not every row was read");
    memory = std::max(memory, ResidentMb() - before);
  }
  state.counters["rows"] = kRows;
  state.counters["memory_MB"] = memory;  // the open connection and the select's result
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(f.folder + "VARN.mdb")) / 1e6;
}

// The open and the first fuzzy search over all eight columns.
void BM_OpenAccessUntilFirstSearch(benchmark::State& state) {
  Fixture& f = Shared();
  if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
  double memory = 0;
  for (auto _ : state) {
    const double before = ResidentMb();
    store::AdoConnection connection;
    connection.SetConnectionString(store::BuildConnectionText(f.folder));
    connection.Open();
    store::AdoQuery query(connection);
    query.SetSql(store::FuzzySearchStatement(0, "医嘱"));
    query.Open();
    if (query.RecordCount() == 0) state.SkipWithError("the search found nothing");
    memory = std::max(memory, ResidentMb() - before);
  }
  state.counters["memory_MB"] = memory;  // the copy in memory and the search's result
}

}  // namespace

BENCHMARK(BM_MdbExportToDevNull)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OpenAccessUntilFirstSearch)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_OpenAccessAndReadEveryRow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
