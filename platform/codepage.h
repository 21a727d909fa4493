#pragma once
// The one place where the program's CP936 (GBK) text meets Unicode.
// Bytes that cannot be converted become '?', so a damaged text never throws.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

std::string Cp936ToUtf8(std::string_view cp936);
std::string Utf8ToCp936(std::string_view utf8);

// File names are not program text: they stay native from where the system
// gives them to where the system takes them. These two are for the places
// that hand a path to a library taking UTF-8 (SQLite) or show it as text.
inline std::string PathToUtf8(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}
inline std::string PathToCp936(const std::filesystem::path& path) {
  return Utf8ToCp936(PathToUtf8(path));
}

}  // namespace platform
