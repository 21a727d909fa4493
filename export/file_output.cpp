#include "export/file_output.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/codepage.h"

namespace {

// A name beside the target that no other writer picks at the same time.
std::filesystem::path TemporaryBeside(const std::filesystem::path& target) {
  static std::atomic<unsigned> counter{0};
  const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path name = target;
  name += "." + std::to_string(tick) + "-" + std::to_string(counter++) + ".part";
  return name;
}

}  // namespace

void WriteWholeFile(const std::filesystem::path& fileName, std::string_view content) {
  const std::string shown = platform::PathToCp936(fileName);
  const std::filesystem::path temporary = TemporaryBeside(fileName);
  std::error_code ignored;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("Cannot Create file " + shown);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    out.close();
    if (!out) {
      std::filesystem::remove(temporary, ignored);
      throw std::runtime_error("Cannot write file " + shown);
    }
  }
  std::error_code renamed;
  std::filesystem::rename(temporary, fileName, renamed);
  if (renamed) {
    std::filesystem::remove(temporary, ignored);
    throw std::runtime_error("Cannot Create file " + shown);
  }
}
