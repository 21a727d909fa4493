#include "export/Excel_unit_export.h"

#include <array>
#include <filesystem>

#include "base/Excel_unit.h"
#include "base/app_folder.h"
#include "base/ui_services.h"
#include "grid/grid_model.h"
#include "export/csv_writer.h"
#include "export/fixed_width_writer.h"
#include "export/html_writer.h"
#include "export/office_writers.h"
#include "platform/codepage.h"

namespace {

using Writer = void (*)(const GridModel&, const std::string&, const ExportLook&);

// The office writers take the file name in the file system's own form.
std::filesystem::path NativeFileName(const std::string& cp936Name) {
  const std::string utf8 = platform::Cp936ToUtf8(cp936Name);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
void WriteExcel(const GridModel& grid, const std::string& name, const ExportLook&) {
  WriteExcelWorkbook(grid, NativeFileName(name), /*newWorkbook=*/true);
}
void WriteWord(const GridModel& grid, const std::string& name, const ExportLook&) {
  WriteWordDocument(grid, NativeFileName(name), /*newDocument=*/true);
}
void WriteCsv(const GridModel& grid, const std::string& name, const ExportLook&) {
  WriteCsvFile(grid, name);
}
void WriteFixedWidth(const GridModel& grid, const std::string& name, const ExportLook&) {
  WriteFixedWidthFile(grid, name);
}
void WriteHtml(const GridModel& grid, const std::string& name, const ExportLook& look) {
  WriteHtmlFile(grid, name, /*openAfterwards=*/false, look);
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

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace

std::string ExportExtension(const std::string& fileName) {
  size_t lastDot = std::string::npos;
  for (size_t i = 0; i < fileName.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(fileName[i]);
    if (IsLeadByte(c) && i + 1 < fileName.size()) {
      ++i;  // the second byte of a double-byte character
    } else if (c == '\\' || c == '/' || c == ':') {
      lastDot = std::string::npos;
    } else if (c == '.') {
      lastDot = i;
    }
  }
  return lastDot == std::string::npos ? std::string() : AsciiUpper(fileName.substr(lastDot));
}

void ExportGrid(const GridModel& grid, const ExportLook& look) {
  const std::string& folder = AppFolder();
  const char separator = folder.empty() ? '/' : folder.back();
  SaveDialogRequest request;
  request.initialFolder = folder + "Data" + separator;
  request.filter = kExportFilter;
  request.filterIndex = 1;
  request.defaultExtension = "xls";
  const std::optional<std::string> fileName = Ui().AskSaveFileName(request);
  if (!fileName) return;

  bool written = false;
  try {
    const std::string extension = ExportExtension(*fileName);
    for (const DispatchRow& row : kDispatch) {
      if (extension == row.extension) {
        row.writer(grid, *fileName, look);
        written = true;
        break;
      }
    }
  } catch (...) {
    written = false;  // the error's own text is not shown
  }
  if (written)
    Ui().ShowMessage({kExportSucceeded, kCaptionNotice, MessageIcon::None});
  else
    Ui().ShowMessage({kExportFailed, kCaptionWarning, MessageIcon::None});
}

void ExportButtonClick(const GridModel& grid, int progressPosition,
                       const std::function<void()>& hideSuggestionList, const ExportLook& look) {
  if (grid.RowCount() <= 1) return;
  if (progressPosition > 0) {
    Ui().ShowMessage({kExportStillLoading, kCaptionNotice, MessageIcon::Error});
    return;
  }
  if (hideSuggestionList) hideSuggestionList();
  ExportGrid(grid, look);
}
