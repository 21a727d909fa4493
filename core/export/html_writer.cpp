#include "core/export/html_writer.h"

#include <cstdio>
#include <vector>

#include "core/base/Excel_unit.h"
#include "core/grid/grid_model.h"
#include "core/export/export_text.h"
#include "core/export/file_output.h"

namespace {

// Table attributes; the values of the grid's HTML settings.
constexpr int kBorderSize = 1;
constexpr int kCellSpacing = 0;
constexpr int kCellPadding = 0;
constexpr int kWidthPercent = 100;
// The fixed column's background: the first colour of the grid's fixed-cell look.
constexpr uint32_t kFixedBackground = 0xFFFFFF;

std::string HexColor(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return text;
}

// What decides a cell's style string.
struct CellLook {
  bool fixed;
  HAlign horizontal;
  VAlign vertical;
  bool operator==(const CellLook&) const = default;
};

std::string StyleString(const CellLook& cell, const ExportLook& look) {
  std::vector<std::string> items;
  items.push_back("background-color: #" +
                  HexColor(cell.fixed ? kFixedBackground : look.windowColor));
  items.push_back("color: #" + HexColor(look.windowTextColor));
  items.push_back("font-size:" + std::to_string(look.pointSize) + "pt");
  if (cell.fixed) items.push_back("font-weight: bold");  // the fixed font is bold, never italic
  items.push_back("font-family: " + look.fontName);
  if (cell.horizontal == HAlign::Right) items.push_back("text-align: right");
  if (cell.horizontal == HAlign::Center) items.push_back("text-align: center");
  switch (cell.vertical) {
    case VAlign::Top: items.push_back("vertical-align: top"); break;
    case VAlign::Center: items.push_back("vertical-align: middle"); break;
    case VAlign::Bottom: items.push_back("vertical-align: bottom"); break;
  }
  std::string joined;
  for (const auto& item : items) {
    if (!joined.empty()) joined += ';';
    joined += item;
  }
  return joined;
}

// Distinct style strings in the order cells first produce them; strings that
// differ only in letter case share one class. Looks already met are looked
// up directly, so a large grid does not compare style strings per cell.
class StyleClasses {
 public:
  explicit StyleClasses(const ExportLook& look) : look_(look) {}

  int ClassOf(const CellLook& cell) {
    for (const auto& [known, number] : looks_)
      if (known == cell) return number;
    const std::string style = StyleString(cell, look_);
    const std::string folded = AsciiUpper(style);
    int number = 0;
    while (number < static_cast<int>(styles_.size()) && AsciiUpper(styles_[number]) != folded)
      ++number;
    if (number == static_cast<int>(styles_.size())) styles_.push_back(style);
    looks_.emplace_back(cell, number);
    return number;
  }

  const std::vector<std::string>& Styles() const { return styles_; }

 private:
  const ExportLook& look_;
  std::vector<std::pair<CellLook, int>> looks_;
  std::vector<std::string> styles_;
};

bool IsSpaceOrControl(unsigned char c) { return c <= ' ' || c == 127; }

// The export text with every CR replaced by "<br>", nothing escaped;
// "&nbsp;" when only spaces and control characters remain.
void AppendContent(std::string& out, std::string_view text) {
  const size_t start = out.size();
  bool visible = false;
  for (char c : text) {
    if (c == '\r') {
      out += "<br>";
      visible = true;
    } else {
      out += c;
      if (!IsSpaceOrControl(static_cast<unsigned char>(c))) visible = true;
    }
  }
  if (!visible) {
    out.resize(start);
    out += "&nbsp;";
  }
}

std::string TableStartTag() {
  return "<TABLE BORDER=\"" + std::to_string(kBorderSize) + "\" CELLSPACING=\"" +
         std::to_string(kCellSpacing) + "\" CELLPADDING=\"" + std::to_string(kCellPadding) +
         "\"  WIDTH=\"" + std::to_string(kWidthPercent) + "%\">";
}

}  // namespace

std::string BuildHtml(const GridModel& grid, const ExportLook& look) {
  StyleClasses classes(look);
  std::string table;
  table.reserve(static_cast<size_t>(grid.RowCount()) * static_cast<size_t>(grid.ColCount()) * 64);
  table += TableStartTag() + "\r\n";
  std::string richBuffer;
  for (int row = 0; row < grid.RowCount(); ++row) {
    table += "<TR>\r\n";
    for (int col = 0; col < grid.ColCount(); ++col) {
      const CellLook cell{col < grid.FixedCols(), GridModel::HorizontalAlignment(col, row),
                          GridModel::VerticalAlignment(col, row)};
      table += "<TD class=\"c";
      table += std::to_string(classes.ClassOf(cell));
      table += "\" nowrap>";
      AppendContent(table, ExportTextView(grid.Cell(col, row), richBuffer));
      table += "</td>\r\n";
    }
    table += "</TR>\r\n";
  }
  table += "</TABLE>\r\n";

  std::string out = "<style>\r\n";
  for (size_t number = 0; number < classes.Styles().size(); ++number)
    out += ".c" + std::to_string(number) + " {" + classes.Styles()[number] + "}\r\n";
  out += "</style>\r\n";
  out.reserve(out.size() + table.size() + 2);
  out += table;
  out += "\r\n";  // one empty line ends the file
  return out;
}

void WriteHtmlFile(const GridModel& grid, const std::filesystem::path& fileName, const ExportLook& look) {
  WriteWholeFile(fileName, BuildHtml(grid, look));
}
