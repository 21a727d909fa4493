// CP936 <-> UTF-8 at the borders of the program's text.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace {

using namespace std::string_literals;
using platform::Cp936ToUtf8;
using platform::Utf8ToCp936;

TEST(Codepage, ChineseTextRoundTrips) {
  // The literal is CP936 in the program; its UTF-8 form is spelled in bytes.
  const std::string cp936 = "工作角色 Ab-12";
  EXPECT_EQ(cp936.substr(0, 2), "\xB9\xA4");
  const std::string utf8 = "\xE5\xB7\xA5\xE4\xBD\x9C\xE8\xA7\x92\xE8\x89\xB2 Ab-12";
  EXPECT_EQ(Cp936ToUtf8(cp936), utf8);
  EXPECT_EQ(Utf8ToCp936(utf8), cp936);

  const std::string mixed = "Kestrowan软件，对不起,没有查到您要的内容。";
  EXPECT_EQ(Utf8ToCp936(Cp936ToUtf8(mixed)), mixed);
  EXPECT_EQ(Cp936ToUtf8(""), "");
  EXPECT_EQ(Cp936ToUtf8("a\0b"s), "a\0b"s);
}

TEST(Codepage, LongTextIsConvertedWhole) {
  std::string cp936;
  for (int k = 0; k < 5000; ++k) cp936 += "评价";
  const std::string utf8 = Cp936ToUtf8(cp936);
  EXPECT_EQ(utf8.size(), 5000u * 6);
  EXPECT_EQ(Utf8ToCp936(utf8), cp936);
}

TEST(Codepage, BytesThatCannotBeConvertedBecomeOneQuestionMarkEach) {
  // A lead byte before a byte that cannot follow it, a lead byte at the end.
  EXPECT_EQ(Cp936ToUtf8("\x81" "0A"), "?0A");
  EXPECT_EQ(Cp936ToUtf8("ab\xB9"), "ab?");
  EXPECT_EQ(Cp936ToUtf8("\xFF" "x"), "?x");
  // An unassigned double-byte code is one character: its second byte (here
  // 'A') must not come out as a letter of its own.
  EXPECT_EQ(Cp936ToUtf8("\xA2\x41" "z"), "?z");
  EXPECT_EQ(Cp936ToUtf8("\xB9\xA4\xFF\xB9\xA4"), "\xE5\xB7\xA5?\xE5\xB7\xA5");

  // Characters that GBK lacks, and broken UTF-8: the text after them stays.
  EXPECT_EQ(Utf8ToCp936("a\xF0\x9F\x98\x80" "b"), "a?b");  // an emoji
  EXPECT_EQ(Utf8ToCp936("\xFF" "abc"), "?abc");
  EXPECT_EQ(Utf8ToCp936("\xE5\xB7" "abc"), "?abc");  // a cut-off character
  EXPECT_EQ(Utf8ToCp936("\x80\x80" "z"), "??z");
  EXPECT_EQ(Utf8ToCp936("x\xE5"), "x?");
  EXPECT_NO_THROW(Utf8ToCp936(std::string(1000, '\xC3')));
}

}  // namespace
