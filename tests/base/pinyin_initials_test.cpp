// Pinyin initials of CP936 text and of the same text in UTF-8, matched by a
// keyword: every reading of a character counts, full-width letters and digits
// count as ASCII; and the parts of a line that a search text matched.
#include <gtest/gtest.h>

#include <string>

#include "core/base/keyword_match.h"
#include "core/base/pinyin_initials.h"
#include "platform/codepage.h"

namespace {

TEST(PinyinInitials, AKeywordLetterMatchesAnyReadingOfACharacter) {
  const struct {
    std::string text;
    const char* keyword;
    bool found;
  } cases[] = {
      {"药品调配", "yptp", true},          // 调 tiao / diao
      {"药品调配", "ypdp", true},
      {"重复医嘱", "cfyz", true},          // 重 chong / zhong
      {"重复医嘱", "zfyz", true},
      {"护士长", "hsz", true},             // 长 zhang / chang
      {"长期医嘱", "CQYZ", true},          // letter case does not matter
      {"调整", "tz", true},
      {"膀胱", "bg", true},                // 膀 bang / pang
      {"行政", "hz", true},                // 行 hang / xing
      {"行政", "xz", true},
      {"行政", "yz", false},
      {"病房医嘱处理", "yzcl", true},
      {"病房医嘱处理", "bfcl", false},     // a run of characters, not a choice
      {"3级：医嘱", "3jyz", true},         // digits kept, signs left out
      {"3级：医嘱", "2jyz", false},
      {"ＥＭＲ－０１", "emr01", true},     // full-width letters and digits as ASCII
      {"啊簿擦座", "abcz", true},          // GB2312 level 1 at the borders of its runs
      {"亍疝", "cs", true},                // level 2
      {"镕", "r", true},                   // GBK beyond GB2312 (E946)
      {"①★\xA2\xE3", "a", false},         // symbols and an unassigned code: nothing
      {"\xB0 a", "a", true},               // lead byte without a trail byte
      {"x\x81", "x", true},                // lead byte at the end
  };
  for (const auto& c : cases) {
    const std::string initials = PinyinInitials(c.text);
    EXPECT_EQ(InitialsPattern(c.keyword).FoundIn(initials), c.found) << c.text << " " << c.keyword;
    // The database's UTF-8 form of the same text gives the same initials.
    std::string fromUtf8 = "kept";
    AppendPinyinInitialsOfUtf8(platform::Cp936ToUtf8(c.text), fromUtf8);
    EXPECT_EQ(fromUtf8, "kept" + initials) << c.text;
  }
  EXPECT_EQ(InitialsOfCode(PinyinInitials("调")[0]), "dt");
  EXPECT_EQ(PinyinInitials("病房 EMR-01"), "bfemr01");
}

TEST(PinyinInitials, KeywordsOfLettersAndDigitsAreLookedForAmongInitials) {
  EXPECT_EQ(FoldFullWidth("ＥＭＲ－０１ａ医"), "EMR－01a医");
  const struct {
    const char* text;
    bool initials;
  } cases[] = {{"yzcl", true}, {"3jyz", true},  {"ＥＭＲ", true}, {"１ｊ", true},
               {"123", false}, {"yz sh", false}, {"医嘱", false}, {"", false}};
  for (const auto& c : cases) EXPECT_EQ(IsInitialsKeyword(c.text), c.initials) << c.text;
}

TEST(KeywordMatch, SpansShowWhatALineMatched) {
  using Spans = std::vector<MatchSpan>;
  const std::string line = "12-EMR病房医嘱处理，emr：医嘱";  // 医嘱 at 10 and 25
  const struct {
    const char* keyword;
    Spans spans;
  } cases[] = {
      {"医嘱", {{10, 14}, {25, 29}}},           // literal, every occurrence
      {"emr", {{3, 6}, {20, 23}}},             // literal and by initials alike
      {"ＥＭＲ", {{3, 6}, {20, 23}}},          // folded from full width
      {"yzcl", {{10, 18}}},                     // by initials: 医嘱处理
      {"clemr", {{14, 23}}},                    // across the comma that gives nothing
      {"yz", {{10, 14}, {25, 29}}},
      {"fy", {{8, 12}}},                        // 房医
      {"ry", {{22, 27}}},                       // r of emr, then 医 past the colon
      {"qq", {}},                               // not found: no span
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchSpans(line, c.keyword), c.spans) << c.keyword;
    // A line has spans exactly when the filter takes it.
    EXPECT_EQ(KeywordMatch(c.keyword).Matches(line, PinyinInitials(line)), !c.spans.empty()) << c.keyword;
  }
  // A byte-wise match that starts inside a double-byte character is widened
  // to the whole characters: "\xA1\xB7" is the tail of 病 and the head of 房.
  EXPECT_EQ(MatchSpans("病房", "\xA1\xB7"), (Spans{{0, 4}}));
}

}  // namespace
