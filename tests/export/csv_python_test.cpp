// A CSV file written by the writer, read back by Python's csv module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/csv_writer.h"
#include "export_test_helpers.h"
#include "tests/support/test_db.h"

namespace {

constexpr const char* kPython = "/usr/bin/python3";

// Reads the CSV file (CP936) and writes every cell as hex of its CP936 bytes,
// cells separated by spaces, one row per line.
constexpr const char* kReader = R"(import csv, sys
with open(sys.argv[1], encoding='gbk', newline='') as f, open(sys.argv[2], 'w') as out:
    for row in csv.reader(f):
        out.write(' '.join('=' + cell.encode('gbk').hex() for cell in row) + '\n')
)";

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::vector<std::vector<std::string>> ReadBackWithPython(const std::string& csvFile,
                                                         const std::string& folder) {
  std::ofstream(folder + "reader.py") << kReader;
  const std::string command = std::string(kPython) + " " + folder + "reader.py " + csvFile + " " +
                              folder + "cells.txt";
  EXPECT_EQ(std::system(command.c_str()), 0);
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(testing_support::ReadFileBytes(folder + "cells.txt"));
  for (std::string line; std::getline(lines, line);) {
    rows.emplace_back();
    std::istringstream cells(line);
    for (std::string cell; cells >> cell;) rows.back().push_back(Unhex(cell.substr(1)));
  }
  return rows;
}

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
