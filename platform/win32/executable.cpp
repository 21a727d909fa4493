#include "platform/executable.h"

#include "platform/win32/module_file_name.h"

#include <string>

namespace platform {

const char* ProgramExecutableName() { return "Zelvoran.exe"; }

// The wide form of the path holds every character of the folder's name,
// whatever the system's ANSI code page.
std::filesystem::path ExecutablePath() { return win32::ModuleFileName(nullptr); }

std::filesystem::path ExecutableFolder() {
  const std::filesystem::path path = ExecutablePath();
  return path.has_parent_path() ? path.parent_path() : std::filesystem::path(L".");
}

}  // namespace platform
