// The single-instance lock, held by this process and probed from a child.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/single_instance.h"
#include "tests/support/test_db.h"

namespace {

using platform::InstanceLock;

// Points the lock folder at a fresh folder for one test.
class SingleInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = getenv("XDG_RUNTIME_DIR")) saved_ = old;
    setenv("XDG_RUNTIME_DIR", runtime_.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved_)
      setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
  }

  // A name no other run uses.
  static std::string UniqueName(const char* what) {
    return std::string("VARN_QX_518-test-") + what + "-" + std::to_string(getpid());
  }

  // The result of CreateSingleInstanceLock(name) in a child process.
  static InstanceLock InChild(const std::string& name) {
    const pid_t pid = fork();
    if (pid == 0) _exit(static_cast<int>(platform::CreateSingleInstanceLock(name)));
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
      return static_cast<InstanceLock>(-1);
    return static_cast<InstanceLock>(WEXITSTATUS(status));
  }

  testing_support::TempDir runtime_{"zelvoran-runtime"};
  std::optional<std::string> saved_;
};

TEST_F(SingleInstanceTest, SecondLockOfTheSameNameReportsAlreadyRunning) {
  const std::string name = UniqueName("second");
  // Nobody holds it yet: a child gets it, and gives it back when it ends.
  EXPECT_EQ(InChild(name), InstanceLock::Acquired);
  ASSERT_EQ(platform::CreateSingleInstanceLock(name), InstanceLock::Acquired);
  EXPECT_EQ(InChild(name), InstanceLock::AlreadyRunning);
  EXPECT_EQ(InChild(name), InstanceLock::AlreadyRunning);
  // Another name is another lock.
  EXPECT_EQ(InChild(UniqueName("other")), InstanceLock::Acquired);
}

// A runtime folder that cannot be trusted or used is passed by: the lock then
// lies in the user's home, where every copy of the user finds it.
TEST_F(SingleInstanceTest, AnUnfitRuntimeFolderGivesWayToAFolderInTheHome) {
  testing_support::TempDir home("zelvoran-home");
  const std::optional<std::string> savedHome =
      getenv("HOME") ? std::optional<std::string>(getenv("HOME")) : std::nullopt;
  setenv("HOME", home.path().c_str(), 1);
  const std::string file = runtime_.path() + "a-file";
  std::ofstream(file) << "x";
  const std::string foreign = runtime_.path() + "foreign/", open = runtime_.path() + "open/";
  ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
  ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
  ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);

  const std::string lockFolder = home.path() + ".local/state/Zelvoran/";
  const struct {
    const char* what;
    std::optional<std::string> runtime;
  } cases[] = {
      {"unset", std::nullopt},
      {"empty", ""},
      {"missing", runtime_.path() + "missing"},
      {"a file", file},
      {"relative", "relative/runtime"},
      {"another user's", foreign},
      {"open to everyone", open},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.runtime)
      setenv("XDG_RUNTIME_DIR", c.runtime->c_str(), 1);
    else
      unsetenv("XDG_RUNTIME_DIR");
    const std::string name = UniqueName("home");
    ASSERT_EQ(platform::CreateSingleInstanceLock(name + c.what), InstanceLock::Acquired);
    EXPECT_TRUE(std::filesystem::exists(lockFolder + name + c.what + ".lock"));
    EXPECT_EQ(InChild(name + c.what), InstanceLock::AlreadyRunning);
  }
  struct stat info {};
  ASSERT_EQ(lstat(lockFolder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_FALSE(std::filesystem::exists(foreign + UniqueName("home") + "another user's.lock"));

  if (savedHome)
    setenv("HOME", savedHome->c_str(), 1);
  else
    unsetenv("HOME");
}

}  // namespace
