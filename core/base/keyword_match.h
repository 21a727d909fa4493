#pragma once
// How a search text matches a line of CP936 text in exact mode, and which
// parts of the line it matched, for the view to highlight.
#include <string>
#include <string_view>
#include <vector>

#include "core/base/pinyin_initials.h"

// A search text as the exact filter (core/browser/line_cache.h) matches it
// against a line: the text itself, ASCII letters folded and bytes compared (a
// match may begin inside a double-byte character); the same with full-width letters and digits folded
// to ASCII ("ＥＭＲ" finds "EMR"); and, for a keyword of letters and digits
// (IsInitialsKeyword), the line's initials, where a character matches a
// letter that begins any of its readings ("tz" finds 调整, "3jyz" 3级：医嘱).
class KeywordMatch {
 public:
  explicit KeywordMatch(std::string_view searchText);
  // `initials` is PinyinInitials(line), as the line cache keeps it.
  bool Matches(std::string_view line, std::string_view initials) const;

 private:
  friend struct MatchSpanFinder;
  std::string needle_;        // the search text, ASCII letters upper-cased
  std::string foldedNeedle_;  // the same with full-width folded; "" when no different
  bool byInitials_ = false;
  InitialsPattern pattern_;
};

// A part of a line that a search text matched: bytes [begin, end) of the
// CP936 text, widened to whole characters.
struct MatchSpan {
  size_t begin;
  size_t end;
  bool operator==(const MatchSpan&) const = default;
};

// Why `line` matched `searchText`: every literal occurrence and every run of
// characters whose initials spell the keyword, as KeywordMatch finds them,
// in order, overlapping ones joined. Empty when the line does not match.
std::vector<MatchSpan> MatchSpans(std::string_view line, std::string_view searchText);
