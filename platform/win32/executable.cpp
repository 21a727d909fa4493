#include "platform/executable.h"

#include <windows.h>

#include <string>

namespace platform {

const char* ProgramExecutableName() { return "Zelvoran.exe"; }

// The wide form of the path holds every character of the folder's name,
// whatever the system's ANSI code page.
std::filesystem::path ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
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

std::filesystem::path ExecutableFolder() {
  const std::filesystem::path path = ExecutablePath();
  return path.has_parent_path() ? path.parent_path() : std::filesystem::path(L".");
}

}  // namespace platform
