// RegisterServerFile / UnregisterServerFile with small libraries built for
// these tests (paths passed in by the build).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "core/base/Excel_unit.h"
#include "platform/codepage.h"
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

}  // namespace
