#include "core/base/pinyin_initials.h"

#include <array>
#include <map>

#include "platform/codepage.h"

// The text of data/gbk_initials.txt, compiled in by the build.
extern const std::string_view kGbkInitialsText;

namespace {

constexpr int kFirstLead = 0x81;
constexpr int kLeads = 0xFE - kFirstLead + 1;
constexpr int kFirstTrail = 0x40;
constexpr int kTrails = 0xFE - kFirstTrail + 1;

// A set of initials: bit 0 to 25 for a to z, bit 26 to 35 for 0 to 9.
using InitialSet = uint64_t;

constexpr int BitOf(unsigned char c) {
  return c >= 'a' && c <= 'z' ? c - 'a' : c >= 'A' && c <= 'Z' ? c - 'A' : c >= '0' && c <= '9' ? 26 + c - '0' : -1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsTrailByte(unsigned char c) { return c >= kFirstTrail && c <= 0xFE && c != 0x7F; }

// Full-width ０ to ９, Ａ to Ｚ and ａ to ｚ are A3B0 to A3B9, A3C1 to A3DA and
// A3E1 to A3FA: their ASCII form, or 0.
char FullWidthAscii(unsigned char lead, unsigned char trail) {
  if (lead != 0xA3) return 0;
  if (trail >= 0xB0 && trail <= 0xB9) return static_cast<char>('0' + trail - 0xB0);
  if (trail >= 0xC1 && trail <= 0xDA) return static_cast<char>('A' + trail - 0xC1);
  if (trail >= 0xE1 && trail <= 0xFA) return static_cast<char>('a' + trail - 0xE1);
  return 0;
}

// Letters lower-cased, digits kept, any other ASCII byte 0.
char AsciiCode(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return static_cast<char>(c);
  return 0;
}

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

// The code of every GBK double-byte character, and the set each code byte
// stands for. A single letter or digit is its own code; a larger set gets one
// of the bytes that no letter or digit uses, in the order the table names
// them. The generator checks that they suffice; a set beyond them would be
// coded as its first letter.
struct Tables {
  std::array<unsigned char, kLeads * kTrails> gbk{};
  std::array<InitialSet, 256> setOfCode{};
};

Tables BuildTables() {
  Tables tables;
  for (int c = 1; c < 0x80; ++c)
    if (AsciiCode(static_cast<unsigned char>(c)) == c) tables.setOfCode[c] = InitialSet{1} << BitOf(c);
  std::vector<unsigned char> freeCodes;
  for (int c = 0x80; c <= 0xFF; ++c) freeCodes.push_back(static_cast<unsigned char>(c));
  for (int c = 1; c < 0x80; ++c)
    if (BitOf(static_cast<unsigned char>(c)) < 0) freeCodes.push_back(static_cast<unsigned char>(c));
  std::map<InitialSet, unsigned char> codeOfSet;

  std::string_view text = kGbkInitialsText;
  while (!text.empty()) {
    const size_t eol = text.find('\n');
    const std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    // "<lead in hex> <one mark per trail byte 40 to FE>": a letter, "-", or
    // letters in brackets; "#" starts a comment.
    if (line.size() < 3 || line[0] == '#' || line[2] != ' ') continue;
    const int hi = HexDigit(line[0]), lo = HexDigit(line[1]);
    if (hi < 0 || lo < 0) continue;
    const int lead = hi * 16 + lo;
    if (lead < kFirstLead || lead > 0xFE) continue;
    size_t at = 3;
    for (int trail = 0; trail < kTrails && at < line.size(); ++trail) {
      unsigned char code = 0;
      if (line[at] == '(') {
        const size_t close = line.find(')', at);
        if (close == std::string_view::npos) break;
        InitialSet set = 0;
        for (size_t k = at + 1; k < close; ++k)
          if (BitOf(static_cast<unsigned char>(line[k])) >= 0) set |= InitialSet{1} << BitOf(line[k]);
        if (set) {
          auto [it, added] = codeOfSet.try_emplace(set, 0);
          if (added) {
            if (codeOfSet.size() <= freeCodes.size()) {
              it->second = freeCodes[codeOfSet.size() - 1];
              tables.setOfCode[it->second] = set;
            } else {
              it->second = static_cast<unsigned char>(line[at + 1]);
            }
          }
          code = it->second;
        }
        at = close + 1;
      } else {
        code = static_cast<unsigned char>(AsciiCode(static_cast<unsigned char>(line[at])));
        ++at;
      }
      tables.gbk[(lead - kFirstLead) * kTrails + trail] = code;
    }
  }
  for (int trail = 0xB0; trail <= 0xFA; ++trail)
    if (const char c = FullWidthAscii(0xA3, static_cast<unsigned char>(trail)))
      tables.gbk[(0xA3 - kFirstLead) * kTrails + (trail - kFirstTrail)] =
          static_cast<unsigned char>(AsciiCode(static_cast<unsigned char>(c)));
  return tables;
}

const Tables& Codes() {
  static const Tables tables = BuildTables();
  return tables;
}

// The same codes indexed by Unicode code point (the Basic Multilingual
// Plane, where every GBK character lies), each GBK code converted once.
using UnicodeTable = std::array<unsigned char, 0x10000>;

UnicodeTable BuildUnicodeTable() {
  UnicodeTable byCodePoint{};
  const Tables& tables = Codes();
  for (int lead = kFirstLead; lead <= 0xFE; ++lead) {
    for (int trail = kFirstTrail; trail <= 0xFE; ++trail) {
      const unsigned char code = tables.gbk[(lead - kFirstLead) * kTrails + (trail - kFirstTrail)];
      if (!code) continue;
      const char bytes[] = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string utf8 = platform::Cp936ToUtf8(std::string_view(bytes, 2));
      const char32_t c = DecodeUtf8(utf8, 0).codePoint;
      if (c > 0x7F && c < byCodePoint.size() && !byCodePoint[c]) byCodePoint[c] = code;
    }
  }
  return byCodePoint;
}

const UnicodeTable& CodesByCodePoint() {
  static const UnicodeTable table = BuildUnicodeTable();
  return table;
}

// Length of the character at `i` of CP936 text: 2 for a lead byte with a
// valid trail byte after it, else 1 (a stray lead byte stands alone).
size_t CharLength(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  return c >= kFirstLead && c <= 0xFE && i + 1 < s.size() &&
                 IsTrailByte(static_cast<unsigned char>(s[i + 1]))
             ? 2
             : 1;
}

}  // namespace

std::string PinyinInitials(std::string_view cp936) {
  const Tables& tables = Codes();
  std::string out;
  out.reserve(cp936.size() / 2 + 1);
  for (size_t i = 0; i < cp936.size();) {
    const unsigned char c = static_cast<unsigned char>(cp936[i]);
    const size_t length = CharLength(cp936, i);
    const char code = length == 1 ? (c < 0x80 ? AsciiCode(c) : 0)
                                  : static_cast<char>(tables.gbk[(c - kFirstLead) * kTrails +
                                                                 (static_cast<unsigned char>(cp936[i + 1]) - kFirstTrail)]);
    if (code) out += code;
    i += length;
  }
  return out;
}

void AppendPinyinInitialsOfUtf8(std::string_view utf8, std::string& out) {
  const UnicodeTable& table = CodesByCodePoint();
  for (size_t i = 0; i < utf8.size();) {
    const Decoded d = DecodeUtf8(utf8, i);
    const char code = d.codePoint < 0x80 ? AsciiCode(static_cast<unsigned char>(d.codePoint))
                      : d.codePoint < table.size() ? static_cast<char>(table[d.codePoint])
                                                   : 0;
    if (code) out += code;
    i += d.length;
  }
}

std::string InitialsOfCode(char code) {
  const InitialSet set = Codes().setOfCode[static_cast<unsigned char>(code)];
  std::string out;
  for (int bit = 0; bit < 36; ++bit)
    if (set >> bit & 1) out += static_cast<char>(bit < 26 ? 'a' + bit : '0' + bit - 26);
  return out;
}

std::string FoldFullWidth(std::string_view cp936) {
  std::string out;
  out.reserve(cp936.size());
  for (size_t i = 0; i < cp936.size();) {
    const size_t length = CharLength(cp936, i);
    const char ascii = length == 2 ? FullWidthAscii(static_cast<unsigned char>(cp936[i]),
                                                    static_cast<unsigned char>(cp936[i + 1]))
                                   : 0;
    if (ascii)
      out += ascii;
    else
      out.append(cp936.substr(i, length));
    i += length;
  }
  return out;
}

bool IsInitialsKeyword(std::string_view text) {
  bool letter = false;
  for (unsigned char c : FoldFullWidth(text)) {
    const int bit = BitOf(c);
    if (bit < 0) return false;
    letter = letter || bit < 26;
  }
  return letter;
}

InitialsPattern::InitialsPattern(std::string_view keyword) {
  const Tables& tables = Codes();
  for (unsigned char k : keyword) {
    ByteSet accept;
    if (const int bit = BitOf(k); bit >= 0)
      for (int b = 1; b < 256; ++b)
        if (tables.setOfCode[b] >> bit & 1) accept.has[b] = 1;
    accept_.push_back(accept);
  }
}

size_t InitialsPattern::Find(std::string_view codes, size_t from) const {
  const size_t n = accept_.size();
  if (n == 0 || n > codes.size()) return std::string_view::npos;
  const auto* s = reinterpret_cast<const unsigned char*>(codes.data());
  const ByteSet& first = accept_[0];
  for (size_t i = from, last = codes.size() - n; i <= last; ++i) {
    if (!first.Has(s[i])) continue;
    size_t j = 1;
    while (j < n && accept_[j].Has(s[i + j])) ++j;
    if (j == n) return i;
  }
  return std::string_view::npos;
}
