// Rich-text cells: the export text is the plain text a rich-text control shows.
#include <gtest/gtest.h>

#include "core/export/export_text.h"
#include "core/export/rich_text.h"

namespace {

struct Case {
  const char* rtf;
  const char* plain;
};

TEST(RichTextToPlain, ShowsTheVisibleTextOnly) {
  const Case cases[] = {
      // Header tables, document information and "\*" groups hold no visible text.
      {"{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}}"
       "{\\colortbl ;\\red255\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}"
       "{\\info{\\author me}}{\\*\\generator Riched20;}\\viewkind4\\pard\\f0\\fs16 abc\\par}",
       "abc\r\n"},
      // Formatting words vanish, the space after a word is its delimiter.
      {"{\\rtf1 \\b bold\\b0  plain\\line next\\tab x}", "bold plain\r\nnext\tx"},
      // Escaped braces and backslash; raw line breaks are not text.
      {"{\\rtf1 a\\{b\\}c\\\\d\r\ne}", "a{b}c\\de"},
      // \'hh gives the raw byte: two of them make one CP936 character.
      {"{\\rtf1 \\'d6\\'d0\\'ce\\'c4!}", "中文!"},
      // \uN gives the character; its fallback (one by default) is dropped.
      {"{\\rtf1 \\u20013?\\u25991?}", "中文"},
      {"{\\rtf1\\uc2 \\u20013\\'d6\\'d0 end}", "中 end"},
      {"{\\rtf1\\uc0 \\u12288 x}", "\xA1\xA1x"},  // no fallback after \uc0
      {"{\\rtf1 \\u-255?}", "\xA3\xA1"},          // negative N: N + 65536 (U+FF01)
      // Raw double-byte characters whose second byte is "\" or "{" stay whole.
      {"{\\rtf1 \x81\x5C\xB1\x7B}", "\x81\x5C\xB1\x7B"},
      // A raw line break is no second half: it is dropped like any other,
      // and the lone first byte shows as '?' instead of pairing up with the
      // next byte.
      {"{\\rtf1 a\x81\nb\xD6\r\nc\xD6\xD0}", "a?b?c\xD6\xD0"},
      // Nested groups keep their text; the text after the document's end is ignored.
      {"{\\rtf1 a{\\i b{\\b c}}d} tail", "abcd"},
      // Fields show their result, not their instruction.
      {"{\\rtf1 {\\field{\\*\\fldinst HYPERLINK x}{\\fldrslt link}}}", "link"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RichTextToPlain(c.rtf), c.plain) << c.rtf;
}

TEST(ExportText, OnlyTextsBeginningWithBraceBackslashAreRichText) {
  EXPECT_EQ(ExportText("{\\rtf1 x\\par y}"), "x\r\ny");
  EXPECT_EQ(ExportText("{\\b x}"), "x");
  for (const char* kept : {"<b>粗体</b>", " {\\rtf1 x}", "{rtf}", "a\\par b", ""})
    EXPECT_EQ(ExportText(kept), kept);
}

}  // namespace
