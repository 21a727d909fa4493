#pragma once
// Criterion lines and the exact-mode filter over them.
#include <string>
#include <string_view>
#include <vector>

#include "core/browser/memo_lines.h"
#include "core/store/query.h"

inline constexpr const char* kNoMatchMessage = "对不起,没有查到您要的内容。";

// The current record of a nine-column result as one line for selector index
// k: serial number, "-", then column k (1 to 8) or, for k = 0, columns 1 to 8
// joined without separators.
std::string CriterionLine(const store::Query& query, int k);

// The line cache: the criterion lines as a memo holds them (MemoLines), and
// beside each line its pinyin initials, computed once when the line is
// appended, so a search by initials costs no more than a literal one.
class LineCache {
 public:
  LineCache() = default;
  explicit LineCache(std::string_view initialText) { Append(initialText); }

  void Clear();
  void Append(std::string_view text);
  int Count() const { return lines_.Count(); }
  std::string_view Line(int i) const { return lines_.Line(i); }
  // The coded initials of Line(i) (PinyinInitials), the line as it is read
  // and matched.
  std::string_view Initials(int i) const { return initials_.at(static_cast<size_t>(i)); }

 private:
  MemoLines lines_;
  std::vector<std::string> initials_;
};

// Fills `suggestions` with the cached lines that the search text matches
// (KeywordMatch, core/base/keyword_match.h), or with the no-match message.
// Each line comes once, in the cache's order.
void FilterLineCache(const LineCache& cache, std::string_view searchText, MemoLines& suggestions);

// The picked value for a clicked suggestion line: its serial number, the whole
// line when it does not start with one, "" for an empty line or one that
// starts with "-".
std::string PickedValueOf(const std::string& line);
