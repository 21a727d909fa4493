#pragma once
// Whether a module path names one file wherever the program runs.
#include <filesystem>
#include <string>

namespace platform::win32 {

// A full path: "C:\..." or a network path "\\server\share\...". "C:x" and
// "\x" are relative to a current drive or folder, and a bare name is looked
// for along the search path.
inline bool FullPath(const std::filesystem::path& module) {
  const std::wstring& text = module.native();
  auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  const wchar_t letter = text.empty() ? L'\0' : static_cast<wchar_t>(text[0] | 0x20);
  const bool drive = text.size() >= 3 && letter >= L'a' && letter <= L'z' && text[1] == L':' &&
                     separator(text[2]);
  const bool network = text.size() >= 3 && separator(text[0]) && separator(text[1]) && !separator(text[2]);
  return drive || network;
}

}  // namespace platform::win32
