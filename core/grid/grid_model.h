#pragma once
// The criteria grid without a widget: cells of CP936 text, column and row
// counts, fixed counts, widths and heights, and the grid's own operations.
// The Qt view draws what this model holds.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class CellFont { Cell, Fixed };
enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Center, Bottom };

// Measures text in the font a cell is drawn with.
class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  // Width of one line of text (no line breaks inside).
  virtual int LineWidth(std::string_view line, CellFont font) const = 0;
  // Height of the text wrapped within `width` (between words, and inside a
  // word longer than a line), every line break starting a new line.
  virtual int WrappedHeight(std::string_view text, int width, CellFont font) const = 0;
};

class GridModel {
 public:
  static constexpr int kDefaultRowHeight = 21;
  static constexpr int kDefaultColWidth = 64;
  static constexpr int kMinColWidth = 10;
  static constexpr int kFitMargin = 8;        // left and right cell margins and grid lines
  static constexpr int kRowHeightMargin = 6;  // top and bottom margins, grid lines

  // Told of every change, so a view can follow: counts, one appended row,
  // one cell's text, the column widths, one row's height.
  struct Listener {
    virtual ~Listener() = default;
    virtual void GridReset() = 0;
    virtual void RowAppended(int row) = 0;
    virtual void CellChanged(int col, int row) = 0;
    virtual void ColumnsResized() = 0;
    virtual void RowResized(int row) = 0;
  };

  explicit GridModel(const TextMeasurer* measurer = nullptr);

  void SetMeasurer(const TextMeasurer* measurer);
  void SetListener(Listener* listener) { listener_ = listener; }

  int ColCount() const { return colCount_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  int FixedCols() const { return fixedCols_; }
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int n);

  void SetColCount(int n);
  // Never below 1 row; the fixed row count stays below the row count.
  void SetRowCount(int n);
  // Adds one empty row at the end with the default height; returns its index.
  int AddRow();

  const std::string& Cell(int col, int row) const;
  void SetCell(int col, int row, std::string text);

  int ColWidth(int col) const { return colWidths_[col]; }
  void SetColWidth(int col, int width);
  int RowHeight(int row) const { return rowHeights_[row]; }
  void SetRowHeight(int row, int height);

  // Width of the widest first line in `col`, header included (0 when empty).
  int WidestFirstLine(int col) const;

  // Every data column (1 to last) becomes its widest first line + 8, at least
  // 10; then `extra` is added when not 0, again at least 10.
  void FitDataColumns(int extra);
  // The row's height becomes its tallest wrapped cell + 6, at least 21.
  void FitRowHeight(int row);

  // Alignment rule of the criteria grid.
  static HAlign HorizontalAlignment(int col, int row);
  static VAlign VerticalAlignment(int col, int row);
  CellFont FontOf(int col) const { return col < fixedCols_ ? CellFont::Fixed : CellFont::Cell; }

 private:
  int MeasureFirstLine(int col, const std::string& text) const;
  void RecomputeWidest(int col) const;

  const TextMeasurer* measurer_ = nullptr;
  Listener* listener_ = nullptr;
  int colCount_ = 9;
  int fixedCols_ = 1;
  int fixedRows_ = 0;
  std::vector<std::vector<std::string>> rows_;
  std::vector<int> colWidths_;
  std::vector<int> rowHeights_;
  // Per row, per column; -1 = not measured. A cache that RecomputeWidest fills.
  mutable std::vector<std::vector<int>> firstLineWidths_;
  // Running maximum of first-line widths per column, so that fitting after
  // each appended row costs O(columns), not O(rows x columns).
  mutable std::vector<int> widest_;
  mutable std::vector<bool> widestStale_;
};

