// KillProcessesByName against real child processes: copies of sleep that run
// under the names the program ends.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/base/Excel_unit.h"
#include "gui/base/shutdown.h"
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

// The state letter of a process's main thread ("" when it is gone).
std::string MainThreadState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t close = line.rfind(')');
  return close == std::string::npos || close + 2 >= line.size() ? "" : line.substr(close + 2, 1);
}

// In a child that runs as the ordinary user 65534: a process of that user
// that made itself non-dumpable and took `name` as its short name, and a
// call to end every process of that name. The child's exit code: 0 when
// the call returned false and left the process running.
int EndANonDumpableProcessAsAnOrdinaryUser(const std::string& name) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
    int ready[2];
    if (pipe(ready) != 0) _exit(11);
    const pid_t target = fork();
    if (target == 0) {
      prctl(PR_SET_DUMPABLE, 0);
      prctl(PR_SET_NAME, name.c_str());
      (void)!write(ready[1], "x", 1);
      pause();
      _exit(0);
    }
    char byte;
    if (target < 0 || read(ready[0], &byte, 1) != 1) _exit(12);
    const bool result = KillProcessesByName(name);
    const bool runs = waitpid(target, nullptr, WNOHANG) == 0;
    kill(target, SIGKILL);
    waitpid(target, nullptr, 0);
    _exit(result ? 1 : runs ? 0 : 2);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// What ends and what is left alone where the executable's path is not
// plain to read.
TEST(KillProcessesByName, EndsWhatItCanNameAndLeavesAloneWhatItCannot) {
  testing_support::TempDir dir("zelvoran-kill");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  Children children;

  // A process whose main thread has ended runs on in its other thread.
  const std::string leader = "zvl" + std::to_string(getpid());
  std::filesystem::copy_file(LEADER_EXITS_PROGRAM, dir.path() + leader);
  const pid_t running = children.Start(dir.path() + leader);
  ASSERT_GT(running, 0);
  for (int k = 0; k < 1000 && MainThreadState(running) != "Z"; ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(MainThreadState(running), "Z");
  EXPECT_TRUE(KillProcessesByName(leader));
  EXPECT_TRUE(children.EndedBySignal(running));

  // The user's own process whose executable cannot be read is not ended on
  // its short name alone.
  EXPECT_EQ(EndANonDumpableProcessAsAnOrdinaryUser("zvn" + std::to_string(getpid())), 0);

  // Kernel threads have no executable at all.
  std::ifstream comm("/proc/2/comm");
  std::string kernelThread;
  std::getline(comm, kernelThread);
  if (kernelThread == "kthreadd") EXPECT_FALSE(KillProcessesByName(kernelThread));
}

TEST(KillProcessesByName, TheExitSequenceEndsTheFileNameOfTheBuiltProgram) {
  // Nothing in this test program has changed the name: it is the one the
  // program users run ends at exit, and it must be its own file's name, or
  // the program outlives its exit sequence.
  EXPECT_EQ(ExecutableNameEndedAtExit(),
            std::filesystem::path(ZELVORAN_PROGRAM_EXE).filename().string());
}

}  // namespace
