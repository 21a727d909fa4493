#include "platform/executable.h"

#include <unistd.h>

#include <string>

namespace platform {

const char* ProgramExecutableName() { return "Zelvoran"; }

std::filesystem::path ExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return {};
  buffer.resize(static_cast<size_t>(n));
  // The bytes exactly as the file system gives them.
  return std::filesystem::path(buffer);
}

std::filesystem::path ExecutableFolder() {
  const std::filesystem::path path = ExecutablePath();
  return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace platform
