// Pinyin initials of CP936 text, and of the same text in UTF-8: what each
// kind of byte or character gives.
#include <gtest/gtest.h>

#include <string>

#include "core/base/pinyin_initials.h"
#include "platform/codepage.h"

namespace {

TEST(PinyinInitials, EachCharacterGivesItsInitialOrNothing) {
  const struct {
    std::string text;
    std::string initials;
  } cases[] = {
      {"病房医嘱处理", "bfyzcl"},
      {"3级：医嘱", "3jyz"},              // full-width colon: nothing
      {"EMR-01 Ab_c.9", "emr01abc9"},     // ASCII letters lower-cased, digits kept
      {"啊簿擦座", "abcz"},               // level 1, at the borders of its runs
      {"亍疝", "cs"},                     // level 2, from the table
      {"镕", "r"},                        // GBK beyond GB2312 (E946)
      {"行长", "xc"},                     // several readings: the common one
      {"ＡＢ１①★", ""},                  // full-width letters and symbols
      {"\xB0 a", "a"},                    // lead byte without a trail byte
      {"x\x81", "x"},                     // lead byte at the end
      {"\xA2\xE3y", "y"},                 // unassigned double-byte code
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PinyinInitials(c.text), c.initials) << c.text;
    // The database's UTF-8 form of the same text gives the same initials.
    std::string fromUtf8 = "kept ";
    AppendPinyinInitialsOfUtf8(platform::Cp936ToUtf8(c.text), fromUtf8);
    EXPECT_EQ(fromUtf8, "kept " + c.initials) << c.text;
  }
}

}  // namespace
