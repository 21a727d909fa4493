#include "tests/support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir(const std::string& nameHint) {
  // A random name; create_directory reports a name that is already taken,
  // so two test programs never share a folder.
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::ostringstream name;
    name << nameHint << '-' << std::hex << random();
    const std::filesystem::path folder = base / name.str();
    std::error_code ec;
    if (std::filesystem::create_directory(folder, ec)) {
      // Only the user's own, as the folders of mkdtemp are.
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace, ec);
      path_ = folder.generic_string() + "/";
      return;
    }
    if (ec) throw std::runtime_error("cannot create a temporary folder: " + ec.message());
  }
  throw std::runtime_error("no free temporary folder name");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace testing_support
