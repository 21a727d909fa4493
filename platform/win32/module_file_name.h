#pragma once
// The full path of a loaded module (nullptr: the executable), in its wide
// form; empty when the system cannot tell it.
#include <windows.h>

#include <filesystem>
#include <string>

namespace platform::win32 {

inline std::filesystem::path ModuleFileName(HMODULE module) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    // A full buffer means the path may have been cut: try again with more room.
    if (n < buffer.size()) {
      buffer.resize(n);
      return std::filesystem::path(buffer);
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace platform::win32
