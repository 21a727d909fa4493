// KillProcessesByName on real processes: copies of the helper program under
// several names, found by the toolhelp walk and ended by TerminateProcess.
#include <gtest/gtest.h>

#include "core/base/Excel_unit.h"
#include "platform/processes.h"
#include "win32_test_support.h"

namespace {

using win32_testing::Child;
using win32_testing::CopyHelper;
using win32_testing::TempFolder;

// Under Wine the tests run in a Wine prefix of their own, where only their
// own processes run. On Windows a Zelvoran.exe that a person runs would be
// ended with them: there such a test stops before it ends anything.
bool OthersRunAsZelvoranExe() {
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return false;
  bool found = false;
  platform::VisitProcesses([&](const platform::ProcessEntry& entry) {
    const std::string name = entry.exe.substr(entry.exe.find_last_of("\\/:") + 1);
    found = found || AsciiUpper(name) == "ZELVORAN.EXE";
    return true;
  });
  return found;
}

const char kOthersRun[] = "a Zelvoran.exe that this test did not start runs; it would be ended";

TEST(KillProcessesByName, EndsEveryProcessOfThatNameInAnyLetterCaseAndNoOther) {
  if (OthersRunAsZelvoranExe()) GTEST_SKIP() << kOthersRun;
  TempFolder folder(L"zelvoran-kill");
  std::filesystem::create_directory(folder.path() / L"a");
  std::filesystem::create_directory(folder.path() / L"b");
  Child lower(CopyHelper(folder.path() / L"a", L"Zelvoran.exe"), {"wait"});
  Child upper(CopyHelper(folder.path() / L"b", L"ZELVORAN.EXE"), {"wait"});
  Child other(CopyHelper(folder.path() / L"a", L"Zelvoran2.exe"), {"wait"});
  ASSERT_EQ(lower.ReadLine(), "ready");
  ASSERT_EQ(upper.ReadLine(), "ready");
  ASSERT_EQ(other.ReadLine(), "ready");

  // The snapshot names processes by their bare file names, so a full path
  // matches none of them.
  EXPECT_FALSE(KillProcessesByName(
      win32_testing::Cp936Path(folder.path() / L"a" / L"Zelvoran.exe")));
  EXPECT_TRUE(lower.Running());

  EXPECT_TRUE(KillProcessesByName("Zelvoran.exe"));

  // Ended from outside with exit code 0 (a helper that waits its minute out
  // ends with 5).
  EXPECT_EQ(lower.WaitForExit(), 0u);
  EXPECT_EQ(upper.WaitForExit(), 0u);
  EXPECT_TRUE(other.Running());
  // None of that name is left, and this test program runs on.
  EXPECT_FALSE(KillProcessesByName("zelvoran.EXE"));
  EXPECT_TRUE(other.Running());
}

TEST(KillProcessesByName, ACallerNamedZelvoranExeEndsInsideTheCallWithExitCodeZero) {
  if (OthersRunAsZelvoranExe()) GTEST_SKIP() << kOthersRun;
  TempFolder folder(L"zelvoran-self");
  Child caller(CopyHelper(folder.path(), L"Zelvoran.exe"), {"kill", "Zelvoran.exe"});
  ASSERT_TRUE(caller.started());
  // Returning from the call would print "returned ..." and end with code 7.
  EXPECT_EQ(caller.WaitForExit(), 0u);
  EXPECT_EQ(caller.ReadRest(), "before\n");
}

TEST(KillProcessesByName, ACallerOfAnotherNameEndsTheOthersAndGoesOn) {
  if (OthersRunAsZelvoranExe()) GTEST_SKIP() << kOthersRun;
  TempFolder folder(L"zelvoran-other");
  Child target(CopyHelper(folder.path(), L"Zelvoran.exe"), {"wait"});
  ASSERT_EQ(target.ReadLine(), "ready");
  Child caller(CopyHelper(folder.path(), L"Zelvoran_dev.exe"), {"kill", "Zelvoran.exe"});
  EXPECT_EQ(caller.WaitForExit(), 7u);
  EXPECT_EQ(caller.ReadRest(), "before\nreturned 1\n");
  EXPECT_EQ(target.WaitForExit(), 0u);
}

}  // namespace
