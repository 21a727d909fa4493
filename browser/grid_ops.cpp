#include "browser/grid_ops.h"

#include <string>

const char* const kGridHeaderTexts[kGridColumns] = {
    "序号", "项目序号", "项目代码", "工作角色", "业务项目",
    "评价类别", "主要评价内容", "功能评分", "数据质量评价内容"};

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
  for (int col = 0; col < kGridColumns; ++col) grid.SetCell(col, 0, kGridHeaderTexts[col]);
  for (int col = 0; col < kGridColumns; ++col) grid.SetColWidth(col, kGridInitialWidths[col]);
}

void AppendRecordRow(GridModel& grid, int r, store::AdoQuery& query) {
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
