#include "core/grid/grid_model.h"

#include <algorithm>
#include <stdexcept>

#include "platform/line_breaks.h"

GridModel::GridModel(const TextMeasurer* measurer) : measurer_(measurer) {
  rows_.assign(1, std::vector<std::string>(colCount_));
  firstLineWidths_.assign(1, std::vector<int>(colCount_, 0));
  colWidths_.assign(colCount_, kDefaultColWidth);
  rowHeights_.assign(1, kDefaultRowHeight);
  widest_.assign(colCount_, 0);
  widestStale_.assign(colCount_, false);
}

void GridModel::SetMeasurer(const TextMeasurer* measurer) {
  measurer_ = measurer;
  for (auto& row : firstLineWidths_) std::fill(row.begin(), row.end(), -1);
  std::fill(widestStale_.begin(), widestStale_.end(), true);
}

void GridModel::SetFixedRows(int n) {
  fixedRows_ = std::clamp(n, 0, RowCount() - 1);
  if (listener_) listener_->GridReset();
}

void GridModel::SetColCount(int n) {
  n = std::max(n, 1);
  colCount_ = n;
  for (auto& row : rows_) row.resize(n);
  for (auto& row : firstLineWidths_) row.resize(n, 0);
  colWidths_.resize(n, kDefaultColWidth);
  widest_.resize(n, 0);
  widestStale_.assign(n, true);
  fixedCols_ = std::min(fixedCols_, n - 1);
  if (listener_) listener_->GridReset();
}

void GridModel::SetRowCount(int n) {
  n = std::max(n, 1);
  rows_.resize(n, std::vector<std::string>(colCount_));
  firstLineWidths_.resize(n, std::vector<int>(colCount_, 0));
  rowHeights_.resize(n, kDefaultRowHeight);
  if (fixedRows_ >= n) fixedRows_ = n - 1;
  std::fill(widestStale_.begin(), widestStale_.end(), true);
  if (listener_) listener_->GridReset();
}

int GridModel::AddRow() {
  rows_.emplace_back(colCount_);
  firstLineWidths_.emplace_back(colCount_, 0);
  rowHeights_.push_back(kDefaultRowHeight);
  const int row = RowCount() - 1;
  if (listener_) listener_->RowAppended(row);
  return row;
}

const std::string& GridModel::Cell(int col, int row) const {
  return rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(col));
}

int GridModel::MeasureFirstLine(int col, const std::string& text) const {
  if (text.empty() || !measurer_) return 0;
  return measurer_->LineWidth(FirstLine(text), FontOf(col));
}

void GridModel::SetCell(int col, int row, std::string text) {
  auto& cell = rows_.at(static_cast<size_t>(row)).at(static_cast<size_t>(col));
  int& measured = firstLineWidths_[row][col];
  const int old = measured;
  measured = MeasureFirstLine(col, text);
  cell = std::move(text);
  if (!widestStale_[col]) {
    if (old >= 0 && old >= widest_[col] && measured < old)
      widestStale_[col] = true;  // the widest text may have gone
    else
      widest_[col] = std::max(widest_[col], measured);
  }
  if (listener_) listener_->CellChanged(col, row);
}

void GridModel::SetColWidth(int col, int width) {
  colWidths_.at(static_cast<size_t>(col)) = width;
  if (listener_) listener_->ColumnsResized();
}

void GridModel::SetRowHeight(int row, int height) {
  rowHeights_.at(static_cast<size_t>(row)) = height;
  if (listener_) listener_->RowResized(row);
}

void GridModel::RecomputeWidest(int col) const {
  int widest = 0;
  for (size_t r = 0; r < rows_.size(); ++r) {
    int w = firstLineWidths_[r][col];
    if (w < 0) {
      w = MeasureFirstLine(col, rows_[r][col]);
      firstLineWidths_[r][col] = w;
    }
    widest = std::max(widest, w);
  }
  widest_[col] = widest;
  widestStale_[col] = false;
}

int GridModel::WidestFirstLine(int col) const {
  if (widestStale_[col]) RecomputeWidest(col);
  return widest_[col];
}

void GridModel::FitDataColumns(int extra) {
  for (int col = fixedCols_; col < colCount_; ++col) {
    int width = std::max(WidestFirstLine(col) + kFitMargin, kMinColWidth);
    if (extra != 0) width = std::max(width + extra, kMinColWidth);
    colWidths_[col] = width;
  }
  if (listener_) listener_->ColumnsResized();
}

void GridModel::FitRowHeight(int row) {
  int tallest = 0;
  if (measurer_) {
    for (int col = 0; col < colCount_; ++col) {
      const std::string& text = Cell(col, row);
      if (text.empty()) continue;
      tallest = std::max(tallest, measurer_->WrappedHeight(text, colWidths_[col] - kFitMargin,
                                                           FontOf(col)));
    }
  }
  rowHeights_[row] = std::max(tallest + kRowHeightMargin, kDefaultRowHeight);
  if (listener_) listener_->RowResized(row);
}

HAlign GridModel::HorizontalAlignment(int col, int row) {
  if (row == 0) return HAlign::Center;
  switch (col) {
    case 0: case 1: case 2: case 3: case 5: case 7:
      return HAlign::Center;
    default:
      return HAlign::Left;
  }
}

VAlign GridModel::VerticalAlignment(int col, int row) {
  return HorizontalAlignment(col, row) == HAlign::Center ? VAlign::Center : VAlign::Top;
}
