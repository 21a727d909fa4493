#include "export/file_output.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/codepage.h"

namespace {

// The program names files in CP936; the file system is reached through a
// Unicode path, which both the POSIX and the Windows library accept.
std::filesystem::path FileSystemPath(const std::string& cp936Name) {
  const std::string utf8 = platform::Cp936ToUtf8(cp936Name);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

void WriteWholeFile(const std::string& fileName, std::string_view content) {
  const std::filesystem::path path = FileSystemPath(fileName);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("Cannot Create file " + fileName);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.close();
  if (!out) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw std::runtime_error("Cannot write file " + fileName);
  }
}
