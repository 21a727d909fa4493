#include "platform/executable.h"

#include <unistd.h>

#include <string>

#include "platform/codepage.h"

namespace platform {

const char* ProgramExecutableName() { return "Zelvoran"; }

std::string ExecutablePath() {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0) return {};
  buffer.resize(static_cast<size_t>(n));
  return Utf8ToCp936(buffer);
}

std::string ExecutableFolder() {
  const std::string path = ExecutablePath();
  const size_t cut = path.find_last_of('/');
  return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

}  // namespace platform
