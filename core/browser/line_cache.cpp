#include "core/browser/line_cache.h"

#include "core/base/Excel_unit.h"
#include "core/base/keyword_match.h"

std::string CriterionLine(const store::Query& query, int k) {
  std::string line = query.Field(0);
  line += '-';
  if (k == 0) {
    for (int c = 1; c <= 8 && c < query.FieldCount(); ++c) line += query.Field(c);
  } else if (k >= 1 && k < query.FieldCount()) {
    line += query.Field(k);
  }
  return line;
}

void LineCache::Clear() {
  lines_.Clear();
  initials_.clear();
}

void LineCache::Append(std::string_view text) {
  lines_.Append(text);
  for (int i = static_cast<int>(initials_.size()); i < lines_.Count(); ++i)
    initials_.push_back(PinyinInitials(lines_.Line(i)));
}

void FilterLineCache(const LineCache& cache, std::string_view searchText, MemoLines& suggestions) {
  suggestions.Clear();
  const KeywordMatch key(searchText);
  for (int i = 0; i < cache.Count(); ++i) {
    const std::string_view line = cache.Line(i);
    if (key.Matches(line, cache.Initials(i))) suggestions.Append(line);
  }
  if (suggestions.Count() == 0) suggestions.Append(kNoMatchMessage);
}

std::string PickedValueOf(const std::string& line) {
  if (line.empty()) return {};
  const std::string head = SplitByChar(line, '-')[0];
  if (head.empty()) return {};
  return IsSerialNumber(head) ? head : line;
}
