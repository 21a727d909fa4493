#include "core/base/pinyin_initials.h"

#include <array>

#include "platform/codepage.h"

// The text of data/gbk_initials.txt, compiled in by the build.
extern const std::string_view kGbkInitialsText;

namespace {

constexpr int kFirstLead = 0x81;
constexpr int kLeads = 0xFE - kFirstLead + 1;
constexpr int kFirstTrail = 0x40;
constexpr int kTrails = 0xFE - kFirstTrail + 1;

// GB2312 level 1 (B0A1 to D7F9) is ordered by pinyin: each initial covers one
// run of codes, starting at these. No character there begins with i, u or v.
struct RangeStart {
  unsigned code;
  char initial;
};
constexpr RangeStart kLevel1Starts[] = {
    {0xB0A1, 'a'}, {0xB0C5, 'b'}, {0xB2C1, 'c'}, {0xB4EE, 'd'}, {0xB6EA, 'e'}, {0xB7A2, 'f'},
    {0xB8C1, 'g'}, {0xB9FE, 'h'}, {0xBBF7, 'j'}, {0xBFA6, 'k'}, {0xC0AC, 'l'}, {0xC2E8, 'm'},
    {0xC4C3, 'n'}, {0xC5B6, 'o'}, {0xC5BE, 'p'}, {0xC6DA, 'q'}, {0xC8BB, 'r'}, {0xC8F6, 's'},
    {0xCBFA, 't'}, {0xCDDA, 'w'}, {0xCEF4, 'x'}, {0xD1B9, 'y'}, {0xD4D1, 'z'}};
constexpr unsigned kLevel1End = 0xD7F9;

bool IsLevel1(unsigned code) {
  const unsigned trail = code & 0xFF;
  return code >= kLevel1Starts[0].code && code <= kLevel1End && trail >= 0xA1 && trail <= 0xFE;
}

char Level1Initial(unsigned code) {
  char initial = 0;
  for (const RangeStart& start : kLevel1Starts)
    if (code >= start.code) initial = start.initial;
  return initial;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsTrailByte(unsigned char c) { return c >= kFirstTrail && c <= 0xFE && c != 0x7F; }

// One character of UTF-8 text at `at`: its code point and length in bytes. A
// broken sequence is one byte long and decodes to U+FFFD.
struct Decoded {
  char32_t codePoint;
  size_t length;
};

Decoded DecodeUtf8(std::string_view s, size_t at) {
  const unsigned char c = static_cast<unsigned char>(s[at]);
  if (c < 0x80) return {c, 1};
  const size_t length = c >= 0xF8 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
  if (length == 0 || at + length > s.size()) return {0xFFFD, 1};
  char32_t codePoint = c & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const unsigned char next = static_cast<unsigned char>(s[at + k]);
    if ((next & 0xC0) != 0x80) return {0xFFFD, 1};
    codePoint = codePoint << 6 | (next & 0x3F);
  }
  return {codePoint, length};
}

// Letters lower-cased, digits kept, any other ASCII byte 0.
char AsciiInitial(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return static_cast<char>(c);
  return 0;
}

using Table = std::array<char, kLeads * kTrails>;

// The whole GBK double-byte area: the generated table's letters, with the
// first-level characters filled in from their ranges.
Table BuildTable() {
  Table table{};
  std::string_view text = kGbkInitialsText;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    const std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    // "<lead in hex> <one mark per trail byte 40 to FE>"; "#" starts a comment.
    if (line.size() < 3 || line[0] == '#' || line[2] != ' ') continue;
    const int hi = HexDigit(line[0]), lo = HexDigit(line[1]);
    if (hi < 0 || lo < 0) continue;
    const int lead = hi * 16 + lo;
    if (lead < kFirstLead || lead > 0xFE) continue;
    const std::string_view marks = line.substr(3);
    for (size_t t = 0; t < marks.size() && t < static_cast<size_t>(kTrails); ++t) {
      const char mark = marks[t];
      if (mark >= 'a' && mark <= 'z') table[(lead - kFirstLead) * kTrails + t] = mark;
    }
  }
  for (unsigned code = kLevel1Starts[0].code; code <= kLevel1End; ++code)
    if (IsLevel1(code))
      table[((code >> 8) - kFirstLead) * kTrails + ((code & 0xFF) - kFirstTrail)] = Level1Initial(code);
  return table;
}

const Table& Initials() {
  static const Table table = BuildTable();
  return table;
}

// The same initials indexed by Unicode code point (the Basic Multilingual
// Plane, where every GBK character lies), each GBK code converted once.
using UnicodeTable = std::array<char, 0x10000>;

UnicodeTable BuildUnicodeTable() {
  UnicodeTable byCodePoint{};
  const Table& table = Initials();
  for (int lead = kFirstLead; lead <= 0xFE; ++lead) {
    for (int trail = kFirstTrail; trail <= 0xFE; ++trail) {
      const char initial = table[(lead - kFirstLead) * kTrails + (trail - kFirstTrail)];
      if (!initial) continue;
      const char bytes[] = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = platform::Cp936ToUtf8(std::string_view(bytes, 2));
      const char32_t c = DecodeUtf8(utf8, 0).codePoint;
      if (c > 0x7F && c < byCodePoint.size() && !byCodePoint[c]) byCodePoint[c] = initial;
    }
  }
  return byCodePoint;
}

const UnicodeTable& InitialsByCodePoint() {
  static const UnicodeTable table = BuildUnicodeTable();
  return table;
}


}  // namespace

char PinyinInitialOf(unsigned char lead, unsigned char trail) {
  if (lead < kFirstLead || lead > 0xFE || !IsTrailByte(trail)) return 0;
  return Initials()[(lead - kFirstLead) * kTrails + (trail - kFirstTrail)];
}

std::string PinyinInitials(std::string_view cp936) {
  const Table& table = Initials();
  std::string out;
  out.reserve(cp936.size() / 2 + 1);
  for (size_t i = 0; i < cp936.size();) {
    const unsigned char c = static_cast<unsigned char>(cp936[i]);
    if (c < 0x80) {
      if (const char initial = AsciiInitial(c)) out += initial;
      ++i;
      continue;
    }
    // A lead byte without a valid trail byte after it is a stray byte: it
    // gives nothing, and the byte after it is read on its own.
    if (c >= kFirstLead && c <= 0xFE && i + 1 < cp936.size()) {
      const unsigned char trail = static_cast<unsigned char>(cp936[i + 1]);
      if (IsTrailByte(trail)) {
        if (const char initial = table[(c - kFirstLead) * kTrails + (trail - kFirstTrail)])
          out += initial;
        i += 2;
        continue;
      }
    }
    ++i;
  }
  return out;
}

void AppendPinyinInitialsOfUtf8(std::string_view utf8, std::string& out) {
  const UnicodeTable& table = InitialsByCodePoint();
  for (size_t i = 0; i < utf8.size();) {
    const Decoded d = DecodeUtf8(utf8, i);
    const char initial = d.codePoint < 0x80 ? AsciiInitial(static_cast<unsigned char>(d.codePoint))
                         : d.codePoint < table.size() ? table[d.codePoint]
                                                      : 0;
    if (initial) out += initial;
    i += d.length;
  }
}

bool IsInitialsKeyword(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  return true;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}
