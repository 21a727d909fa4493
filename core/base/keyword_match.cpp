#include "core/base/keyword_match.h"

#include <algorithm>

#include "core/base/Excel_unit.h"
#include "platform/ascii_case.h"

namespace {

// Index of the first occurrence of an upper-cased needle in `haystack` at or
// after `from`, ASCII letters of the haystack folded; npos when none.
size_t FindFolded(std::string_view haystack, std::string_view foldedNeedle, size_t from) {
  const size_t n = foldedNeedle.size();
  if (n == 0 || n > haystack.size()) return std::string_view::npos;
  for (size_t i = from, last = haystack.size() - n; i <= last; ++i) {
    size_t j = 0;
    while (j < n && ascii::ToUpper(haystack[i + j]) == foldedNeedle[j]) ++j;
    if (j == n) return i;
  }
  return std::string_view::npos;
}

// Length of the CP936 character at `i`: 2 for a lead byte followed by a trail
// byte, else 1.
size_t CharLength(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
  return c >= 0x81 && c <= 0xFE && next >= 0x40 && next <= 0xFE && next != 0x7F ? 2 : 1;
}

}  // namespace

KeywordMatch::KeywordMatch(std::string_view searchText)
    : needle_(AsciiUpper(searchText)),
      byInitials_(IsInitialsKeyword(searchText)),
      pattern_(byInitials_ ? FoldFullWidth(searchText) : std::string()) {
  std::string folded = AsciiUpper(FoldFullWidth(searchText));
  if (folded != needle_) foldedNeedle_ = std::move(folded);
}

bool KeywordMatch::Matches(std::string_view line, std::string_view initials) const {
  return ContainsFolded(line, needle_) ||
         (!foldedNeedle_.empty() && ContainsFolded(line, foldedNeedle_)) ||
         (byInitials_ && pattern_.FoundIn(initials));
}

// The spans of one line: the literal occurrences of both needles, then the
// initials matches mapped back from codes to the characters that gave them.
struct MatchSpanFinder {
  static std::vector<MatchSpan> Find(const KeywordMatch& key, std::string_view line) {
    // Where each character of the line starts.
    std::vector<size_t> starts;
    for (size_t i = 0; i < line.size(); i += CharLength(line, i)) starts.push_back(i);
    const auto charBegin = [&](size_t byte) {
      return *(std::upper_bound(starts.begin(), starts.end(), byte) - 1);
    };
    const auto charEnd = [&](size_t byte) {  // end of the character holding byte - 1
      const size_t begin = charBegin(byte - 1);
      return begin + CharLength(line, begin);
    };
    std::vector<MatchSpan> spans;
    for (const std::string* needle : {&key.needle_, &key.foldedNeedle_}) {
      for (size_t at = FindFolded(line, *needle, 0); at != std::string_view::npos;
           at = FindFolded(line, *needle, at + needle->size()))
        spans.push_back({charBegin(at), charEnd(at + needle->size())});
    }
    if (key.byInitials_) {
      std::string codes;
      std::vector<size_t> codeStart;  // byte offset of the character of each code
      for (const size_t start : starts) {
        codes += PinyinInitials(line.substr(start, CharLength(line, start)));
        codeStart.resize(codes.size(), start);
      }
      const size_t n = key.pattern_.Size();
      for (size_t at = key.pattern_.Find(codes); at != std::string_view::npos;
           at = key.pattern_.Find(codes, at + n)) {
        const size_t lastChar = codeStart[at + n - 1];
        spans.push_back({codeStart[at], lastChar + CharLength(line, lastChar)});
      }
    }
    std::sort(spans.begin(), spans.end(),
              [](const MatchSpan& a, const MatchSpan& b) { return a.begin < b.begin; });
    std::vector<MatchSpan> joined;
    for (const MatchSpan& span : spans) {
      if (!joined.empty() && span.begin <= joined.back().end)
        joined.back().end = std::max(joined.back().end, span.end);
      else
        joined.push_back(span);
    }
    return joined;
  }
};

std::vector<MatchSpan> MatchSpans(std::string_view line, std::string_view searchText) {
  return MatchSpanFinder::Find(KeywordMatch(searchText), line);
}
