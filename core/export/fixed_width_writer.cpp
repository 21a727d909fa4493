#include "core/export/fixed_width_writer.h"

#include "core/grid/grid_model.h"
#include "core/export/export_text.h"
#include "core/export/file_output.h"
#include "platform/line_breaks.h"

namespace {

// Appends `text` aligned within `width`, followed by the padding that makes
// the column width + 1 bytes wide (none for a text longer than the width).
void AppendAligned(std::string& line, std::string_view text, size_t width, HAlign align) {
  const size_t length = text.size();
  size_t before = 0;
  size_t after = 0;
  if (length < width) {
    const size_t gap = width - length;
    if (align == HAlign::Right) {
      before = gap;
    } else if (align == HAlign::Center) {
      // Spaces go on both sides in pairs until the width is reached; an
      // odd gap overshoots by one, an even one gets its extra space behind.
      before = (gap + 1) / 2;
      after = before;
    }
  }
  const size_t aligned = before + length + after;
  if (aligned <= width) after += width - aligned + 1;
  line.append(before, ' ');
  line.append(text);
  line.append(after, ' ');
}

}  // namespace

std::vector<size_t> FixedWidthColumnWidths(const GridModel& grid) {
  std::vector<size_t> widths(static_cast<size_t>(grid.ColCount()), 0);
  std::string richBuffer;
  for (int row = 0; row < grid.RowCount(); ++row)
    for (int col = 0; col < grid.ColCount(); ++col) {
      const size_t first = FirstLine(ExportTextView(grid.Cell(col, row), richBuffer)).size();
      if (first > widths[col]) widths[col] = first;
    }
  return widths;
}

std::string BuildFixedWidth(const GridModel& grid) {
  const std::vector<size_t> widths = FixedWidthColumnWidths(grid);
  size_t lineLength = 2;
  for (size_t w : widths) lineLength += w + 1;
  std::string out;
  out.reserve(lineLength * static_cast<size_t>(grid.RowCount()));
  std::string richBuffer;
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) {
      // The first line only: the one the width was taken from. A line break
      // of any kind inside a line of the file would break that line.
      const std::string_view text = FirstLine(ExportTextView(grid.Cell(col, row), richBuffer));
      AppendAligned(out, text, widths[col], GridModel::HorizontalAlignment(col, row));
    }
    out += "\r\n";
  }
  return out;
}

void WriteFixedWidthFile(const GridModel& grid, const std::filesystem::path& fileName) {
  WriteWholeFile(fileName, BuildFixedWidth(grid));
}
