#pragma once
// Pinyin initials of CP936 text, the letters that staff type instead of the
// characters themselves ("yzcl" for 医嘱处理).
#include <string>
#include <string_view>

// The initial of the double-byte character lead:trail as a lower-case letter,
// or 0 when it has no reading (a symbol, an unassigned code, not a GBK code).
// GB2312's first-level characters take it from their code's range, as that
// level is ordered by pinyin; every other character from the table generated
// from Unihan-derived readings (data/gbk_initials.txt), in which a character
// with several readings has its most common one.
char PinyinInitialOf(unsigned char lead, unsigned char trail);

// The initials string of a text: each Chinese character gives its initial,
// ASCII letters (lower-cased) and digits stay, everything else is left out.
// "病房医嘱处理" gives "bfyzcl", "3级：医嘱" gives "3jyz".
std::string PinyinInitials(std::string_view cp936);

// The same for text in UTF-8, the database's form, without a conversion to
// CP936 on the way: the initials are appended to `out`. A character outside
// GBK gives nothing, as it would after conversion.
void AppendPinyinInitialsOfUtf8(std::string_view utf8, std::string& out);

// True for a non-empty text of ASCII letters only: the keywords that are also
// looked for among the initials.
bool IsInitialsKeyword(std::string_view text);

// Lower-cases the ASCII letters A to Z only.
std::string AsciiLower(std::string_view text);
