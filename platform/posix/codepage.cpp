#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace platform {
namespace {

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// One converter per direction and thread; iconv_open is far too slow per call.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // skipOnError(in) tells how many input bytes an unconvertible sequence spans.
  template <typename Skip>
  std::string Run(std::string_view in, Skip skipOnError) {
    std::string out;
    out.resize(in.size() * 2 + 8);
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (rc != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ or EINVAL: replace the bad sequence and go on.
      size_t skip = skipOnError(std::string_view(src, srcLeft));
      src += skip;
      srcLeft -= skip;
      if (used + 1 > out.size()) out.resize(out.size() * 2);
      out[used++] = '?';
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
  }

 private:
  iconv_t cd_;
};

// The bytes of one unconvertible UTF-8 sequence: a whole character that GBK
// lacks, or a broken one up to the first byte that cannot continue it, so the
// text after a stray byte is not swallowed.
size_t Utf8SequenceLength(std::string_view s) {
  const unsigned char c = static_cast<unsigned char>(s[0]);
  const size_t n = c >= 0xF8 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  size_t k = 1;
  while (k < n && k < s.size() && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80) ++k;
  return k;
}

// The bytes of one unconvertible CP936 sequence: a lead byte together with a
// byte that may follow it (an unassigned double-byte character), else the
// single byte, so a trail byte never turns up as an ASCII character.
size_t Cp936SequenceLength(std::string_view s) {
  const unsigned char lead = static_cast<unsigned char>(s[0]);
  if (lead < 0x81 || lead > 0xFE || s.size() < 2) return 1;
  const unsigned char trail = static_cast<unsigned char>(s[1]);
  return (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) ? 2 : 1;
}

}  // namespace

std::string Cp936ToUtf8(std::string_view cp936) {
  if (IsAscii(cp936)) return std::string(cp936);
  thread_local Converter conv("UTF-8", "GBK");
  return conv.Run(cp936, Cp936SequenceLength);
}

std::string Utf8ToCp936(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter conv("GBK", "UTF-8");
  return conv.Run(utf8, Utf8SequenceLength);
}

}  // namespace platform
