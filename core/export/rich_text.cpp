#include "core/export/rich_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/codepage.h"

namespace {

// Destinations whose content a rich-text control never shows.
constexpr std::array<std::string_view, 27> kHiddenDestinations = {
    "fonttbl",     "colortbl",   "stylesheet", "info",          "pict",
    "object",      "header",     "headerl",    "headerr",       "headerf",
    "footer",      "footerl",    "footerr",    "footerf",       "listtable",
    "listoverridetable", "revtbl", "rsidtbl",  "generator",     "xmlnstbl",
    "themedata",   "colorschememapping", "latentstyles", "datastore", "fldinst",
    "filetbl",     "pgdsctbl"};

struct NamedCharacter {
  std::string_view word;
  char32_t codePoint;
};
constexpr std::array<NamedCharacter, 7> kNamedCharacters = {{{"emdash", 0x2014},
                                                             {"endash", 0x2013},
                                                             {"bullet", 0x2022},
                                                             {"lquote", 0x2018},
                                                             {"rquote", 0x2019},
                                                             {"ldblquote", 0x201C},
                                                             {"rdblquote", 0x201D}}};

bool IsLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
// First byte of a CP936 double-byte character; its second byte may be a
// backslash or a brace and must not be read as RTF syntax.
bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// Second byte of a CP936 double-byte character. Control bytes (CR and LF
// among them) never are: after a lead byte they stand for themselves.
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

int HexValue(unsigned char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

class RtfReader {
 public:
  explicit RtfReader(std::string_view rtf) : in_(rtf) {}

  std::string Run() {
    while (pos_ < in_.size()) {
      const unsigned char c = static_cast<unsigned char>(in_[pos_]);
      if (c == '{') {
        ++pos_;
        groups_.push_back(groups_.empty() ? Group{} : groups_.back());
        pendingSkip_ = 0;
      } else if (c == '}') {
        ++pos_;
        pendingSkip_ = 0;
        if (!groups_.empty()) groups_.pop_back();
        if (groups_.empty()) break;  // end of the document
      } else if (c == '\\') {
        ++pos_;
        ReadControl();
      } else if (c == '\r' || c == '\n') {
        ++pos_;
      } else if (IsLeadByte(c)) {
        if (pos_ + 1 < in_.size() && IsTrailByte(static_cast<unsigned char>(in_[pos_ + 1]))) {
          EmitBytes(in_.substr(pos_, 2));
          pos_ += 2;
        } else {
          // A lead byte without its second half is no character; shown as
          // '?', so that it cannot pair with the byte that follows it in
          // the plain text. What follows is read on its own.
          EmitBytes("?");
          ++pos_;
        }
      } else {
        EmitBytes(in_.substr(pos_, 1));
        ++pos_;
      }
    }
    return std::move(out_);
  }

 private:
  struct Group {
    bool hidden = false;   // inside a destination that shows nothing
    int unicodeSkip = 1;   // \ucN: fallback characters after each \uN
  };

  bool Hidden() const { return !groups_.empty() && groups_.back().hidden; }

  // One visible character (or its fallback, which \uN asked to drop).
  void EmitBytes(std::string_view bytes) {
    if (pendingSkip_ > 0) {
      --pendingSkip_;
      return;
    }
    FlushSurrogate();
    if (!Hidden()) out_.append(bytes);
  }

  void EmitCodePoint(char32_t cp) {
    if (Hidden()) return;
    std::string utf8;
    AppendUtf8(utf8, cp);
    out_ += platform::Utf8ToCp936(utf8);
  }

  // A high surrogate waits for its low half; alone it shows as '?'.
  void FlushSurrogate() {
    if (highSurrogate_ != 0) {
      highSurrogate_ = 0;
      if (!Hidden()) out_ += '?';
    }
  }

  void Unicode(long value) {
    if (value < 0) value += 65536;
    const char32_t unit = static_cast<char32_t>(value & 0xFFFF);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushSurrogate();
      highSurrogate_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF && highSurrogate_ != 0) {
      const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
      highSurrogate_ = 0;
      EmitCodePoint(cp);
    } else {
      FlushSurrogate();
      EmitCodePoint(unit);
    }
    pendingSkip_ = groups_.empty() ? 1 : groups_.back().unicodeSkip;
  }

  void ReadControl() {
    if (pos_ >= in_.size()) return;
    const unsigned char c = static_cast<unsigned char>(in_[pos_]);
    if (IsLetter(c)) return ReadControlWord();
    ++pos_;
    switch (c) {
      case '\\': case '{': case '}':
        return EmitBytes(std::string_view(in_.data() + pos_ - 1, 1));
      case '\'': {
        const int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
        const int lo = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
        if (hi < 0 || lo < 0) return;
        pos_ += 2;
        const char byte = static_cast<char>(hi * 16 + lo);
        return EmitBytes(std::string_view(&byte, 1));
      }
      case '*':
        if (!groups_.empty()) groups_.back().hidden = true;
        return;
      case '~':
        return EmitBytes(" ");
      case '_':
        return EmitBytes("-");
      case '\r': case '\n':  // a backslash before a line break is \par
        return EmitBytes("\r\n");
      default:  // \- (optional hyphen), \| and the like show nothing
        return;
    }
  }

  void ReadControlWord() {
    const size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    const std::string_view word = in_.substr(start, pos_ - start);
    bool hasParam = false;
    long param = 0;
    bool negative = false;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      hasParam = true;
      if (param < 100000000) param = param * 10 + (in_[pos_] - '0');
      ++pos_;
    }
    if (negative) param = -param;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;  // the delimiter belongs to the word

    if (word == "bin" && hasParam) {  // binary data: never text
      pos_ = std::min(in_.size(), pos_ + static_cast<size_t>(std::max(0L, param)));
      return;
    }
    if (pendingSkip_ > 0) {  // a control word in a fallback counts as one character
      --pendingSkip_;
      return;
    }
    if (word == "par" || word == "line" || word == "sect" || word == "page" || word == "row") {
      EmitBytes("\r\n");
    } else if (word == "tab" || word == "cell") {
      EmitBytes("\t");
    } else if (word == "u" && hasParam) {
      Unicode(param);
    } else if (word == "uc" && hasParam) {
      if (!groups_.empty()) groups_.back().unicodeSkip = static_cast<int>(std::max(0L, param));
    } else if (std::find(kHiddenDestinations.begin(), kHiddenDestinations.end(), word) !=
               kHiddenDestinations.end()) {
      if (!groups_.empty()) groups_.back().hidden = true;
    } else {
      for (const auto& named : kNamedCharacters) {
        if (word == named.word) {
          FlushSurrogate();
          EmitCodePoint(named.codePoint);
          return;
        }
      }
      // Formatting words (fonts, sizes, paragraph settings) show nothing.
    }
  }

  std::string_view in_;
  size_t pos_ = 0;
  std::vector<Group> groups_;
  int pendingSkip_ = 0;  // fallback characters of the last \uN still to drop
  char32_t highSurrogate_ = 0;
  std::string out_;
};

}  // namespace

std::string RichTextToPlain(std::string_view rtf) { return RtfReader(rtf).Run(); }
