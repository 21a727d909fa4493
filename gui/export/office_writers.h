#pragma once
// The Excel workbook writer and the Word document writer: they hand the whole
// grid to an office application through late-bound automation and let it
// save the file. Both show the hourglass while they run and raise an error
// (std::runtime_error) when the application cannot be reached or a call
// fails; a started application is asked to quit on every path.
#include <filesystem>
#include <string>

class GridModel;

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
