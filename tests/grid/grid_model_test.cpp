// The grid model on its own: how fitting follows the widest first line of each
// column as cells are set, replaced and dropped, and what the fixed column of
// row numbers does differently.
#include "core/grid/grid_model.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fixed_measurer.h"

namespace {

using testing_support::FixedMeasurer;

// 7 pixels a byte in cells, 8 in the fixed column; fitting adds 8.
class GridModelTest : public ::testing::Test {
 protected:
  GridModelTest() : grid_(&measurer_) {
    grid_.SetColCount(3);
    grid_.AddRow();
    grid_.AddRow();
  }
  FixedMeasurer measurer_;
  GridModel grid_;
};

TEST_F(GridModelTest, FittedWidthFollowsTheWidestFirstLineAsCellsComeAndGo) {
  grid_.SetCell(1, 0, "header");           // 6 bytes
  grid_.SetCell(1, 1, "0123456789");       // 10 bytes, the widest
  grid_.SetCell(1, 2, "abc\r\nmuch longer second line");  // counts as "abc"
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 10 * 7 + 8);
  EXPECT_EQ(grid_.ColWidth(2), 10);  // empty column: never below 10

  // The widest text replaced by a short one: the next widest takes over.
  grid_.SetCell(1, 1, "x");
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 6 * 7 + 8);

  // A wider text anywhere widens the column at the next fit, not before.
  grid_.SetCell(1, 2, "twelve bytes");
  EXPECT_EQ(grid_.ColWidth(1), 6 * 7 + 8);
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 12 * 7 + 8);

  // Dropping the row that held it.
  grid_.SetRowCount(2);
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 6 * 7 + 8);

  // Extra pixels are added after fitting, and a negative extra stops at 10.
  grid_.FitDataColumns(8);
  EXPECT_EQ(grid_.ColWidth(1), 6 * 7 + 8 + 8);
  grid_.FitDataColumns(-100);
  EXPECT_EQ(grid_.ColWidth(1), 10);
}

TEST_F(GridModelTest, AnotherMeasurerMeasuresEveryCellAgain) {
  grid_.SetCell(1, 1, "abcd");
  grid_.SetCell(2, 2, "ab");
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 4 * 7 + 8);

  struct DoubleWidth final : TextMeasurer {
    int LineWidth(std::string_view line, CellFont) const override {
      return static_cast<int>(line.size()) * 20;
    }
    int WrappedHeight(std::string_view, int, CellFont) const override { return 13; }
  } wide;
  grid_.SetMeasurer(&wide);
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 4 * 20 + 8);
  EXPECT_EQ(grid_.ColWidth(2), 2 * 20 + 8);
  grid_.SetMeasurer(nullptr);  // nothing to measure with: the least width
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(1), 10);
}

TEST_F(GridModelTest, FixedColumnIsDrawnInItsOwnFontAndNeverFitted) {
  EXPECT_EQ(grid_.FixedCols(), 1);
  EXPECT_EQ(grid_.FontOf(0), CellFont::Fixed);
  EXPECT_EQ(grid_.FontOf(1), CellFont::Cell);
  grid_.SetColWidth(0, 40);
  grid_.SetCell(0, 1, "123456789012345");  // wider than 40 in any font
  grid_.SetCell(1, 1, "12345");
  grid_.FitDataColumns(0);
  EXPECT_EQ(grid_.ColWidth(0), 40);
  EXPECT_EQ(grid_.ColWidth(1), 5 * 7 + 8);
  // Measured in the fixed font: 8 pixels a byte.
  EXPECT_EQ(grid_.WidestFirstLine(0), 15 * 8);

  // Row heights: the tallest wrapped cell + 6, at least 21; the fixed cell
  // wraps within its own width in its own font.
  grid_.FitRowHeight(1);
  const int fixedLines = (15 + (40 - 8) / 8 - 1) / ((40 - 8) / 8);  // 4 bytes a line
  EXPECT_EQ(grid_.RowHeight(1), fixedLines * 13 + 6);
  grid_.FitRowHeight(2);
  EXPECT_EQ(grid_.RowHeight(2), 21);

  // A grid of one column has no room for a fixed one.
  grid_.SetColCount(1);
  EXPECT_EQ(grid_.FixedCols(), 0);
  EXPECT_EQ(grid_.FontOf(0), CellFont::Cell);
}

}  // namespace
