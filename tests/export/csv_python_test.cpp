// A CSV file written by the writer, read back by Python's csv module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/export/csv_writer.h"
#include "export_test_helpers.h"
#include "tests/support/test_db.h"

namespace {

// Reads the CSV file (CP936) and writes every cell as hex of its CP936 bytes,
// cells separated by spaces, one row per line.
constexpr const char* kReader = R"(import csv, sys
with open(sys.argv[1], encoding='gbk', newline='') as f, open(sys.argv[2], 'w') as out:
    for row in csv.reader(f):
        out.write(' '.join('=' + cell.encode('gbk').hex() for cell in row) + '\n')
)";

std::vector<std::vector<std::string>> ReadBackWithPython(const std::string& csvFile,
                                                         const std::string& folder) {
  std::vector<std::vector<std::string>> rows = export_tests::RunReader(kReader, csvFile, folder);
  for (auto& row : rows)
    for (auto& cell : row) cell = export_tests::Unhex(cell);
  return rows;
}

using export_tests::kPython;

TEST(CsvWithPython, EveryCellRoundTripsExceptLineBreaksBesideCommas) {
  if (!std::filesystem::exists(kPython)) GTEST_SKIP() << kPython << " is missing";
  const std::vector<std::vector<std::string>> rows = {
      {"序号", "项目序号", "说明", "备注"},
      {"1", "", "a,b", "他说\"好\""},
      {"2", "a,\"b\",c", "第一行\r\n第二行", " 前后空格 "},
      {"3", "lone\rCR", "lone\nLF", "\"\""},
      {"4", "逗号,与\r\n换行", "x", "y"},
  };
  const GridModel grid = export_tests::MakeGrid(rows);
  testing_support::TempDir dir;
  WriteCsvFile(grid, dir.path() + "grid.csv");

  std::vector<std::vector<std::string>> expected = rows;
  // A CR LF inside a field that holds a comma is written as byte 11.
  expected[4][1] = "逗号,与\x0B换行";
  EXPECT_EQ(ReadBackWithPython(dir.path() + "grid.csv", dir.path()), expected);
}

}  // namespace
