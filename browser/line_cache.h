#pragma once
// Criterion lines and the exact-mode filter over them.
#include <string>
#include <string_view>

#include "browser/memo_lines.h"
#include "store/ado.h"

inline constexpr const char* kNoMatchMessage = "对不起,没有查到您要的内容。";

// The current record of a nine-column result as one line for selector index
// k: serial number, "-", then column k (1 to 8) or, for k = 0, columns 1 to 8
// joined without separators.
std::string CriterionLine(const store::AdoQuery& query, int k);

// Fills `suggestions` with the cached lines that contain `searchText`
// (ASCII letters folded, bytes compared), or with the no-match message.
void FilterLineCache(const MemoLines& cache, std::string_view searchText, MemoLines& suggestions);

// The picked value for a clicked suggestion line: its serial number, the whole
// line when it does not start with one, "" for an empty line or one that
// starts with "-".
std::string PickedValueOf(const std::string& line);
