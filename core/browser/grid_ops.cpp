#include "core/browser/grid_ops.h"

#include <string>

const int kGridInitialWidths[kGridColumns] = {40, 80, 80, 80, 80, 80, 120, 80, 120};

void ClearGrid(GridModel& grid, const std::function<void()>& beforeRow) {
  for (int row = 0; row < grid.RowCount(); ++row) {
    if (beforeRow) beforeRow();
    for (int col = 0; col < grid.ColCount(); ++col)
      if (!grid.Cell(col, row).empty()) grid.SetCell(col, row, std::string());
  }
  grid.SetColCount(kGridColumns);
  grid.SetRowCount(0);
  grid.SetFixedRows(0);
  for (int col = 0; col < kGridColumns; ++col) grid.SetCell(col, 0, store::kCriteriaColumns[col].title);
  for (int col = 0; col < kGridColumns; ++col) grid.SetColWidth(col, kGridInitialWidths[col]);
}

void AppendRecordRow(GridModel& grid, int r, store::Query& query) {
  const int row = grid.AddRow();
  grid.SetCell(0, row, std::to_string(r));
  grid.FitDataColumns(0);
  const int fields = query.FieldCount();
  for (int i = 0; i < fields && i + 1 < grid.ColCount(); ++i) {
    grid.SetCell(i + 1, row, query.Field(i));
    grid.FitDataColumns(i + 1);
  }
  query.Next();
  grid.FitRowHeight(row);
}
