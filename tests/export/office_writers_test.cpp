// The Excel and Word writers through the recording automation server: the
// calls they make, in order and with their arguments, and how failures end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/base/app_folder.h"
#include "gui/export/Excel_unit_export.h"
#include "gui/export/office_writers.h"
#include "export_test_helpers.h"
#include "platform/codepage.h"
#include "tests/support/recording_automation.h"
#include "tests/support/test_db.h"

namespace {

using export_tests::CriteriaGrid;
using export_tests::MakeGrid;
using export_tests::RecordingUi;
using testing_support::RecordingAutomation;

class OfficeWriters : public export_tests::ExportFolderTest {
 protected:
  // Exports through the export command and returns the text of the one box.
  // `fileName` is CP936 program text; on disk the name is UTF-8.
  std::string ExportTo(const std::string& fileName) {
    ui_.messages.clear();
    ui_.nextFileName = dir_.path() + platform::Cp936ToUtf8(fileName);
    ExportButtonClick(grid_, 0, [] {}, ExportLook{});
    EXPECT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.cursorDepth, 0) << "the hourglass is still showing";
    return ui_.messages.empty() ? "" : ui_.messages.back().text;
  }
  // How the fake shows the file name the writer was given: the name on
  // disk, in UTF-8.
  std::string PathText(const std::string& fileName) const {
    return "path\"" + dir_.path() + platform::Cp936ToUtf8(fileName) + "\"";
  }

  RecordingAutomation office_;
  GridModel grid_ = CriteriaGrid({{"1.1", "A,B", "医生", "书写\r\n记录", "基础", "", "4", "x"},
                                  {"1.2", "他说\"好\"", "it's", "a\rb", "", "", "", "末"}});
};

TEST_F(OfficeWriters, WordTableOfMoreRowsThanWordHoldsIsRefusedWithTheReason) {
  grid_ = CriteriaGrid(std::vector<std::vector<std::string>>(32767, {"1.1"}));
  EXPECT_EQ(ExportTo("多.doc"), "导出失败!\n表格有 32768 行，超过 .doc 表格最多的 32767 行");
  EXPECT_TRUE(office_.obtained.empty());  // Word was not started
}

TEST_F(OfficeWriters, ExcelGetsOneValueBlockWithoutCarriageReturnsAndSaves) {
  EXPECT_EQ(ExportTo("表格.xls"), "导出成功!");
  EXPECT_EQ(office_.obtained, std::vector<std::string>{"excel.application"});
  const std::vector<std::string> expected = {
      "application get WorkBooks()",
      "WorkBooks#1 get Count()",
      "application get WorkBooks()",
      "WorkBooks#2 call Add()",
      "Add#1 get Sheets(1)",
      "Sheets#1 get Range(\"A1:I3\")",
      "Range#1 put Value={"
      "{\"序号\",\"项目序号\",\"项目代码\",\"工作角色\",\"业务项目\",\"评价类别\",\"主要评价内容\","
      "\"功能评分\",\"数据质量评价内容\"},"
      "{\"1\",\"1.1\",\"A,B\",\"医生\",\"书写\\n记录\",\"基础\",\"\",\"4\",\"x\"},"
      "{\"2\",\"1.2\",\"他说\"好\"\",\"it's\",\"ab\",\"\",\"\",\"\",\"末\"}}",
      "Add#1 call SaveAs(" + PathText("表格.xls") + ")",
      "application call Quit()",
  };
  EXPECT_EQ(office_.calls, expected);
  EXPECT_EQ(ui_.cursorPushes, 1);
}

TEST_F(OfficeWriters, WordFillsATableCellByCellAndAlignsTheCentredOnes) {
  EXPECT_EQ(ExportTo("文档.DOC"), "导出成功!");
  EXPECT_EQ(office_.obtained, std::vector<std::string>{"word.application"});
  std::vector<std::string> expected = {
      "application get Documents()",
      "Documents#1 call Add()",
      "Add#1 put ShowSpellingErrors=false",
      "application get Selection()",
      "Selection#1 call TypeText(\"\")",
      "Selection#1 call TypeParaGraph()",
      "Add#1 call Range(start=0, end=0)",
      "Add#1 get Tables()",
      "Tables#1 call Add(Range#1, numRows=3, numColumns=9)",
  };
  const std::vector<std::vector<std::string>> texts = {
      {"序号", "项目序号", "项目代码", "工作角色", "业务项目", "评价类别", "主要评价内容",
       "功能评分", "数据质量评价内容"},
      {"1", "1.1", "A,B", "医生", "书写\\r\\n记录", "基础", "", "4", "x"},
      {"2", "1.2", "他说\"好\"", "it's", "a\\rb", "", "", "", "末"}};
  int cell = 0, range = 1, format = 0;
  for (int row = 1; row <= 3; ++row) {
    for (int column = 1; column <= 9; ++column) {
      const std::string cellName = "Cell#" + std::to_string(++cell);
      expected.push_back("Add#2 call Cell(Row=" + std::to_string(row) +
                         ", Column=" + std::to_string(column) + ")");
      expected.push_back(cellName + " get Range()");
      expected.push_back("Range#" + std::to_string(++range) + " call InsertAfter(\"" +
                         texts[row - 1][column - 1] + "\")");
      // The first row and the columns 1, 2, 3, 4, 6 and 8 are centred.
      const bool centred = row == 1 || column <= 4 || column == 6 || column == 8;
      if (!centred) continue;
      expected.push_back(cellName + " get Range()");
      expected.push_back("Range#" + std::to_string(++range) + " get ParagraphFormat()");
      expected.push_back("ParagraphFormat#" + std::to_string(++format) + " put Alignment=1");
    }
  }
  expected.push_back("Add#1 call SaveAs(" + PathText("文档.DOC") + ")");
  expected.push_back("application call Quit()");
  EXPECT_EQ(office_.calls, expected);
}

TEST_F(OfficeWriters, RangeAddressCoversTheColumnLetters) {
  const std::pair<int, const char*> cases[] = {{1, "A1:A2"},   {9, "A1:I2"},   {26, "A1:Z2"},
                                               {27, "A1:AA2"}, {52, "A1:AZ2"}, {53, "A1:BA2"},
                                               {78, "A1:BZ2"}, {702, "A1:ZZ2"}};
  for (const auto& [columns, address] : cases) {
    office_.calls.clear();
    GridModel grid = MakeGrid({{"h"}, {"v"}});
    grid.SetColCount(columns);
    WriteExcelWorkbook(grid, dir_.path() + "w.xls");
    ASSERT_GE(office_.calls.size(), 6u);
    const std::string& call = office_.calls[5];
    EXPECT_EQ(call.substr(call.find(' ')), std::string(" get Range(\"") + address + "\")");
  }
  EXPECT_EQ(ExcelRangeAddress(120, 9), "A1:I120");
  EXPECT_THROW(ExcelRangeAddress(2, 703), std::invalid_argument);
}

TEST_F(OfficeWriters, AFailedCallQuitsAStartedApplicationAndTheExportFails) {
  // Before the save, in either writer, and the saves themselves. On the way
  // out the new workbook or document is closed without saving, then the
  // application quits (Word told not to save).
  struct Failure {
    const char* member;
    const char* name;
    const char* closed;
    const char* quit;
  };
  const Failure failures[] = {
      {"Value", "a.xls", "Add#1 call Close(SaveChanges=false)", "application call Quit()"},
      {"SaveAs", "b.xls", "Add#2 call Close(SaveChanges=false)", "application call Quit()"},
      {"InsertAfter", "c.doc", "Add#3 call Close(SaveChanges=false)",
       "application call Quit(SaveChanges=false)"},
      {"SaveAs", "d.doc", "Add#5 call Close(SaveChanges=false)",
       "application call Quit(SaveChanges=false)"}};
  for (const Failure& failure : failures) {
    office_.calls.clear();
    office_.failOn = failure.member;
    EXPECT_EQ(ExportTo(failure.name), "导出失败!") << failure.member << " " << failure.name;
    ASSERT_GE(office_.calls.size(), 3u);
    EXPECT_NE(office_.calls.end()[-3].find(failure.member), std::string::npos)
        << office_.calls.end()[-3];
    EXPECT_EQ(office_.calls.end()[-2], failure.closed) << failure.name;
    EXPECT_EQ(office_.calls.back(), failure.quit) << failure.name;
    EXPECT_EQ(std::count_if(office_.calls.begin(), office_.calls.end(),
                            [](const std::string& call) { return call.find("Quit") != std::string::npos; }),
              1);
  }
  // An application that was running already is left running, whatever happens.
  office_.alreadyRunning = true;
  for (const char* failOn : {"Range", ""}) {
    office_.calls.clear();
    office_.failOn = failOn;
    EXPECT_EQ(ExportTo("e.xls"), *failOn ? "导出失败!" : "导出成功!");
    for (const std::string& call : office_.calls) EXPECT_EQ(call.find("Quit"), std::string::npos);
  }
}

TEST_F(OfficeWriters, MissingServerFailsWithItsOwnMessageAndNoCalls) {
  office_.installed = false;
  // The failure box's first line; the lines after it say what to install.
  for (const char* name : {"a.xls", "b.doc"}) {
    const std::string text = ExportTo(name);
    EXPECT_EQ(text.substr(0, text.find('\n')), "导出失败!");
  }
  EXPECT_EQ(office_.obtained, (std::vector<std::string>{"excel.application", "word.application"}));
  EXPECT_TRUE(office_.calls.empty());
  try {
    WriteWordDocument(grid_, dir_.path() + "c.doc");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Word OLE server not found");
  }
  try {
    WriteExcelWorkbook(grid_, dir_.path() + "d.xls");
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Excel OLE server not found");
  }
  EXPECT_EQ(ui_.cursorDepth, 0);
}

}  // namespace
