// The single-instance lock between real processes: copies of the helper
// program take the lock the way the program's start-up does.
#include <gtest/gtest.h>

#include "win32_test_support.h"

namespace {

using win32_testing::Child;
using win32_testing::ProgramFolder;

std::filesystem::path Helper() { return ProgramFolder() / L"win32_helper.exe"; }

TEST(SingleInstance, ASecondCopyIsRefusedWhileTheFirstRunsAndAllowedAfterItEnds) {
  Child first(Helper(), {"lock", "VARN_QX_518", "hold"});
  ASSERT_TRUE(first.started());
  ASSERT_EQ(first.ReadLine(), "Acquired");
  {
    Child second(Helper(), {"lock", "VARN_QX_518"});
    EXPECT_EQ(second.ReadLine(), "AlreadyRunning");
    EXPECT_EQ(second.WaitForExit(), 0u);
  }
  EXPECT_TRUE(first.Running());  // the refusal leaves the first copy alone

  first.CloseInput();  // the first copy ends, and the system frees its lock
  ASSERT_EQ(first.WaitForExit(), 0u);
  Child third(Helper(), {"lock", "VARN_QX_518"});
  EXPECT_EQ(third.ReadLine(), "Acquired");
}

TEST(SingleInstance, ANameThatBelongsToAnotherKindOfObjectIsAFailureNotARefusal) {
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, "Zelvoran_test_not_a_mutex");
  ASSERT_NE(event, nullptr);
  Child child(Helper(), {"lock", "Zelvoran_test_not_a_mutex"});
  EXPECT_EQ(child.ReadLine(), "Failed");
  CloseHandle(event);
}

}  // namespace
