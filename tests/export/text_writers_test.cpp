// The CSV and fixed-width writers, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/export/csv_writer.h"
#include "core/export/fixed_width_writer.h"
#include "tests/export/export_grids.h"
#include "tests/support/temp_dir.h"

namespace {

using export_tests::MakeGrid;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

TEST(CsvField, QuotesCommasAndLineBreaks) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "\"\""},
      {"plain text", "plain text"},
      {"中文", "中文"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"a,\"b\"", "\"a,\"\"b\"\"\""},
      // With a comma every CR LF pair becomes byte 11; a lone CR stays.
      {"a,b\r\nc\r\nd", "\"a,b\x0B" "c\x0B" "d\""},
      {"a,b\rc", "\"a,b\rc\""},
      // With a quote but no comma the line breaks stay inside the quotes.
      {"q\"\r\nx", "\"q\"\"\r\nx\""},
      // Line breaks alone: enclosed so the record is not broken.
      {"line1\r\nline2", "\"line1\r\nline2\""},
      {"a\rb", "\"a\rb\""},
      {"a\nb", "\"a\nb\""},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(CsvField(text), field) << text;
}

TEST(CsvWriter, WritesEveryRowAndColumnWithCrLfAndNoBom) {
  const GridModel grid = MakeGrid({{"序号", "名称", "说明"}, {"1", "", "x,y"}, {"2", "中文", "\"q\""}});
  TempDir dir;
  const std::string name = dir.path() + "out.csv";
  WriteCsvFile(grid, name);
  EXPECT_EQ(ReadFileBytes(name),
            "序号,名称,说明\r\n"
            "1,\"\",\"x,y\"\r\n"
            "2,中文,\"\"\"q\"\"\"\r\n");
}

// Failures to create a file are checked through the export command.
TEST(TextWriters, ReplaceAnExistingFile) {
  const GridModel grid = MakeGrid({{"H"}, {"1"}});
  TempDir dir;
  const std::string name = dir.path() + "old.dat";
  std::ofstream(name, std::ios::binary) << "an older and much longer content\r\n";
  WriteFixedWidthFile(grid, name);
  EXPECT_EQ(ReadFileBytes(name), "H \r\n1 \r\n");
  WriteCsvFile(grid, name);
  EXPECT_EQ(ReadFileBytes(name), "H\r\n1\r\n");
}

// Columns 0 to 4 of the criteria grid: row 0 and columns 0 to 3 are centred,
// column 4 is left-aligned below row 0.
TEST(FixedWidthWriter, AlignsEveryColumnToItsWidthPlusOne) {
  const GridModel grid = MakeGrid({{"序号", "A", "项目", "", "Name"},
                                   {"1", "x", "中文字", "", "left"},
                                   {"10", "yy", "z", "", "a longer\r\nsecond line"}});
  EXPECT_EQ(FixedWidthColumnWidths(grid), (std::vector<size_t>{4, 2, 6, 0, 8}));
  EXPECT_EQ(BuildFixedWidth(grid),
            "序号  A  项目     Name   \r\n"
            "  1   x 中文字  left     \r\n"
            " 10  yy    z    a longer \r\n");
}

TEST(FixedWidthWriter, EveryColumnStartsAtTheSameOffsetInEveryLine) {
  const GridModel grid = MakeGrid({{"序号", "项目序号", "业务项目", "说明", "数据质量"},
                                   {"1", "一", "二二", "", "英文 and 中文"},
                                   {"2", "三三三", "x", "四", ""},
                                   {"3", "", std::string(300, 'w'), "五五", "中"}});
  const std::vector<size_t> widths = FixedWidthColumnWidths(grid);
  EXPECT_EQ(widths[2], 300u);
  const std::string file = BuildFixedWidth(grid);
  size_t lineStart = 0;
  for (int row = 0; row < grid.RowCount(); ++row) {
    size_t offset = lineStart;
    for (int col = 0; col < grid.ColCount(); ++col) {
      // The cell's own text sits inside its slot, followed by at least one space.
      const std::string& text = grid.Cell(col, row);
      const std::string slot = file.substr(offset, widths[col] + 1);
      EXPECT_NE(slot.find(text), std::string::npos) << row << "," << col;
      EXPECT_EQ(slot.back(), ' ') << row << "," << col;
      offset += widths[col] + 1;
    }
    ASSERT_EQ(file.substr(offset, 2), "\r\n") << row;
    lineStart = offset + 2;
  }
  EXPECT_EQ(lineStart, file.size());
  // The 300-byte column is 301 bytes wide; its centred header is padded 146/147.
  EXPECT_EQ(file.substr(5 + 9, 301), std::string(146, ' ') + "业务项目" + std::string(147, ' '));
}

TEST(FixedWidthWriter, EveryKindOfLineBreakEndsTheFirstLine) {
  // A lone CR, a bare LF and a CR LF pair each end the part that is written
  // and measured: every line of the file keeps its columns.
  const GridModel grid = MakeGrid({{"#", "Text", "U"},
                                   {"1", "a\rbcd\r\nmore", "v"},
                                   {"2", "bb\nsecond", "w\n"},
                                   {"3", "ccc\r\nd", "\nx"}});
  EXPECT_EQ(BuildFixedWidth(grid),
            "# Text U \r\n"
            "1   a  v \r\n"
            "2  bb  w \r\n"
            "3  ccc   \r\n");
}

TEST(FixedWidthWriter, EmptyColumnIsOneSpaceAndRichTextIsConverted) {
  const GridModel grid = MakeGrid({{"", "{\\rtf1 {\\fonttbl x}ab\\par cd}"}, {"", "xyz"}});
  EXPECT_EQ(BuildFixedWidth(grid), "  ab \r\n xyz \r\n");
  EXPECT_EQ(BuildCsv(grid), "\"\",\"ab\r\ncd\"\r\n\"\",xyz\r\n");
}

}  // namespace
