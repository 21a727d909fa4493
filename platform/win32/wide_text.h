#pragma once
// Narrow texts of a given code page to and from the wide (UTF-16) texts of the
// Windows API, for the Win32 implementations of platform/ only. A byte
// sequence or character that the other side cannot hold becomes '?'.
#include <string>
#include <string_view>

namespace platform::win32 {

inline constexpr unsigned kCodePage936 = 936;
inline constexpr unsigned kCodePageUtf8 = 65001;

std::wstring WideFromCodePage(std::string_view text, unsigned codePage);
std::string CodePageFromWide(std::wstring_view text, unsigned codePage);

}  // namespace platform::win32
