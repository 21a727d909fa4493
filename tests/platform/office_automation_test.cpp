// The object model of this platform's office automation server, without
// saving: names in any letter case, and clear errors for what it lacks.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/dispatch.h"
#include "platform/posix/flat_odf.h"

namespace {

using platform::AsObject;
using platform::DispatchRef;
using platform::PlatformAutomationServer;

std::string ErrorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(OfficeAutomation, MembersInAnyCaseAndClearErrorsForTheRest) {
  auto excel = PlatformAutomationServer().Obtain("EXCEL.Application");
  if (!excel) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
  EXPECT_FALSE(excel->alreadyRunning);
  EXPECT_FALSE(PlatformAutomationServer().Obtain("powerpoint.application"));

  platform::DispatchObject& app = *excel->application;
  const DispatchRef books = AsObject(app.Get("workbooks"), "workbooks");
  EXPECT_EQ(std::get<long>(books->Get("COUNT")), 0);
  const DispatchRef book = AsObject(books->Call("ADD"), "ADD");
  EXPECT_EQ(std::get<long>(books->Get("Count")), 1);
  const DispatchRef sheet = AsObject(book->Get("sheets", {1L}), "sheets");
  EXPECT_EQ(ErrorOf([&] { book->Get("Sheets", {2L}); }), "Sheets: no sheet 2");
  EXPECT_EQ(ErrorOf([&] { app.Call("Frobnicate"); }), "Excel application has no member Frobnicate");
  EXPECT_EQ(ErrorOf([&] { sheet->Get("Range", {std::string("A1:")}); }),
            "Range: no range at address A1:");
  const DispatchRef range = AsObject(sheet->Get("range", {std::string("A1:B2")}), "range");
  EXPECT_EQ(ErrorOf([&] { range->Put("value", platform::TextBlock{{"a", "b"}}); }),
            "Value: the block has 1 rows, the range 2");
  EXPECT_EQ(ErrorOf([&] { range->Put("Formula", std::string("=1")); }),
            "Range has no property Formula to set");

  auto word = PlatformAutomationServer().Obtain("Word.Application");
  ASSERT_TRUE(word);
  const DispatchRef documents = AsObject(word->application->Get("Documents"), "Documents");
  const DispatchRef first = AsObject(documents->Call("add"), "add");
  const DispatchRef second = AsObject(documents->Call("Add"), "Add");
  const DispatchRef elsewhere =
      AsObject(first->Call("Range", {}, {{"START", 0L}, {"End", 0L}}), "Range");
  const DispatchRef tables = AsObject(second->Get("tables"), "tables");
  EXPECT_EQ(ErrorOf([&] { tables->Call("Add", {elsewhere}, {{"numRows", 1L}, {"numColumns", 1L}}); }),
            "Tables.Add: the first argument must be a range of this document");
  EXPECT_EQ(ErrorOf([&] { second->Call("Range", {}, {{"start", 0L}, {"end", 5L}}); }),
            "Range: no range from 0 to 5");
  const DispatchRef here = AsObject(second->Call("Range", {0L, 0L}), "Range");
  const DispatchRef table =
      AsObject(tables->Call("add", {here}, {{"NUMROWS", 2L}, {"numcolumns", 3L}}), "add");
  EXPECT_EQ(ErrorOf([&] { table->Call("Cell", {}, {{"Row", 3L}, {"Column", 1L}}); }),
            "Cell: the table has no cell at row 3, column 1");
  const DispatchRef cell = AsObject(table->Call("cell", {}, {{"row", 2L}, {"column", 3L}}), "cell");
  AsObject(cell->Get("RANGE"), "RANGE")->Call("insertafter", {std::string("x")});
  AsObject(cell->Get("Range"), "Range")->Call("InsertAfter", {std::string("y")});
  EXPECT_EQ(std::get<std::string>(AsObject(cell->Get("Range"), "Range")->Get("Text")), "xy");
  const DispatchRef format =
      AsObject(AsObject(cell->Get("Range"), "Range")->Get("paragraphformat"), "paragraphformat");
  EXPECT_EQ(ErrorOf([&] { format->Put("Alignment", 7L); }),
            "Alignment: the value must be 0, 1, 2 or 3");
  EXPECT_EQ(ErrorOf([&] { AsObject(std::string("text"), "Name"); }),
            "Member Name did not return an object");
}

}  // namespace

namespace {

// Rows sure to fit on a page are kept whole in the document; a row too tall
// for a page may still be split, or the word processor would have to cut it.
TEST(FlatOdf, ShortTableRowsAreKeptWholeAndTallOnesMaySplit) {
  std::string tall;
  for (int i = 0; i < 400; ++i) tall += "评";
  platform::odf::TextDocument document;
  platform::odf::TextDocument::PlacedTable placed;
  placed.table.rows = 3;
  placed.table.columns = 2;
  placed.table.cells.resize(6);
  placed.table.At(0, 0).text = "序号";
  placed.table.At(1, 1).text = tall;
  placed.table.At(2, 1).text = "第一行\r\n第二行";
  document.tables.push_back(std::move(placed));
  const std::string flat = platform::odf::FlatText(document);
  const std::string wholeRow = "<table:table-row table:style-name=\"RowWhole\">";
  std::vector<bool> whole;
  for (size_t at = flat.find("<table:table-row"); at != std::string::npos;
       at = flat.find("<table:table-row", at + 1))
    whole.push_back(flat.compare(at, wholeRow.size(), wholeRow) == 0);
  EXPECT_EQ(whole, (std::vector<bool>{true, false, true}));
  EXPECT_NE(flat.find("style:name=\"RowWhole\" style:family=\"table-row\"><style:table-row-properties "
                      "fo:keep-together=\"always\"/>"),
            std::string::npos);
}

}  // namespace
