#include "platform/posix/flat_odf.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/line_breaks.h"

namespace platform::odf {
namespace {

constexpr const char* kNamespaces =
    " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
    " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
    " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
    " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
    " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
    " office:version=\"1.2\"";

// The lines of a text: a CR LF pair, a lone CR and a lone LF each end one;
// in a sheet, a vertical tab too.
std::vector<std::string> Lines(const std::string& text, Flavour flavour) {
  std::vector<std::string> lines;
  const std::string_view all(text);
  size_t start = 0;
  while (true) {
    const size_t end = flavour == Flavour::Sheet ? all.find('\v', start) : std::string_view::npos;
    for (const std::string_view line : SplitLines(all.substr(start, end - start)))
      lines.emplace_back(line);
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

void AppendSpaces(std::string& out, size_t count) {
  out += "<text:s";
  if (count > 1) out += " text:c=\"" + std::to_string(count) + "\"";
  out += "/>";
}

// One paragraph per line of `text`, each with the given paragraph style.
void AppendParagraphs(std::string& out, const std::string& text, const char* style,
                      Flavour flavour) {
  for (const std::string& line : Lines(text, flavour)) {
    out += "<text:p";
    if (style) out += std::string(" text:style-name=\"") + style + "\"";
    out += ">";
    out += ParagraphContent(line, flavour);
    out += "</text:p>";
  }
}

const char* StyleOf(Alignment alignment) {
  switch (alignment) {
    case Alignment::Center: return "PCenter";
    case Alignment::Right: return "PRight";
    case Alignment::Justify: return "PJustify";
    case Alignment::Left: break;
  }
  return nullptr;
}

// Lines that a cell's text takes at most in a narrow column: every paragraph
// at least one, and one more for every few characters (bytes here, so a
// double-byte character counts two, as it is about twice as wide).
size_t EstimatedLines(const std::string& text) {
  constexpr size_t kBytesPerLine = 8;
  size_t lines = 0;
  for (const std::string& line : Lines(text, Flavour::Text))
    lines += std::max<size_t>(1, (line.size() + kBytesPerLine - 1) / kBytesPerLine);
  return lines;
}

// A row that is sure to fit on a page is kept together, never split across
// a page break. Besides reading better, it spares the word processor most of
// the work of breaking a long table into pages (a third of a large
// conversion's time). A taller row may still be split where it must.
bool KeptTogether(const Table& table, int row) {
  constexpr size_t kMostLines = 36;
  for (int c = 0; c < table.columns; ++c)
    if (EstimatedLines(table.At(row, c).text) > kMostLines) return false;
  return true;
}

void AppendTable(std::string& out, const Table& table, int number) {
  const std::string name = "Table" + std::to_string(number);
  out += "<table:table table:name=\"" + name + "\" table:style-name=\"TableLook\">";
  out += "<table:table-column table:number-columns-repeated=\"" + std::to_string(table.columns) +
         "\"/>";
  for (int r = 0; r < table.rows; ++r) {
    out += KeptTogether(table, r) ? "<table:table-row table:style-name=\"RowWhole\">"
                                  : "<table:table-row>";
    for (int c = 0; c < table.columns; ++c) {
      const TableCell& cell = table.At(r, c);
      out += "<table:table-cell table:style-name=\"CellLook\" office:value-type=\"string\">";
      AppendParagraphs(out, cell.text, StyleOf(cell.alignment), Flavour::Text);
      out += "</table:table-cell>";
    }
    out += "</table:table-row>";
  }
  out += "</table:table>\n";
}

}  // namespace

std::string ParagraphContent(const std::string& cp936, Flavour flavour) {
  const std::string text = Cp936ToUtf8(cp936);
  std::string out;
  out.reserve(text.size() + 16);
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ') {
      size_t run = 0;
      while (i + run < text.size() && text[i + run] == ' ') ++run;
      const bool atEdge = i == 0 || i + run == text.size();
      // Inside a line one blank is written as it is; blanks at either end of
      // the paragraph, and every further blank of a run, would be collapsed
      // by a reader, so they are counted out.
      if (atEdge) {
        AppendSpaces(out, run);
      } else {
        out += ' ';
        if (run > 1) AppendSpaces(out, run - 1);
      }
      i += run;
      continue;
    }
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\t': out += flavour == Flavour::Sheet ? "&#9;" : "<text:tab/>"; break;
      // A vertical tab is the line break of a word processor.
      case '\v': out += "<text:line-break/>"; break;
      default:
        // XML 1.0 cannot carry the remaining control characters at all.
        if (static_cast<unsigned char>(c) >= 0x20) out += c;
    }
    ++i;
  }
  return out;
}

std::string FlatSpreadsheet(const SheetCells& cells) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document";
  out += kNamespaces;
  out += " office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">\n";
  // A cell of several lines wraps, so its rows grow and every line shows.
  out +=
      "<office:automatic-styles><style:style style:name=\"Lines\" style:family=\"table-cell\">"
      "<style:table-cell-properties fo:wrap-option=\"wrap\"/></style:style>"
      "</office:automatic-styles>\n";
  out += "<office:body><office:spreadsheet><table:table table:name=\"Sheet1\">\n";
  for (const auto& row : cells) {
    out += "<table:table-row>";
    for (const std::string& text : row) {
      if (text.empty()) {
        out += "<table:table-cell/>";
        continue;
      }
      out += "<table:table-cell";
      if (Lines(text, Flavour::Sheet).size() > 1) out += " table:style-name=\"Lines\"";
      out += " office:value-type=\"string\">";
      AppendParagraphs(out, text, nullptr, Flavour::Sheet);
      out += "</table:table-cell>";
    }
    out += "</table:table-row>\n";
  }
  if (cells.empty()) out += "<table:table-row><table:table-cell/></table:table-row>\n";
  out += "</table:table></office:spreadsheet></office:body></office:document>\n";
  return out;
}

std::string FlatText(const TextDocument& document) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document";
  out += kNamespaces;
  out += " office:mimetype=\"application/vnd.oasis.opendocument.text\">\n";
  out +=
      "<office:automatic-styles>\n"
      "<style:style style:name=\"PCenter\" style:family=\"paragraph\">"
      "<style:paragraph-properties fo:text-align=\"center\"/></style:style>\n"
      "<style:style style:name=\"PRight\" style:family=\"paragraph\">"
      "<style:paragraph-properties fo:text-align=\"end\"/></style:style>\n"
      "<style:style style:name=\"PJustify\" style:family=\"paragraph\">"
      "<style:paragraph-properties fo:text-align=\"justify\"/></style:style>\n"
      "<style:style style:name=\"TableLook\" style:family=\"table\">"
      "<style:table-properties table:align=\"margins\"/></style:style>\n"
      "<style:style style:name=\"RowWhole\" style:family=\"table-row\">"
      "<style:table-row-properties fo:keep-together=\"always\"/></style:style>\n"
      "<style:style style:name=\"CellLook\" style:family=\"table-cell\">"
      "<style:table-cell-properties fo:border=\"0.5pt solid #000000\"/>"
      "</style:style>\n"
      "</office:automatic-styles>\n";
  out += "<office:body><office:text>\n";
  int tableNumber = 0;
  auto appendTablesBefore = [&](size_t paragraph) {
    for (const auto& placed : document.tables)
      if (placed.beforeParagraph == paragraph) AppendTable(out, placed.table, ++tableNumber);
  };
  for (size_t p = 0; p < document.paragraphs.size(); ++p) {
    appendTablesBefore(p);
    AppendParagraphs(out, document.paragraphs[p], nullptr, Flavour::Text);
    out += "\n";
  }
  appendTablesBefore(document.paragraphs.size());
  out += "</office:text></office:body></office:document>\n";
  return out;
}

}  // namespace platform::odf
