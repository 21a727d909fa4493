// The whole program as a separate process: one copy per logon, the exit
// sequence under its own name and under another, and closing the progress
// window during a load.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "platform/codepage.h"
#include "tests/support/browser_fixture.h"
#include "tests/support/child_processes.h"
#include "tests/support/test_db.h"

extern char** environ;

namespace {

using namespace testing_support;
using Clock = std::chrono::steady_clock;

class ProgramTest : public ::testing::Test {
 protected:
  // A program folder: the executable under `name`, its database, the control.
  std::string Install(TempDir& dir, const std::string& name, const std::vector<Criterion>& rows,
                      const std::vector<std::string>& settings) {
    const std::string exe = dir.path() + name;
    std::filesystem::copy_file(ZELVORAN_EXE, exe);
    std::filesystem::copy_file(FAKE_PDFVIEW_MODULE, dir.path() + "pdfview.ocx");
    CreateVarnDb(dir.path(), rows, settings);
    return exe;
  }

  // Starts the program offscreen, its message boxes logged in its folder.
  // `endName` is the name its exit sequence ends; empty: its own full path.
  pid_t Start(const std::string& exe, const std::string& folder, const std::string& closeSpec,
              const std::string& endName = "") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      if (entry.rfind("ZELVORAN_TEST_", 0) == 0 || entry.rfind("XDG_RUNTIME_DIR=", 0) == 0 ||
          entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
        continue;
      env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen");
    env.push_back("XDG_RUNTIME_DIR=" + runtime_.path());
    env.push_back("ZELVORAN_TEST_MESSAGE_LOG=" + folder + "messages.log");
    if (!closeSpec.empty()) env.push_back("ZELVORAN_TEST_CLOSE=" + closeSpec);
    if (!endName.empty()) env.push_back("ZELVORAN_TEST_END_NAME=" + endName);
    const pid_t pid = children_.Start(exe, {}, env);
    EXPECT_GT(pid, 0);
    return pid;
  }

  int WaitForExit(pid_t pid, std::chrono::seconds limit) { return children_.WaitForExit(pid, limit); }

  static bool WaitForFile(const std::string& path, const std::string& content) {
    for (int k = 0; k < 1000; ++k) {
      if (ReadFileBytes(path).find(content) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  // An executable name that no other test run uses, so that ending every
  // process of it ends only what this test started.
  static std::string UniqueName(const std::string& what) {
    return "zv" + std::to_string(getpid()) + "-" + what;
  }

  // A copy of sleep under `name` in a folder of its own.
  pid_t StartSleeper(TempDir& dir, const std::string& name) {
    return children_.StartSleeper(dir.path(), name);
  }
  bool EndedBySignal(pid_t pid) { return children_.EndedBySignal(pid); }

  static std::string Utf8(const std::string& cp936) { return platform::Cp936ToUtf8(cp936); }

  TempDir runtime_{"zelvoran-runtime"};
  ChildProcesses children_;
};

const std::vector<std::string> kRetrieval = {"0", "精确", "", "T", "1"};
const std::vector<std::string> kShowAll = {"0", "精确", "", "T", "0"};

TEST_F(ProgramTest, ExitSequenceUnderItsOwnNameEndsEveryCopy) {
  TempDir dir("zelvoran-own"), other("zelvoran-other");
  const std::string name = UniqueName("own");
  const pid_t sleeper = StartSleeper(other, name);
  const std::string exe = Install(dir, name, SimpleCriteria(3), kRetrieval);
  // A temporary file of an export that was killed (its process has ended)
  // goes at the start; one of a running process (init) stays.
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  waitpid(ended, nullptr, 0);
  const std::string data = dir.path() + "Data/";
  std::filesystem::create_directory(data);
  const std::string stale = data + ".zelvoran-" + std::to_string(ended) + "-1.part";
  std::ofstream(stale) << "half an export";
  std::ofstream(data + ".zelvoran-1-1.part") << "still being written";
  const pid_t program = Start(exe, dir.path(), "main@400", name);
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(20)), 0);
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\nunregister\n");
  EXPECT_EQ(ReadFileBytes(dir.path() + "messages.log"), "");
  EXPECT_TRUE(EndedBySignal(sleeper));
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(data + ".zelvoran-1-1.part"));
}

// Under another name the exit sequence returns and the message loop ends the
// program; the sequence runs once whichever way out was taken.
TEST_F(ProgramTest, EveryWayOutUnderAnotherNameRunsTheExitSequenceOnce) {
  for (const char* way : {"exit", "main"}) {
    SCOPED_TRACE(way);
    TempDir dir("zelvoran-renamed"), other("zelvoran-other");
    const std::string ended = UniqueName("ended");
    const pid_t sleeper = StartSleeper(other, ended);
    const std::string exe = Install(dir, UniqueName("renamed"), SimpleCriteria(3), kRetrieval);
    const pid_t program = Start(exe, dir.path(), std::string(way) + "@400", ended);
    EXPECT_EQ(WaitForExit(program, std::chrono::seconds(20)), 0);
    EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\nunregister\n");
    EXPECT_EQ(ReadFileBytes(dir.path() + "messages.log"), "");
    EXPECT_TRUE(EndedBySignal(sleeper));
  }
}

TEST_F(ProgramTest, SecondCopyIsRefusedWithExitCodeZero) {
  TempDir first("zelvoran-first"), second("zelvoran-second");
  const std::string exe1 = Install(first, "criteria-one", SimpleCriteria(2), kRetrieval);
  const std::string exe2 = Install(second, "criteria-two", SimpleCriteria(2), kRetrieval);
  const pid_t running = Start(exe1, first.path(), "");
  ASSERT_TRUE(WaitForFile(first.path() + "pdfview.log", "register"));
  const pid_t refused = Start(exe2, second.path(), "");
  EXPECT_EQ(WaitForExit(refused, std::chrono::seconds(20)), 0);
  EXPECT_EQ(ReadFileBytes(second.path() + "messages.log"),
            Utf8("系统 @警告") + "\t" + Utf8("系统已经运行！") + "\n");
  EXPECT_EQ(ReadFileBytes(second.path() + "pdfview.log"), "");  // no window was made
  EXPECT_EQ(WaitForExit(running, std::chrono::seconds(0)), -1);  // the first copy runs on
}

TEST_F(ProgramTest, ClosingTheProgressWindowDuringALoadEndsTheProgramAtOnce) {
  TempDir dir("zelvoran-progress"), other("zelvoran-other");
  const std::string name = UniqueName("load");
  const pid_t sleeper = StartSleeper(other, name);
  // 400 rows take at least twenty seconds at the program's pace of 50 ms a
  // row; the close comes after one and a half. A program that went on to
  // the load's end, or ended through its message loop after it, ends far
  // too late for the limit below.
  const std::string exe = Install(dir, name, SimpleCriteria(400), kShowAll);
  const auto started = Clock::now();
  const pid_t program = Start(exe, dir.path(), "progress@1500", name);
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(40)), 0);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(12));
  EXPECT_EQ(ReadFileBytes(dir.path() + "messages.log"), "");
  // Closing the progress window runs no exit sequence.
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\n");
  EXPECT_TRUE(EndedBySignal(sleeper));  // every copy of that name ends with it
}

TEST_F(ProgramTest, ClosingTheProgressWindowUnderAnotherNameEndsAfterTheLoad) {
  TempDir dir("zelvoran-progress2");
  const std::string exe = Install(dir, UniqueName("renamed-load"), SimpleCriteria(30), kShowAll);
  const pid_t program = Start(exe, dir.path(), "progress@600", UniqueName("nothing"));
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(30)), 0);
  // The load went on to its end; the exit sequence was not run.
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\n");
}

TEST_F(ProgramTest, RunsFromAFolderWhoseNameGbkLacks) {
  TempDir base("zelvoran-names");
  // "jörg €" in UTF-8: GBK has no "ö", so a round trip through CP936 would
  // lose the folder.
  const std::string folder = base.path() + "j\xC3\xB6rg \xE2\x82\xAC/";
  std::filesystem::create_directory(folder);
  const std::string exe = folder + "criteria-browser";
  std::filesystem::copy_file(ZELVORAN_EXE, exe);
  std::filesystem::copy_file(FAKE_PDFVIEW_MODULE, folder + "pdfview.ocx");
  CreateVarnDb(folder, SimpleCriteria(3), kRetrieval);
  const pid_t program = Start(exe, folder, "main@800");
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(20)), 0);
  EXPECT_EQ(ReadFileBytes(folder + "messages.log"), "");  // the database opened
  EXPECT_EQ(ReadFileBytes(folder + "pdfview.log"), "register\nunregister\n");
}

}  // namespace
