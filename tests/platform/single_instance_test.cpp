// The single-instance lock, held by this process and probed from a child.
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "platform/single_instance.h"
#include "tests/support/test_db.h"

namespace {

namespace fs = std::filesystem;
using platform::InstanceLock;

// A name no other run uses.
std::string UniqueName(const char* what) {
  return std::string("VARN_QX_518-test-") + what + "-" + std::to_string(getpid());
}

// What `take` answers in a child process, after `prepare` ran there.
InstanceLock InChild(const std::function<InstanceLock()>& take,
                     const std::function<void()>& prepare = nullptr) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (prepare) prepare();
    _exit(static_cast<int>(take()));
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return static_cast<InstanceLock>(-1);
  return static_cast<InstanceLock>(WEXITSTATUS(status));
}

TEST(SingleInstance, SecondLockOfTheSameNameReportsAlreadyRunning) {
  testing_support::TempDir folder("zelvoran-lock");
  const std::string name = UniqueName("second");
  const auto take = [&](const std::string& n) {
    return [&folder, n] { return platform::CreateSingleInstanceLockIn({folder.path()}, n); };
  };
  // Nobody holds it yet: a child gets it, and gives it back when it ends.
  EXPECT_EQ(InChild(take(name)), InstanceLock::Acquired);
  ASSERT_EQ(take(name)(), InstanceLock::Acquired);
  EXPECT_EQ(InChild(take(name)), InstanceLock::AlreadyRunning);
  // Another name is another lock.
  EXPECT_EQ(InChild(take(UniqueName("other"))), InstanceLock::Acquired);
}

// The environment of a copy (its runtime folder, its HOME) does not move
// the lock: every copy of the user meets the same one.
TEST(SingleInstance, CopiesWithDifferentEnvironmentsMeetTheSameLock) {
  const std::string name = UniqueName("environment");
  setenv("XDG_RUNTIME_DIR", "/tmp", 1);
  const auto take = [&] { return platform::CreateSingleInstanceLock(name); };
  ASSERT_EQ(take(), InstanceLock::Acquired);
  for (const auto& change : std::vector<std::function<void()>>{
           [] { unsetenv("XDG_RUNTIME_DIR"); }, [] { setenv("HOME", "/tmp", 1); },
           [] { unsetenv("HOME"); }})
    EXPECT_EQ(InChild(take, change), InstanceLock::AlreadyRunning);
  unsetenv("XDG_RUNTIME_DIR");
  // The lock files are this test's own.
  fs::remove(fs::path("/run/user") / std::to_string(geteuid()) / (name + ".lock"));
  if (const passwd* user = getpwuid(geteuid())) {
    fs::remove(fs::path(user->pw_dir) / ".local/state/Zelvoran" / (name + ".lock"));
  }
}

// A place that cannot hold the lock (missing, not a folder, open to others,
// another user's, full) is passed by, and the copies meet in the next one.
TEST(SingleInstance, AnUnfitPlaceGivesWayToTheNext) {
  testing_support::TempDir base("zelvoran-places");
  const std::string file = base.path() + "a-file", foreign = base.path() + "foreign",
                    open = base.path() + "open", full = base.path() + "full";
  std::ofstream(file) << "x";
  ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
  }
  ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(chmod(open.c_str(), 0777), 0);
  ASSERT_EQ(mkdir(full.c_str(), 0700), 0);
  // A file system that takes no new file (its one inode is the folder).
  const bool mounted = mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k,nr_inodes=1,mode=0700") == 0;
  if (!mounted) std::cout << "(case not run) the full place: cannot mount a tmpfs here\n";

  const std::string last = base.path() + "state/Zelvoran";
  const struct {
    const char* what;
    std::string place;
    bool needs;
  } cases[] = {
      {"missing", base.path() + "missing", true},
      {"a file", file, true},
      {"another user's", foreign, root},
      {"open to everyone", open, true},
      {"full", full, mounted},
  };
  for (const auto& c : cases) {
    if (!c.needs) continue;
    SCOPED_TRACE(c.what);
    const std::string name = UniqueName("place") + c.what;
    const auto take = [&] { return platform::CreateSingleInstanceLockIn({c.place, last}, name); };
    ASSERT_EQ(take(), InstanceLock::Acquired);
    EXPECT_TRUE(fs::exists(last + "/" + name + ".lock"));
    EXPECT_FALSE(fs::exists(c.place + "/" + name + ".lock"));
    EXPECT_EQ(InChild(take), InstanceLock::AlreadyRunning);
  }
  struct stat info {};
  ASSERT_EQ(lstat(last.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
  if (mounted) umount2(full.c_str(), MNT_DETACH);
}

}  // namespace
