#include "gui/export/office_writers.h"

#include <stdexcept>

#include "gui/base/ui_services.h"
#include "core/export/export_text.h"
#include "gui/export/office_server.h"
#include "core/grid/grid_model.h"
#include "platform/dispatch.h"

using platform::AsObject;
using platform::DispatchRef;
using platform::NamedArg;
using platform::OfficeApplication;
using platform::TextBlock;
using platform::Variant;

namespace {

// Word's paragraph alignments.
constexpr long kAlignCenter = 1;
constexpr long kAlignRight = 2;

// Column letters of a count from 1 to 702: A..Z, then AA..ZZ.
std::string ColumnLetters(int n) {
  if (n <= 26) return std::string(1, static_cast<char>(64 + n));
  if (n % 26 != 0)
    return {static_cast<char>(64 + n / 26), static_cast<char>(64 + n % 26)};
  return {static_cast<char>(63 + n / 26), 'Z'};
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

// Holds the obtained application for the length of one export. Unless the
// application was found running, it is asked to quit: by Finish() after a
// successful export, or when the export fails, with the first error kept. On
// that failure path the workbook or document that the export added is first
// closed without saving, so an invisible application never waits for an
// answer to "save the changes?" that nobody can see.
class ApplicationSession {
 public:
  ApplicationSession(const std::string& progId, const std::string& notFound) {
    std::optional<OfficeApplication> office = OfficeServer().Obtain(progId);
    if (!office || !office->application) throw OfficeApplicationMissing(progId, notFound);
    office_ = std::move(*office);
  }
  ~ApplicationSession() {
    if (finished_ || office_.alreadyRunning) return;
    // The export's own error is the one to pass on; these may fail quietly.
    try {
      if (opened_) opened_->Call("Close", {}, {{"SaveChanges", false}});
    } catch (...) {
    }
    try {
      office_.application->Call("Quit", {}, quitWithoutSaving_);
    } catch (...) {
    }
  }
  ApplicationSession(const ApplicationSession&) = delete;
  ApplicationSession& operator=(const ApplicationSession&) = delete;

  platform::DispatchObject& App() { return *office_.application; }

  // The workbook or document that the export added; `quitWithoutSaving`: the
  // named arguments of a Quit that discards changes (Word takes them).
  void Opened(DispatchRef object, std::vector<NamedArg> quitWithoutSaving = {}) {
    opened_ = std::move(object);
    quitWithoutSaving_ = std::move(quitWithoutSaving);
  }

  void Finish() {
    finished_ = true;
    if (!office_.alreadyRunning) office_.application->Call("Quit");
  }

 private:
  OfficeApplication office_;
  DispatchRef opened_;
  std::vector<NamedArg> quitWithoutSaving_;
  bool finished_ = false;
};

}  // namespace

std::string ExcelRangeAddress(int rows, int columns) {
  if (columns < 1 || columns > 702 || rows < 1)
    throw std::invalid_argument("No range address for " + std::to_string(rows) + " rows and " +
                                std::to_string(columns) + " columns");
  return "A1:" + ColumnLetters(columns) + std::to_string(rows);
}

void WriteExcelWorkbook(const GridModel& grid, const std::filesystem::path& fileName) {
  BusyCursor hourglass;
  ApplicationSession session("excel.application", "Excel OLE server not found");
  platform::DispatchObject& app = session.App();

  // The count of open workbooks matters only when writing into the active one.
  AsObject(app.Get("WorkBooks"), "WorkBooks")->Get("Count");
  const DispatchRef workbook =
      AsObject(AsObject(app.Get("WorkBooks"), "WorkBooks")->Call("Add"), "Add");
  session.Opened(workbook);
  const DispatchRef sheet = AsObject(workbook->Get("Sheets", {1L}), "Sheets");

  const int rows = grid.RowCount();
  const int cols = grid.ColCount();
  TextBlock block(static_cast<size_t>(rows), std::vector<std::string>(static_cast<size_t>(cols)));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) block[r][c] = WithoutCarriageReturns(ExportText(grid.Cell(c, r)));

  const DispatchRef range = AsObject(sheet->Get("Range", {ExcelRangeAddress(rows, cols)}), "Range");
  range->Put("Value", std::move(block));
  workbook->Call("SaveAs", {fileName});
  session.Finish();
}

void WriteWordDocument(const GridModel& grid, const std::filesystem::path& fileName) {
  // A Word table holds at most 32,767 rows and 63 columns: a grid that does
  // not fit is refused whole, with the reason, before Word is started.
  constexpr int kWordTableRows = 32767;
  if (grid.RowCount() > kWordTableRows)
    throw platform::UserFacingError("表格有 " + std::to_string(grid.RowCount()) +
                                    " 行，超过 .doc 表格最多的 32767 行");
  BusyCursor hourglass;
  ApplicationSession session("word.application", "Word OLE server not found");
  platform::DispatchObject& app = session.App();

  const DispatchRef document =
      AsObject(AsObject(app.Get("Documents"), "Documents")->Call("Add"), "Add");
  session.Opened(document, {{"SaveChanges", false}});
  document->Put("ShowSpellingErrors", false);
  const DispatchRef selection = AsObject(app.Get("Selection"), "Selection");
  selection->Call("TypeText", {std::string()});  // the grid has no caption text
  selection->Call("TypeParaGraph");
  const DispatchRef start =
      AsObject(document->Call("Range", {}, {{"start", 0L}, {"end", 0L}}), "Range");
  const DispatchRef tables = AsObject(document->Get("Tables"), "Tables");

  const int rows = grid.RowCount();
  const int cols = grid.ColCount();
  const DispatchRef table = AsObject(
      tables->Call("Add", {start}, {{"numRows", long{rows}}, {"numColumns", long{cols}}}), "Add");
  for (long r = 1; r <= rows; ++r) {
    for (long c = 1; c <= cols; ++c) {
      const int col = static_cast<int>(c - 1);
      const int row = static_cast<int>(r - 1);
      const DispatchRef cell = AsObject(table->Call("Cell", {}, {{"Row", r}, {"Column", c}}), "Cell");
      AsObject(cell->Get("Range"), "Range")->Call("InsertAfter", {ExportText(grid.Cell(col, row))});
      const HAlign align = GridModel::HorizontalAlignment(col, row);
      if (align == HAlign::Left) continue;
      const DispatchRef format =
          AsObject(AsObject(cell->Get("Range"), "Range")->Get("ParagraphFormat"), "ParagraphFormat");
      format->Put("Alignment", align == HAlign::Center ? kAlignCenter : kAlignRight);
    }
  }
  document->Call("SaveAs", {fileName});
  session.Finish();
}
