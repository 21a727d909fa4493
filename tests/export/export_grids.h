#pragma once
// Small grids for the export tests.
#include <algorithm>
#include <string>
#include <vector>

#include "core/grid/grid_model.h"
#include "core/store/statements.h"

namespace export_tests {

// A grid without a measurer holding `rows` (row 0 first); as many columns as
// the longest row, missing cells empty.
inline GridModel MakeGrid(const std::vector<std::vector<std::string>>& rows) {
  GridModel grid;
  size_t cols = 1;
  for (const auto& row : rows) cols = std::max(cols, row.size());
  grid.SetColCount(static_cast<int>(cols));
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) grid.AddRow();
    for (size_t c = 0; c < rows[r].size(); ++c)
      grid.SetCell(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
  }
  return grid;
}

// The browser's layout: header row and criteria under it, nine columns.
inline GridModel CriteriaGrid(const std::vector<std::vector<std::string>>& criteria) {
  std::vector<std::vector<std::string>> rows(1);
  for (const store::CriteriaColumn& column : store::kCriteriaColumns)
    rows[0].push_back(column.title);
  for (size_t i = 0; i < criteria.size(); ++i) {
    rows.push_back({std::to_string(i + 1)});
    rows.back().insert(rows.back().end(), criteria[i].begin(), criteria[i].end());
  }
  GridModel grid = MakeGrid(rows);
  grid.SetColCount(store::kCriteriaColumnCount);
  return grid;
}

}  // namespace export_tests
