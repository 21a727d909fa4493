#include "core/export/csv_writer.h"

#include "core/grid/grid_model.h"
#include "core/export/export_text.h"
#include "core/export/file_output.h"

namespace {

void AppendField(std::string& out, std::string_view text) {
  const size_t special = text.find_first_of("\",\r\n");
  if (special == std::string_view::npos) {  // the usual case: nothing to do
    if (text.empty())
      out += "\"\"";
    else
      out += text;
    return;
  }
  // A quote, a comma or a line break: the field is enclosed in every case,
  // its quotes doubled; only with a comma do CR LF pairs become byte 11.
  const bool hasComma = text.find(',') != std::string_view::npos;
  out += '"';
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      out += "\"\"";
    } else if (hasComma && c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      out += '\x0B';  // a line break inside a field with commas
      ++i;
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace

std::string CsvField(std::string_view exportText) {
  std::string out;
  AppendField(out, exportText);
  return out;
}

std::string BuildCsv(const GridModel& grid) {
  std::string out;
  std::string richBuffer;
  // Room for rows like the last one, so that large grids grow the buffer rarely.
  size_t rowGuess = 2;
  for (int col = 0; col < grid.ColCount(); ++col)
    rowGuess += grid.Cell(col, grid.RowCount() - 1).size() + 3;
  out.reserve(rowGuess * static_cast<size_t>(grid.RowCount()));
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      if (col > 0) out += ',';
      AppendField(out, ExportTextView(grid.Cell(col, row), richBuffer));
    }
    out += "\r\n";
  }
  return out;
}

void WriteCsvFile(const GridModel& grid, const std::filesystem::path& fileName) {
  WriteWholeFile(fileName, BuildCsv(grid));
}
