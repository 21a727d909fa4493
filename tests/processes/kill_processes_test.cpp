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
#include "base/shutdown.h"
#include "platform/codepage.h"
#include "tests/support/child_processes.h"
#include "tests/support/test_db.h"

namespace {

using Children = testing_support::ChildProcesses;

TEST(KillProcessesByName, EndsEveryProcessOfThatNameInAnyLetterCase) {
  testing_support::TempDir dir("zelvoran-kill");
  Children children;
  // A name of this test run's own, so that no other run's processes are hit.
  const std::string name = "Zelvoran-" + std::to_string(getpid()) + ".exe";
  const pid_t mixed = children.StartSleeper(dir.path(), name);
  const pid_t upper = children.StartSleeper(dir.path(), AsciiUpper(name));
  const pid_t other = children.StartSleeper(dir.path(), name + "2");
  ASSERT_GT(mixed, 0);
  ASSERT_GT(upper, 0);
  ASSERT_GT(other, 0);

  EXPECT_TRUE(KillProcessesByName(name));
  EXPECT_TRUE(children.EndedBySignal(mixed));
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

TEST(KillProcessesByName, TheExitSequenceEndsTheFileNameOfTheBuiltProgram) {
  // Nothing in this test program has changed the name: it is the one the
  // program users run ends at exit, and it must be its own file's name, or
  // the program outlives its exit sequence.
  EXPECT_EQ(ExecutableNameEndedAtExit(),
            std::filesystem::path(ZELVORAN_PROGRAM_EXE).filename().string());
}

}  // namespace
