// KillProcessesByName against real child processes: copies of sleep that run
// under the names the program ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/Excel_unit.h"
#include "platform/codepage.h"
#include "tests/support/child_processes.h"
#include "tests/support/test_db.h"

namespace {

using Children = testing_support::ChildProcesses;

TEST(KillProcessesByName, EndsEveryProcessOfThatNameInAnyLetterCase) {
  testing_support::TempDir dir("zelvoran-kill");
  Children children;
  const pid_t lower = children.StartSleeper(dir.path(), "Zelvoran.exe");
  const pid_t upper = children.StartSleeper(dir.path(), "ZELVORAN.EXE");
  const pid_t other = children.StartSleeper(dir.path(), "Zelvoran.exe2");
  ASSERT_GT(lower, 0);
  ASSERT_GT(upper, 0);
  ASSERT_GT(other, 0);

  EXPECT_TRUE(KillProcessesByName("Zelvoran.exe"));
  EXPECT_TRUE(children.EndedBySignal(lower));
  EXPECT_TRUE(children.EndedBySignal(upper));
  EXPECT_TRUE(Children::StillRuns(other));  // a longer name is another name
}

TEST(KillProcessesByName, FullPathMatchesOnlyThatVeryPath) {
  testing_support::TempDir one("zelvoran-kill"), two("zelvoran-kill");
  Children children;
  const std::string name = "zelvoran-path-" + std::to_string(getpid()) + ".exe";
  const pid_t first = children.StartSleeper(one.path(), name);
  const pid_t second = children.StartSleeper(two.path(), name);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);

  // The path in capitals still names the first copy, and only it.
  const std::string path = AsciiUpper(platform::Utf8ToCp936(
      std::filesystem::canonical(one.path()).string() + "/" + name));
  EXPECT_TRUE(KillProcessesByName(path));
  EXPECT_TRUE(children.EndedBySignal(first));
  EXPECT_TRUE(Children::StillRuns(second));
}

TEST(KillProcessesByName, FalseWhenNothingRunsUnderTheName) {
  // Short enough that the kernel's 15-byte command name holds it whole.
  const std::string unique = "zv" + std::to_string(getpid()) + ".exe";
  EXPECT_FALSE(KillProcessesByName(unique));
  EXPECT_FALSE(KillProcessesByName(""));

  // A child that was ended but not yet collected has ended already: it is
  // not ended a second time.
  testing_support::TempDir dir("zelvoran-kill");
  Children children;
  const pid_t pid = children.StartSleeper(dir.path(), unique);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(KillProcessesByName(unique));
  siginfo_t info{};
  ASSERT_EQ(waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT), 0);  // a zombie now
  EXPECT_FALSE(KillProcessesByName(unique));
  EXPECT_TRUE(children.EndedBySignal(pid));
}

}  // namespace
