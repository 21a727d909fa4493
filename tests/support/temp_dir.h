#pragma once
// A temporary folder per test and whole-file reads; plain C++, so the tests
// that use only these run on every platform.
#include <string>

namespace testing_support {

// A fresh folder, removed with its content when the object goes.
class TempDir {
 public:
  explicit TempDir(const std::string& nameHint = "zelvoran");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder as file-system path (generic form), ending in '/'.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Reads a whole file as bytes.
std::string ReadFileBytes(const std::string& path);

}  // namespace testing_support
