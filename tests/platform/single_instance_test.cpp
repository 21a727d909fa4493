// The single-instance lock, held by this process and probed from a child.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
