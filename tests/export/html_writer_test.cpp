// The HTML writer: style block, classes in first-seen order, table lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/export/html_writer.h"
#include "tests/export/export_grids.h"
#include "tests/support/temp_dir.h"

namespace {

using export_tests::CriteriaGrid;

// The table part of the file for rows of (class, content) cells.
std::string Table(const std::vector<std::vector<std::pair<int, std::string>>>& rows) {
  std::string out = "<TABLE BORDER=\"1\" CELLSPACING=\"0\" CELLPADDING=\"0\"  WIDTH=\"100%\">\r\n";
  for (const auto& row : rows) {
    out += "<TR>\r\n";
    for (const auto& [cls, content] : row)
      out += "<TD class=\"c" + std::to_string(cls) + "\" nowrap>" + content + "</td>\r\n";
    out += "</TR>\r\n";
  }
  return out + "</TABLE>\r\n";
}

TEST(HtmlWriter, HeaderAndTwoCriteriaGiveThreeClassesAndNineCellsPerRow) {
  const GridModel grid = CriteriaGrid({
      {"1.1", "", "医生", "<b>粗体</b>", "基础", "第一行\r\n第二行", "4", "A & B"},
      {"1.2", "   ", "护士", "{\\rtf1 {\\fonttbl{\\f0 SimSun;}}富文本\\par 二}", "\t", "x", "3", " 左 "},
  });
  const std::string style =
      "<style>\r\n"
      ".c0 {background-color: #FFFFFF;color: #000000;font-size:8pt;font-weight: bold;"
      "font-family: Tahoma;text-align: center;vertical-align: middle}\r\n"
      ".c1 {background-color: #FFFFFF;color: #000000;font-size:8pt;"
      "font-family: Tahoma;text-align: center;vertical-align: middle}\r\n"
      ".c2 {background-color: #FFFFFF;color: #000000;font-size:8pt;"
      "font-family: Tahoma;vertical-align: top}\r\n"
      "</style>\r\n";
  const std::string table = Table({
      {{0, "序号"}, {1, "项目序号"}, {1, "项目代码"}, {1, "工作角色"}, {1, "业务项目"},
       {1, "评价类别"}, {1, "主要评价内容"}, {1, "功能评分"}, {1, "数据质量评价内容"}},
      {{0, "1"}, {1, "1.1"}, {1, "&nbsp;"}, {1, "医生"}, {2, "<b>粗体</b>"},
       {1, "基础"}, {2, "第一行<br>\n第二行"}, {1, "4"}, {2, "A & B"}},
      {{0, "2"}, {1, "1.2"}, {1, "&nbsp;"}, {1, "护士"}, {2, "富文本<br>\n二"},
       {1, "&nbsp;"}, {2, "x"}, {1, "3"}, {2, " 左 "}},
  });

  testing_support::TempDir dir;
  const std::string name = dir.path() + "grid.htm";
  WriteHtmlFile(grid, name);
  EXPECT_EQ(testing_support::ReadFileBytes(name), style + table + "\r\n");
}

TEST(HtmlWriter, ColoursComeFromTheLookRedFirstInUpperCaseHex) {
  const GridModel grid = CriteriaGrid({{"a"}});
  const ExportLook look{0xF0E0D0, 0x0A0B0C, "宋体", 9};
  const std::string html = BuildHtml(grid, look);
  EXPECT_EQ(html.substr(0, html.find("<TABLE")),
            "<style>\r\n"
            ".c0 {background-color: #FFFFFF;color: #0A0B0C;font-size:9pt;font-weight: bold;"
            "font-family: 宋体;text-align: center;vertical-align: middle}\r\n"
            ".c1 {background-color: #F0E0D0;color: #0A0B0C;font-size:9pt;"
            "font-family: 宋体;text-align: center;vertical-align: middle}\r\n"
            ".c2 {background-color: #F0E0D0;color: #0A0B0C;font-size:9pt;"
            "font-family: 宋体;vertical-align: top}\r\n"
            "</style>\r\n");
}

TEST(HtmlWriter, FailsToCreateWithTheFileNameAndLeavesNoFile) {
  const GridModel grid = CriteriaGrid({{"a"}});
  testing_support::TempDir dir;
  const std::string name = dir.path() + "no/such/grid.htm";
  try {
    WriteHtmlFile(grid, name);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot Create file " + name);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "no"));
}

}  // namespace
