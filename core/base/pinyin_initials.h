#pragma once
// Pinyin initials of CP936 text, the letters that staff type instead of the
// characters themselves ("yzcl" for 医嘱处理).
//
// A character counts under the initial of every one of its modern readings
// (重 under z and c, 调 under t and d), so a text's initials are a row of
// sets, coded one byte per character: a character with one initial, an ASCII
// letter (lower-cased) or digit is that letter or digit itself; a character
// whose readings begin with different letters is a byte that stands for its
// set. Full-width letters and digits (ＥＭＲ, １) count as their ASCII forms.
// Anything else (signs, blanks, symbols) gives nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The coded initials of a text: "病房医嘱处理" gives "bfyzcl", "3级：医嘱"
// gives "3jyz"; 调 gives the byte of the set {d, t}.
std::string PinyinInitials(std::string_view cp936);

// The same for text in UTF-8, the database's form, without a conversion to
// CP936 on the way: the codes are appended to `out`. A character outside GBK
// gives nothing, as it would after conversion.
void AppendPinyinInitialsOfUtf8(std::string_view utf8, std::string& out);

// The letters and digits that one byte of coded initials stands for, in
// order ("dt" for 调's byte, "x" for x); "" for a byte that codes nothing.
std::string InitialsOfCode(char code);

// Full-width letters and digits (Ａ to Ｚ, ａ to ｚ, ０ to ９) turned into their
// ASCII forms; every other byte and character is kept.
std::string FoldFullWidth(std::string_view cp936);

// True for a keyword that is also looked for among the initials: a
// non-empty text of ASCII letters and digits with at least one letter
// ("yzcl", "3jyz"), once full-width letters and digits are folded.
bool IsInitialsKeyword(std::string_view text);

// A keyword of letters and digits, ready to be looked for in coded
// initials: each of its characters matches the codes whose set holds it,
// letter case ignored.
class InitialsPattern {
 public:
  explicit InitialsPattern(std::string_view keyword);

  size_t Size() const { return accept_.size(); }
  // Index of the first code at or after `from` where the whole keyword
  // matches, or npos. An empty keyword matches nowhere.
  size_t Find(std::string_view codes, size_t from = 0) const;
  bool FoundIn(std::string_view codes) const { return Find(codes) != std::string_view::npos; }

 private:
  // The codes that one character of the keyword matches, a byte per code
  // (one load per test, which the scan over a whole cache is made of).
  struct ByteSet {
    unsigned char has[256] = {};
    bool Has(unsigned char b) const { return has[b] != 0; }
  };
  std::vector<ByteSet> accept_;
};
