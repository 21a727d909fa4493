// The text helpers of Excel_unit on CP936 bytes.
#include <gtest/gtest.h>

#include <string>

#include "core/base/Excel_unit.h"

namespace {

using namespace std::string_literals;

// True when every slot from `from` to the last one is empty.
bool EmptyFrom(const userarray& list, size_t from) {
  for (size_t k = from; k < list.size(); ++k)
    if (!list[k].empty()) return false;
  return true;
}

TEST(SplitByChar, PiecesGoIntoSlotsInOrderAndTheRestStayEmpty) {
  userarray list = SplitByChar("12-abc", '-');
  ASSERT_EQ(list.size(), 255u);
  EXPECT_EQ(list[0], "12");
  EXPECT_EQ(list[1], "abc");
  EXPECT_TRUE(EmptyFrom(list, 2));

  list = SplitByChar("12-", '-');
  EXPECT_EQ(list[0], "12");
  EXPECT_TRUE(EmptyFrom(list, 1));

  list = SplitByChar("-abc", '-');
  EXPECT_EQ(list[0], "");
  EXPECT_EQ(list[1], "abc");
  EXPECT_TRUE(EmptyFrom(list, 2));

  list = SplitByChar("a--b", '-');
  EXPECT_EQ(list[0], "a");
  EXPECT_EQ(list[1], "");
  EXPECT_EQ(list[2], "b");
  EXPECT_TRUE(EmptyFrom(list, 3));

  // The settings rows joined with a leading comma.
  list = SplitByChar(",a,b,c", ',');
  EXPECT_EQ(list[0], "");
  EXPECT_EQ(list[1], "a");
  EXPECT_EQ(list[2], "b");
  EXPECT_EQ(list[3], "c");
  EXPECT_TRUE(EmptyFrom(list, 4));

  // Only the given delimiter cuts; Chinese text passes whole.
  list = SplitByChar("7-工作,角色.x", '-');
  EXPECT_EQ(list[0], "7");
  EXPECT_EQ(list[1], "工作,角色.x");
}

TEST(SplitByChar, AlwaysFillsExactly255Slots) {
  EXPECT_EQ(SplitByChar("", '-').size(), 255u);
  EXPECT_TRUE(EmptyFrom(SplitByChar("", '-'), 0));
  EXPECT_EQ(SplitByChar("no delimiter", '-')[0], "no delimiter");

  // A list handed in with other content and another size is replaced whole.
  userarray reused(3, "old");
  SplitByChar("x", ',', reused);
  ASSERT_EQ(reused.size(), 255u);
  EXPECT_EQ(reused[0], "x");
  EXPECT_TRUE(EmptyFrom(reused, 1));
}

TEST(SplitByChar, PiecesPastTheLastSlotAreDropped) {
  // 300 pieces "0" .. "299": slots 0 to 254 keep the first 255 of them.
  std::string text;
  for (int k = 0; k < 300; ++k) text += (k ? "-" : "") + std::to_string(k);
  const userarray list = SplitByChar(text, '-');
  ASSERT_EQ(list.size(), 255u);
  EXPECT_EQ(list[0], "0");
  EXPECT_EQ(list[254], "254");

  // Exactly 254 delimiters: the last piece still has a slot.
  std::string fits;
  for (int k = 0; k < 255; ++k) fits += (k ? "-" : "") + std::to_string(k);
  EXPECT_EQ(SplitByChar(fits, '-')[254], "254");
}

TEST(SplitByChar, TheTextEndsAtItsFirstNulByte) {
  userarray list = SplitByChar("ab-cd\0ef-gh"s, '-');
  EXPECT_EQ(list[0], "ab");
  EXPECT_EQ(list[1], "cd");
  EXPECT_TRUE(EmptyFrom(list, 2));

  list = SplitByChar("\0-x"s, '-');
  EXPECT_TRUE(EmptyFrom(list, 0));
}

TEST(IsSerialNumber, DigitsWithAtMostOneInnerStopAndFewZerosBeforeIt) {
  for (const char* yes : {"12", "0.5", "1000", "100", "10.5", "1.00", "7", "0", "12.345", "101.5"})
    EXPECT_TRUE(IsSerialNumber(yes)) << yes;
  // 100.5 and 00.5 hold two zeros before the stop (anywhere in that part).
  for (const char* no : {"100.5", "00.5", "1010.5", "1.2.3", ".5", "5.", ".", "12a", " 12", "12 ",
                         "-12", "+12", "1,5", "１２"})
    EXPECT_FALSE(IsSerialNumber(no)) << no;
  EXPECT_FALSE(IsSerialNumber("对不起,没有查到您要的内容。"));
  EXPECT_FALSE(IsSerialNumber("12\0"s));
}

TEST(TrimBlanks, RemovesEveryByteUpTo32AtBothEndsOnly) {
  EXPECT_EQ(TrimBlanks("  \t\r\n abc def \x01\x1f "), "abc def");
  EXPECT_EQ(TrimBlanks("\0x\0"s), "x");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  // Bytes above 127 are part of the text, not blanks.
  EXPECT_EQ(TrimBlanks(" 工作 "), "工作");
  EXPECT_EQ(TrimBlanks("\xA1\xA1"), "\xA1\xA1");  // the double-byte blank stays
}

TEST(AsciiFolding, OnlyTheLettersAToZChange) {
  EXPECT_EQ(AsciiUpper("Zelvoran.exe"), "ZELVORAN.EXE");
  EXPECT_EQ(AsciiUpper("a-z_@[`{0"), "A-Z_@[`{0");
  // Both bytes of a double-byte character are folded like any other byte:
  // 0xB0 0x61 (a trail byte equal to 'a') becomes 0xB0 0x41.
  EXPECT_EQ(AsciiUpper("\xB0\x61x"), "\xB0\x41X");
  EXPECT_EQ(AsciiUpper("工作角色"), "工作角色");
  EXPECT_EQ(AsciiUpper("\xE4\xE9"), "\xE4\xE9");  // no Latin-1 folding
}

TEST(AsciiFolding, ContainsFoldedMatchesInAnyAsciiCase) {
  EXPECT_TRUE(ContainsFolded("Hello World", "WORLD"));
  EXPECT_TRUE(ContainsFolded("hello world", "HELLO W"));
  EXPECT_TRUE(ContainsFolded("abc", "ABC"));
  EXPECT_TRUE(ContainsFolded("xxaB", "AB"));  // at the very end
  EXPECT_FALSE(ContainsFolded("ab", "ABC"));
  EXPECT_FALSE(ContainsFolded("a_c", "A-C"));
  EXPECT_TRUE(ContainsFolded("12-工作角色", "角色"));
  EXPECT_FALSE(ContainsFolded("12-工作", "角色"));
  // The trail byte 0x61 folds, so it matches a needle with 0x41 there.
  EXPECT_TRUE(ContainsFolded("\xB0\x61", "\xB0\x41"));
  // Wildcards are plain text here.
  EXPECT_FALSE(ContainsFolded("abc", "%"));
  EXPECT_TRUE(ContainsFolded("50%_off", "%_"));
  // The empty needle is never found.
  EXPECT_FALSE(ContainsFolded("abc", ""));
  EXPECT_FALSE(ContainsFolded("", ""));
  EXPECT_FALSE(ContainsFolded("", "A"));
}

}  // namespace
