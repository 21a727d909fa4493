#pragma once
// Flat OpenDocument files (one XML file each) for the content that the
// office automation server collects: a spreadsheet of text cells and a text
// document of paragraphs and tables. Input texts are CP936; the files are
// UTF-8 XML.
#include <cstddef>
#include <string>
#include <vector>

namespace platform::odf {

// Cells by [row][column] from 0; rows may differ in length.
using SheetCells = std::vector<std::vector<std::string>>;

// A .fods document with one sheet named "Sheet1": every cell a text cell,
// every line feed (and vertical tab) inside a text starting a new paragraph
// of the cell; a tab is written as the character itself, which the
// spreadsheet's import keeps (it drops the ODF tab element).
std::string FlatSpreadsheet(const SheetCells& cells);

enum class Alignment { Left = 0, Center = 1, Right = 2, Justify = 3 };

struct TableCell {
  std::string text;
  Alignment alignment = Alignment::Left;
};

struct Table {
  int rows = 0;
  int columns = 0;
  std::vector<TableCell> cells;  // row by row
  TableCell& At(int row, int column) { return cells[static_cast<size_t>(row * columns + column)]; }
  const TableCell& At(int row, int column) const {
    return cells[static_cast<size_t>(row * columns + column)];
  }
};

struct TextDocument {
  std::vector<std::string> paragraphs{std::string()};  // a new document has one, empty
  // Tables in the order they were added, each placed before the paragraph
  // with the index it holds (the paragraph count: after the last one).
  struct PlacedTable {
    size_t beforeParagraph = 0;
    Table table;
  };
  std::vector<PlacedTable> tables;
};

// A .fodt document: the paragraphs with the tables in their places, the
// table cells bordered, each cell's paragraphs aligned as the cell says.
std::string FlatText(const TextDocument& document);

// How a paragraph's tab and vertical tab are written.
enum class Flavour {
  Text,   // tab element; a vertical tab is a line break inside the paragraph
  Sheet,  // tab as a character reference; vertical tabs never reach it
};

// The XML text content of one paragraph: markup escaped, runs of blanks kept
// as the ODF elements for them, tabs and vertical tabs as `flavour` says, the
// other control characters (which XML 1.0 cannot carry) dropped.
std::string ParagraphContent(const std::string& cp936, Flavour flavour = Flavour::Text);

}  // namespace platform::odf
