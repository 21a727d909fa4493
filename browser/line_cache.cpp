#include "browser/line_cache.h"

#include "base/Excel_unit.h"

std::string CriterionLine(const store::AdoQuery& query, int k) {
  std::string line = query.Field(0);
  line += '-';
  if (k == 0) {
    for (int c = 1; c <= 8 && c < query.FieldCount(); ++c) line += query.Field(c);
  } else if (k >= 1 && k < query.FieldCount()) {
    line += query.Field(k);
  }
  return line;
}

void FilterLineCache(const MemoLines& cache, std::string_view searchText, MemoLines& suggestions) {
  suggestions.Clear();
  const std::string needle = AsciiUpper(searchText);
  for (int i = 0; i < cache.Count(); ++i) {
    const std::string_view line = cache.Line(i);
    if (ContainsFolded(line, needle)) suggestions.Append(line);
  }
  if (suggestions.Count() == 0) suggestions.Append(kNoMatchMessage);
}

std::string PickedValueOf(const std::string& line) {
  if (line.empty()) return {};
  const std::string head = SplitByChar(line, '-')[0];
  if (head.empty()) return {};
  return IsSerialNumber(head) ? head : line;
}
