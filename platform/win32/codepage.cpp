#include "platform/codepage.h"

#include <windows.h>

namespace platform {
namespace {

std::wstring ToWide(std::string_view in, UINT codePage) {
  if (in.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, in.data(), static_cast<int>(in.size()), w.data(), n);
  return w;
}

std::string FromWide(const std::wstring& w, UINT codePage) {
  if (w.empty()) return {};
  const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
  int n = WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                              fallback, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, w.data(), static_cast<int>(w.size()), s.data(), n, fallback,
                      nullptr);
  return s;
}

}  // namespace

std::string Cp936ToUtf8(std::string_view cp936) { return FromWide(ToWide(cp936, 936), CP_UTF8); }

std::string Utf8ToCp936(std::string_view utf8) { return FromWide(ToWide(utf8, CP_UTF8), 936); }

}  // namespace platform
