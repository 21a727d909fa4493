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
#include <sys/stat.h>

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
              const std::string& endName = "", const std::string& stateFile = "") {
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
    env.push_back("ZELVORAN_TEST_LOCK_FOLDER=" + runtime_.path());
    env.push_back("ZELVORAN_TEST_MESSAGE_LOG=" + folder + "messages.log");
    if (!closeSpec.empty()) env.push_back("ZELVORAN_TEST_CLOSE=" + closeSpec);
    if (!endName.empty()) env.push_back("ZELVORAN_TEST_END_NAME=" + endName);
    if (!stateFile.empty()) env.push_back("ZELVORAN_TEST_STATE=" + stateFile);
    const pid_t pid = children_.Start(exe, {}, env);
    EXPECT_GT(pid, 0);
    return pid;
  }

  int WaitForExit(pid_t pid, std::chrono::seconds limit) { return children_.WaitForExit(pid, limit); }

  static bool WaitForFile(const std::string& path, const std::string& content) {
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (Clock::now() < deadline) {
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

TEST_F(ProgramTest, ExitSequenceUnderItsOwnNameEndsEveryCopyAndLeavesEveryChangeInTheFile) {
  TempDir dir("zelvoran-own"), other("zelvoran-other"), later("zelvoran-later"),
      copy("zelvoran-copy");
  const std::string name = UniqueName("own");
  const pid_t before = StartSleeper(other, name);
  // A2 "x": the restore checks the fuzzy box, which saves A2 as "模糊" at once,
  // into the write-ahead log of the database.
  const std::string exe = Install(dir, name, SimpleCriteria(3), {"0", "x", "", "T", "1"});
  ExecOnDb(dir.path(), "pragma journal_mode=wal");
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
  // The program closes its main window once the file "close" exists.
  const std::string close = dir.path() + "close";
  const pid_t program = Start(exe, dir.path(), "main@" + close, name);
  ASSERT_TRUE(WaitForFile(dir.path() + "pdfview.log", "register"));
  // Started after the program, so it comes after it in the process list.
  const pid_t after = StartSleeper(later, name);
  std::ofstream(close).put('\n');
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(60)), 0);
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\nunregister\n");
  EXPECT_EQ(ReadFileBytes(dir.path() + "messages.log"), "");
  EXPECT_TRUE(EndedBySignal(before));
  EXPECT_TRUE(EndedBySignal(after));
  // VARN.mdb copied alone, without the files beside it, holds the change.
  std::filesystem::copy_file(dir.path() + "VARN.mdb", copy.path() + "VARN.mdb");
  EXPECT_EQ(ReadSettingsRows(copy.path()).at(1), "模糊");
  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(data + ".zelvoran-1-1.part"));
}

// A program folder that the user may read but not change (here one that
// root owns, the program run as the ordinary user 65534): it starts without
// a message, and the change of a setting lands in the user's own file.
TEST_F(ProgramTest, RunsFromAFolderTheUserMayOnlyRead) {
  TempDir dir("zelvoran-installed"), home("zelvoran-home");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::group_exec |
                                               std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
  const std::string exe =
      Install(dir, UniqueName("installed"), SimpleCriteria(3), {"0", "x", "", "T", "1"});
  const std::string runtime = home.path() + "runtime";
  std::filesystem::create_directory(runtime);
  for (const std::string& own : {home.path(), runtime})
    ASSERT_EQ(chown(own.c_str(), 65534, 65534), 0);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("ZELVORAN_TEST_", 0) != 0 && entry.rfind("XDG_", 0) != 0 &&
        entry.rfind("HOME=", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
      env.push_back(entry);
  }
  for (const std::string& entry :
       {std::string("QT_QPA_PLATFORM=offscreen"), "HOME=" + home.path(), "XDG_RUNTIME_DIR=" + runtime,
        "ZELVORAN_TEST_MESSAGE_LOG=" + home.path() + "messages.log",
        std::string("ZELVORAN_TEST_CLOSE=exit@1500")})
    env.push_back(entry);
  const pid_t program = children_.Start(
      "/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", exe}, env);
  ASSERT_GT(program, 0);
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(60)), 0);
  EXPECT_EQ(ReadFileBytes(home.path() + "messages.log"), "");
  EXPECT_EQ(ReadSettingsRows(dir.path()).at(1), "x");  // VARN.mdb unchanged
  const std::string kept = home.path() + ".local/share/Zelvoran/";
  std::filesystem::copy_file(kept + "settings.db", kept + "VARN.mdb");
  EXPECT_EQ(ReadSettingsRows(kept).at(1), "模糊");
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
    EXPECT_EQ(WaitForExit(program, std::chrono::seconds(60)), 0);
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
  EXPECT_EQ(WaitForExit(refused, std::chrono::seconds(60)), 0);
  EXPECT_EQ(ReadFileBytes(second.path() + "messages.log"),
            Utf8("系统 @警告") + "\t" + Utf8("系统已经运行！") + "\n");
  EXPECT_EQ(ReadFileBytes(second.path() + "pdfview.log"), "");  // no window was made
  EXPECT_EQ(WaitForExit(running, std::chrono::seconds(0)), -1);  // the first copy runs on
}

TEST_F(ProgramTest, ClosingTheProgressWindowDuringALoadEndsTheProgramAtOnce) {
  TempDir dir("zelvoran-progress"), other("zelvoran-other");
  const std::string name = UniqueName("load");
  const pid_t sleeper = StartSleeper(other, name);
  // 2,000 rows take at least a hundred seconds at the program's pace of
  // 50 ms a row, however quick the machine; the close comes during the first
  // of them. A program that went on to the load's end, or ended through its
  // message loop after it, cannot end within the limit below, which leaves a
  // busy machine plenty of time to start the program and end it.
  const std::string exe = Install(dir, name, SimpleCriteria(2000), kShowAll);
  const auto started = Clock::now();
  const pid_t program = Start(exe, dir.path(), "progress@1000", name);
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(90)), 0);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(60));
  EXPECT_EQ(ReadFileBytes(dir.path() + "messages.log"), "");
  // Closing the progress window runs no exit sequence.
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\n");
  EXPECT_TRUE(EndedBySignal(sleeper));  // every copy of that name ends with it
}

TEST_F(ProgramTest, ClosingTheProgressWindowUnderAnotherNameEndsAfterTheLoad) {
  TempDir dir("zelvoran-progress2");
  // 80 rows take at least four seconds, the close comes after a quarter of
  // one: the load runs, and pumps the close in, long before it ends, even on
  // a busy machine (the close timer starts just before the load does).
  const std::string exe = Install(dir, UniqueName("renamed-load"), SimpleCriteria(80), kShowAll);
  const pid_t program = Start(exe, dir.path(), "progress@250", UniqueName("nothing"));
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(90)), 0);
  // The load went on to its end; the exit sequence was not run.
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\n");
}

// A fuzzy search that finds 2,000 criteria fills the grid for at least a
// hundred seconds. The window answers meanwhile (its state report, a timer,
// shows the rows coming), and a close ends the program through its message
// loop, under another name too, long before the fill could have ended.
TEST_F(ProgramTest, ClosingTheWindowDuringAFuzzyFillEndsTheProgram) {
  TempDir dir("zelvoran-fuzzy");
  const std::string exe =
      Install(dir, UniqueName("fuzzy"), SimpleCriteria(2000), {"0", "模糊", "", "T", "1"});
  std::ofstream(dir.path() + "keyword") << "a";  // a1, a2, ...: every criterion
  const std::string close = dir.path() + "close", state = dir.path() + "state";
  const pid_t program = Start(exe, dir.path(), "search@" + dir.path() + "keyword,main@" + close,
                              UniqueName("nothing"), state);
  ASSERT_TRUE(WaitForFile(state, "row\ta3\t"));  // the third row is in
  std::ofstream(close).put('\n');
  const auto closed = Clock::now();
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(90)), 0);
  EXPECT_LT(Clock::now() - closed, std::chrono::seconds(60));
  EXPECT_EQ(ReadFileBytes(dir.path() + "pdfview.log"), "register\nunregister\n");
  EXPECT_EQ(ReadFileBytes(dir.path() + "messages.log"), "");
}

TEST_F(ProgramTest, RunsFromAFolderWhoseNameGbkLacks) {
  TempDir base("zelvoran-names");
  // "jörg €;x" in UTF-8: GBK has no "ö", so a round trip through CP936 would
  // lose the folder; ";" separates the parts of the connection text.
  const std::string folder = base.path() + "j\xC3\xB6rg \xE2\x82\xAC;x/";
  std::filesystem::create_directory(folder);
  const std::string exe = folder + "criteria-browser";
  std::filesystem::copy_file(ZELVORAN_EXE, exe);
  std::filesystem::copy_file(FAKE_PDFVIEW_MODULE, folder + "pdfview.ocx");
  CreateVarnDb(folder, SimpleCriteria(3), kRetrieval);
  const pid_t program = Start(exe, folder, "main@800");
  EXPECT_EQ(WaitForExit(program, std::chrono::seconds(60)), 0);
  EXPECT_EQ(ReadFileBytes(folder + "messages.log"), "");  // the database opened
  EXPECT_EQ(ReadFileBytes(folder + "pdfview.log"), "register\nunregister\n");
}

}  // namespace
