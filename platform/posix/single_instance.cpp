#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

// How many per-user folders under the temporary folder are tried before the
// lock is given up.
constexpr int kPrivateFolderTries = 16;

// Opens `folder` when it is fit to hold the lock: a real folder (not a link
// to one), owned by this user, with mode 0700, so that no other user can put
// or hold a lock file in it. A folder that this call creates is made so,
// whatever the umask. -1 otherwise.
int OpenPrivateFolder(const std::string& folder) {
  const bool created = mkdir(folder.c_str(), 0700) == 0;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_uid == getuid()) {
    if (created) fchmod(fd, 0700);
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 07777) == 0700)
      return fd;
  }
  close(fd);
  return -1;
}

// The folder of the lock, open: the user's runtime folder; without one, a
// per-user folder in the temporary folder ($TMPDIR, else /tmp). When another
// user has taken that folder's name, or its mode lets others in, the next
// name of a fixed sequence is tried, so that every copy of this user finds
// the same folder.
int OpenLockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return open(runtime, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const char* tmp = std::getenv("TMPDIR");
  const std::string base =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/zelvoran-" + std::to_string(getuid());
  for (int k = 0; k < kPrivateFolderTries; ++k) {
    const int fd = OpenPrivateFolder(k == 0 ? base : base + "-private-" + std::to_string(k));
    if (fd >= 0) return fd;
  }
  return -1;
}

}  // namespace

InstanceLock CreateSingleInstanceLock(const std::string& name) {
  const int folder = OpenLockFolder();
  if (folder < 0) return InstanceLock::Failed;
  // Held open (and locked) until the process ends; the system then releases it.
  const int fd = openat(folder, (name + ".lock").c_str(),
                        O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  close(folder);
  if (fd < 0) return InstanceLock::Failed;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return InstanceLock::Acquired;
  const int error = errno;
  close(fd);
  return error == EWOULDBLOCK ? InstanceLock::AlreadyRunning : InstanceLock::Failed;
}

}  // namespace platform
