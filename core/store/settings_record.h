#pragma once
// The settings record: values A1 to A5 in the rows of record_table.
#include <string>
#include <string_view>
#include <vector>

#include "core/store/query.h"

namespace store {

// Runs the settings select on `query` and returns the record_name of every row,
// in record_id order: element k-1 is the k-th value. Each value stays whole,
// commas included. Leaves the query closed.
std::vector<std::string> ReadSettingsValues(Query& query);

// Saves one value (kSettingField, kSettingMatchKind, kSettingSearchText or
// kSettingMode) at once; a missing row changes nothing.
void SaveSetting(Query& query, std::string_view code, std::string_view value);

}  // namespace store
