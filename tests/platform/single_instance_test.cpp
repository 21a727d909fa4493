// The single-instance lock, held by this process and probed from a child.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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

TEST_F(SingleInstanceTest, UnusableLockFolderFails) {
  setenv("XDG_RUNTIME_DIR", (runtime_.path() + "missing").c_str(), 1);
  EXPECT_EQ(platform::CreateSingleInstanceLock(UniqueName("failed")), InstanceLock::Failed);
}

// Without a runtime folder the lock goes into a per-user folder of the
// temporary folder; here a temporary folder of the test's own.
class LockInTemporaryFolder : public SingleInstanceTest {
 protected:
  void SetUp() override {
    SingleInstanceTest::SetUp();
    unsetenv("XDG_RUNTIME_DIR");
    if (const char* old = getenv("TMPDIR")) savedTmp_ = old;
    setenv("TMPDIR", tmp_.path().c_str(), 1);
  }
  void TearDown() override {
    if (savedTmp_)
      setenv("TMPDIR", savedTmp_->c_str(), 1);
    else
      unsetenv("TMPDIR");
    SingleInstanceTest::TearDown();
  }

  // Where the lock goes when nobody is in the way.
  std::string UserFolder() const { return tmp_.path() + "zelvoran-" + std::to_string(getuid()); }
  static std::string LockFilesIn(const std::string& folder) {
    std::string names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      names += entry.path().filename().string() + " ";
    return names;
  }

  testing_support::TempDir tmp_{"zelvoran-tmp"};
  std::optional<std::string> savedTmp_;
};

TEST_F(LockInTemporaryFolder, IsKeptInAPrivateFolderOfTheUser) {
  const std::string name = UniqueName("private");
  ASSERT_EQ(platform::CreateSingleInstanceLock(name), InstanceLock::Acquired);
  struct stat info {};
  ASSERT_EQ(lstat(UserFolder().c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  EXPECT_EQ(LockFilesIn(UserFolder()), name + ".lock ");
  EXPECT_EQ(InChild(name), InstanceLock::AlreadyRunning);
}

TEST_F(LockInTemporaryFolder, APlantedFolderIsPassedBy) {
  // Someone made the folder first, open to everybody, with a lock file in
  // it that another process holds: the lock must not go there.
  const std::string name = UniqueName("planted");
  ASSERT_EQ(mkdir(UserFolder().c_str(), 0777), 0);
  ASSERT_EQ(chmod(UserFolder().c_str(), 0777), 0);
  const std::string planted = UserFolder() + "/" + name + ".lock";
  const pid_t holder = fork();
  if (holder == 0) {
    setenv("XDG_RUNTIME_DIR", UserFolder().c_str(), 1);
    if (platform::CreateSingleInstanceLock(name) == InstanceLock::Acquired) pause();
    _exit(1);
  }
  ASSERT_GT(holder, 0);
  for (int k = 0; k < 500 && !std::filesystem::exists(planted); ++k) usleep(10000);
  usleep(100000);  // the holder takes the lock right after creating the file

  EXPECT_EQ(platform::CreateSingleInstanceLock(name), InstanceLock::Acquired);
  // Every later copy finds the same private folder, so the guard still holds.
  EXPECT_EQ(InChild(name), InstanceLock::AlreadyRunning);
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);

  // A link to a private folder is not that folder either.
  const std::string linked = UniqueName("linked");
  testing_support::TempDir target("zelvoran-target");
  ASSERT_EQ(chmod(target.path().c_str(), 0700), 0);
  std::filesystem::remove_all(UserFolder());
  std::filesystem::create_directory_symlink(target.path(), UserFolder());
  EXPECT_EQ(platform::CreateSingleInstanceLock(linked), InstanceLock::Acquired);
  EXPECT_EQ(LockFilesIn(target.path()), "");
  EXPECT_EQ(InChild(linked), InstanceLock::AlreadyRunning);
}

}  // namespace
