#include "platform/executable.h"

#include <windows.h>

#include <string>

namespace platform {

const char* ProgramExecutableName() { return "Zelvoran.exe"; }

// GetModuleFileNameA gives the path in the ANSI code page, which is CP936 on
// the systems the program is made for, so the text needs no conversion.
std::string ExecutablePath() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    // A full buffer means the path may have been cut: try again with more room.
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  // The last '\' or '/' that is a character of its own: the second byte of a
  // double-byte CP936 character may have the value of '\' and is skipped.
  size_t cut = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') cut = i;
  }
  return cut == std::string::npos ? std::string(".\\") : path.substr(0, cut + 1);
}

}  // namespace platform
