// RegisterServerFile / UnregisterServerFile with small libraries built for
// these tests (paths passed in by the build).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/base/Excel_unit.h"
#include "platform/codepage.h"
#include "platform/loadable_module.h"
#include "tests/support/test_db.h"

namespace {

// The path as the program holds it (CP936).
std::string Module(const char* utf8Path) { return platform::Utf8ToCp936(utf8Path); }

// True while the library is loaded into this process.
bool IsLoaded(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (!handle) return false;
  dlclose(handle);
  return true;
}

TEST(ServerFile, EntriesThatReturnZeroSucceed) {
  EXPECT_TRUE(RegisterServerFile(Module(SERVER_OK_MODULE)));
  EXPECT_TRUE(UnregisterServerFile(Module(SERVER_OK_MODULE)));
  EXPECT_FALSE(IsLoaded(SERVER_OK_MODULE));  // released again after each call
}

TEST(ServerFile, AnyOtherStatusCodeIsAFailure) {
  EXPECT_FALSE(RegisterServerFile(Module(SERVER_FAILS_MODULE)));    // E_FAIL, negative
  EXPECT_FALSE(UnregisterServerFile(Module(SERVER_FAILS_MODULE)));  // S_FALSE, positive
  EXPECT_FALSE(IsLoaded(SERVER_FAILS_MODULE));
}

TEST(ServerFile, MissingEntryOrFileIsAFailure) {
  EXPECT_FALSE(RegisterServerFile(Module(SERVER_WITHOUT_ENTRIES_MODULE)));
  EXPECT_FALSE(UnregisterServerFile(Module(SERVER_WITHOUT_ENTRIES_MODULE)));
  EXPECT_FALSE(IsLoaded(SERVER_WITHOUT_ENTRIES_MODULE));

  testing_support::TempDir dir("zelvoran-server");
  EXPECT_FALSE(RegisterServerFile(dir.path() + "pdfview.ocx"));
  EXPECT_FALSE(UnregisterServerFile(dir.path() + "pdfview.ocx"));
  EXPECT_FALSE(RegisterServerFile(""));
  // A file that is no library at all.
  EXPECT_FALSE(RegisterServerFile(platform::Utf8ToCp936(ZELVORAN_SOURCE_DIR "/CMakeLists.txt")));
}

// A module file cut short (an interrupted copy, a full disk) is refused before
// it is loaded, wherever the cut falls: mapping it would end the process.
TEST(ServerFile, ModuleFileCutShortIsRefusedBeforeItIsLoaded) {
  std::ifstream in(SERVER_OK_MODULE, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(whole.size(), 8192u);
  testing_support::TempDir dir("zelvoran-cut");
  const size_t cuts[] = {40, 100, 4096, whole.size() / 2, whole.size() - 1};
  for (const size_t length : cuts) {
    SCOPED_TRACE(length);
    const std::string file = dir.path() + "cut" + std::to_string(length) + ".ocx";
    std::ofstream(file, std::ios::binary) << whole.substr(0, length);
    EXPECT_FALSE(RegisterServerFile(Module(file.c_str())));
    const platform::ModuleLoad load = platform::LoadModuleForGood(file);
    EXPECT_EQ(load.handle, nullptr);
    EXPECT_EQ(load.error.rfind("damaged module file", 0), 0u) << load.error;
    EXPECT_FALSE(IsLoaded(file.c_str()));
  }
  // The whole file, copied the same way, is a sound module.
  const std::string copy = dir.path() + "whole.ocx";
  std::ofstream(copy, std::ios::binary) << whole;
  EXPECT_TRUE(RegisterServerFile(Module(copy.c_str())));
}

}  // namespace
