#include "gui/export/Excel_unit_export.h"

#include <array>
#include <filesystem>

#include "core/base/Excel_unit.h"
#include "core/base/app_folder.h"
#include "gui/base/export_start_folder.h"
#include "gui/base/ui_services.h"
#include "core/grid/grid_model.h"
#include "core/export/csv_writer.h"
#include "core/export/fixed_width_writer.h"
#include "core/export/html_writer.h"
#include "gui/export/office_server.h"
#include "gui/export/office_writers.h"
#include "platform/codepage.h"
#include "platform/dispatch.h"

namespace {

using Writer = void (*)(const GridModel&, const std::filesystem::path&, const ExportLook&);

void WriteExcel(const GridModel& grid, const std::filesystem::path& name, const ExportLook&) {
  WriteExcelWorkbook(grid, name);
}
void WriteWord(const GridModel& grid, const std::filesystem::path& name, const ExportLook&) {
  WriteWordDocument(grid, name);
}
void WriteCsv(const GridModel& grid, const std::filesystem::path& name, const ExportLook&) {
  WriteCsvFile(grid, name);
}
void WriteFixedWidth(const GridModel& grid, const std::filesystem::path& name, const ExportLook&) {
  BusyCursor hourglass;  // measuring every cell takes a moment on a large grid
  WriteFixedWidthFile(grid, name);
}
void WriteHtml(const GridModel& grid, const std::filesystem::path& name, const ExportLook& look) {
  WriteHtmlFile(grid, name, look);
}

struct DispatchRow {
  const char* extension;
  Writer writer;
};

// Compared in this order; the first equal row selects the writer.
constexpr std::array<DispatchRow, 6> kDispatch = {{
    {".XLS", WriteExcel},
    {".CSV", WriteCsv},
    {".TXT", WriteCsv},  // a .txt file holds exactly the CSV format
    {".DOC", WriteWord},
    {".DAT", WriteFixedWidth},
    {".HTM", WriteHtml},
}};

}  // namespace

std::string ExportExtension(const std::filesystem::path& fileName) {
  // From the last dot of the name's last part, dot included. The UTF-8 form
  // is searched: a dot there is always a character of its own.
  const std::string name = platform::PathToUtf8(fileName.filename());
  const size_t lastDot = name.find_last_of('.');
  return lastDot == std::string::npos ? std::string() : AsciiUpper(name.substr(lastDot));
}

void ExportGrid(const GridModel& grid, const ExportLook& look) {
  SaveDialogRequest request;
  request.initialFolder = ExportStartFolder();
  request.filter = kExportFilter;
  // Excel first, where there is an office application to write it; else
  // CSV, which every spreadsheet program opens, so that accepting the
  // dialog as it comes does not end in a refusal.
  const bool office = OfficeServer().Installed("excel.application");
  request.filterIndex = office ? 1 : 2;
  request.defaultExtension = office ? "xls" : "csv";
  const std::optional<std::filesystem::path> fileName = Ui().AskSaveFileName(request);
  if (!fileName) return;

  bool written = false;
  std::string reason;  // a second line for the failure message, when known
  try {
    const std::string extension = ExportExtension(*fileName);
    for (const DispatchRow& row : kDispatch) {
      if (extension == row.extension) {
        row.writer(grid, *fileName, look);
        written = true;
        break;
      }
    }
  } catch (const OfficeApplicationMissing& missing) {
    // Which program the format needs and how to get it.
    written = false;
    reason = platform::MissingApplicationAdvice(missing.progId());
  } catch (const platform::UserFacingError& error) {
    // The content does not fit the chosen format: the user learns why.
    written = false;
    reason = error.what();
  } catch (...) {
    written = false;  // technical errors' own text is not shown
  }
  if (written)
    Ui().ShowMessage({kExportSucceeded, kCaptionNotice, MessageIcon::None});
  else
    Ui().ShowMessage({reason.empty() ? std::string(kExportFailed) : kExportFailed + ("\n" + reason),
                      kCaptionWarning, MessageIcon::None});
}

void ExportButtonClick(const GridModel& grid, bool gridFilling,
                       const std::function<void()>& hideSuggestionList, const ExportLook& look) {
  if (grid.RowCount() <= 1) return;
  if (gridFilling) {
    Ui().ShowMessage({kExportStillLoading, kCaptionNotice, MessageIcon::Error});
    return;
  }
  if (hideSuggestionList) hideSuggestionList();
  ExportGrid(grid, look);
}
