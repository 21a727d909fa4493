#include "platform/codepage.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/wide_text.h"

namespace platform {
namespace win32 {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
// The system table gives user-defined double-byte codes (and the stray byte
// 0xFF) private-use characters, which mean nothing to anyone else.
bool IsPrivateUse(wchar_t c) { return c >= 0xE000 && c <= 0xF8FF; }
bool IsSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The whole text in one call; false when the system finds a sequence that it
// cannot convert.
bool ConvertStrictly(std::string_view in, UINT codePage, std::wstring& out) {
  const int size = static_cast<int>(in.size());
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
  if (n <= 0) return false;
  out.assign(static_cast<size_t>(n), L'\0');
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, out.data(), n) == n;
}

// CP936 with the same outcome as on other systems: an unconvertible
// double-byte code is one '?', and a lead byte before a byte that cannot
// follow it is one '?' on its own, so the byte after it is kept.
std::wstring WideFromCp936(std::string_view in) {
  std::wstring out;
  if (ConvertStrictly(in, kCodePage936, out) && std::none_of(out.begin(), out.end(), IsPrivateUse))
    return out;
  out.clear();
  for (size_t i = 0; i < in.size();) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    if (c < 0x80) {  // ASCII is the same in CP936
      out += static_cast<wchar_t>(c);
      ++i;
      continue;
    }
    const bool pair = IsLeadByte(c) && i + 1 < in.size() &&
                      IsTrailByte(static_cast<unsigned char>(in[i + 1]));
    const size_t length = pair ? 2 : 1;
    std::wstring one;
    if (ConvertStrictly(in.substr(i, length), kCodePage936, one) && one.size() == 1 &&
        !IsPrivateUse(one[0]))
      out += one;
    else
      out += L'?';
    i += length;
  }
  return out;
}

}  // namespace

std::wstring WideFromCodePage(std::string_view in, unsigned codePage) {
  if (in.empty()) return {};
  if (codePage == kCodePage936) return WideFromCp936(in);
  // Any other code page (UTF-8 above all): the system puts U+FFFD for a
  // broken sequence.
  const int size = static_cast<int>(in.size());
  const int n = MultiByteToWideChar(codePage, 0, in.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, in.data(), size, w.data(), n);
  return w;
}

std::string CodePageFromWide(std::wstring_view w, unsigned codePage) {
  if (w.empty()) return {};
  std::wstring single;
  const char* fallback = nullptr;  // UTF-8 can hold every character
  if (codePage != kCodePageUtf8) {
    // A character beyond the 16-bit range (a surrogate pair) is one
    // unconvertible character, not two.
    fallback = "?";
    single.reserve(w.size());
    for (size_t k = 0; k < w.size(); ++k) {
      if (!IsSurrogate(w[k])) {
        single += w[k];
        continue;
      }
      single += L'?';
      if (w[k] < 0xDC00 && k + 1 < w.size() && w[k + 1] >= 0xDC00 && w[k + 1] <= 0xDFFF) ++k;
    }
    w = single;
  }
  const int size = static_cast<int>(w.size());
  const int n = WideCharToMultiByte(codePage, 0, w.data(), size, nullptr, 0, fallback, nullptr);
  if (n <= 0) return {};
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, w.data(), size, s.data(), n, fallback, nullptr);
  return s;
}

}  // namespace win32

std::string Cp936ToUtf8(std::string_view cp936) {
  return win32::CodePageFromWide(win32::WideFromCodePage(cp936, win32::kCodePage936),
                                 win32::kCodePageUtf8);
}

std::string Utf8ToCp936(std::string_view utf8) {
  return win32::CodePageFromWide(win32::WideFromCodePage(utf8, win32::kCodePageUtf8),
                                 win32::kCodePage936);
}

}  // namespace platform
