#pragma once
// The Excel workbook writer and the Word document writer: they hand the whole
// grid to an office application through late-bound automation and let it
// save the file. Both show the hourglass while they run and raise an error
// (std::runtime_error) when the application cannot be reached or a call
// fails; a started application is asked to quit on every path.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>

class GridModel;

// The office application of `progId` could not be obtained (not installed,
// or it cannot start). The text is the technical one: "Excel OLE server not
// found" or "Word OLE server not found".
class OfficeApplicationMissing : public std::runtime_error {
 public:
  OfficeApplicationMissing(std::string progId, const std::string& text)
      : std::runtime_error(text), progId_(std::move(progId)) {}
  const std::string& progId() const { return progId_; }

 private:
  std::string progId_;
};

// "A1:" followed by the column letters of `columns` and the row count:
// A1:I120 for 9 columns and 120 rows. Counts up to 702 columns (ZZ).
std::string ExcelRangeAddress(int rows, int columns);

// Writes every cell (header row and row numbers included) into the first
// sheet of a new workbook in one value block, then saves it as `fileName`.
// A failing save is an error too.
void WriteExcelWorkbook(const GridModel& grid, const std::filesystem::path& fileName);

// Writes the grid as a table at the start of a new document, each cell
// centred or right-aligned as the grid aligns it, then saves it as
// `fileName`. A grid of more rows than a Word table holds (32,767) raises
// platform::UserFacingError, which names the limit, before Word starts.
void WriteWordDocument(const GridModel& grid, const std::filesystem::path& fileName);
