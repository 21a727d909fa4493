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

// Waits until the process runs the program at `path` (a launcher such as
// setpriv has replaced itself by it).
bool RunsProgram(pid_t pid, const std::string& path) {
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (std::error_code ec; std::chrono::steady_clock::now() < deadline;
       std::this_thread::sleep_for(std::chrono::milliseconds(10)))
    if (std::filesystem::read_symlink(link, ec) == path) return true;
  return false;
}

TEST(KillProcessesByName, EndsTheCallersOwnProcessesOfExactlyThatName) {
  testing_support::TempDir dir("zelvoran-kill");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  Children children;
  // A name of this test run's own, so that no other run's processes are hit.
  const std::string name = "Zelvoran-" + std::to_string(getpid()) + ".exe";
  const pid_t exact = children.StartSleeper(dir.path(), name);
  const pid_t upper = children.StartSleeper(dir.path(), AsciiUpper(name));
  const pid_t longer = children.StartSleeper(dir.path(), name + "2");
  ASSERT_GT(exact, 0);
  ASSERT_GT(upper, 0);
  ASSERT_GT(longer, 0);
  // The very same file, run by another user (the one desktops of nobody in
  // particular run as).
  const std::string path = std::filesystem::canonical(dir.path()).string() + "/" + name;
  std::filesystem::permissions(path, std::filesystem::perms::others_read |
                                         std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add);
  const pid_t otherUser = children.Start(
      "/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--", path, "60"});
  ASSERT_GT(otherUser, 0);
  ASSERT_TRUE(RunsProgram(otherUser, path));

  EXPECT_TRUE(KillProcessesByName(name));
  EXPECT_TRUE(children.EndedBySignal(exact));
  EXPECT_TRUE(Children::StillRuns(upper));   // Linux file names keep their letter case
  EXPECT_TRUE(Children::StillRuns(longer));  // a longer name is another name
  EXPECT_TRUE(Children::StillRuns(otherUser));
}

TEST(KillProcessesByName, FullPathMatchesOnlyThatVeryPath) {
  testing_support::TempDir one("zelvoran-kill"), two("zelvoran-kill");
  Children children;
  const std::string name = "zelvoran-path-" + std::to_string(getpid()) + ".exe";
  const pid_t first = children.StartSleeper(one.path(), name);
  const pid_t second = children.StartSleeper(two.path(), name);
  ASSERT_GT(first, 0);
  ASSERT_GT(second, 0);

  // The full path names the first copy, and only it; in capitals it names none.
  const std::string path =
      platform::Utf8ToCp936(std::filesystem::canonical(one.path()).string() + "/" + name);
  EXPECT_FALSE(KillProcessesByName(AsciiUpper(path)));
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
