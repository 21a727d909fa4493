#pragma once
// The criteria grid's operations that read the query: clearing to the header
// and appending the current record as a numbered row.
#include <functional>

#include "core/grid/grid_model.h"
#include "core/store/query.h"
#include "core/store/statements.h"

inline constexpr int kGridColumns = store::kCriteriaColumnCount;
extern const int kGridInitialWidths[kGridColumns];

// Empties every row (running `beforeRow` before each), then leaves row 0 with
// the header texts, no fixed row, and the initial column widths.
void ClearGrid(GridModel& grid, const std::function<void()>& beforeRow);

// Adds row r with r in column 0 and the current record's fields in columns
// 1 on, fitting the data columns after each cell; moves the query on; fits
// the row's height.
void AppendRecordRow(GridModel& grid, int r, store::Query& query);
