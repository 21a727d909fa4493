#include "platform/single_instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

// Opens `folder` when it is fit to hold the lock: a real folder (not a link
// to one), owned by this user, that no other user may write to, so that
// nobody else can put or hold a lock file in it. When `create` is set, a
// missing folder is made with mode 0700, whatever the umask. -1 otherwise.
int OpenPrivateFolder(const std::string& folder, bool create) {
  const bool created = create && mkdir(folder.c_str(), 0700) == 0;
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_uid == geteuid()) {
    if (created) fchmod(fd, 0700);
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 022) == 0 &&
        faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) == 0)
      return fd;
  }
  close(fd);
  return -1;
}

// The user's home folder: $HOME when it is an absolute path, else the one
// the user database names. Empty when there is none.
std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* user = getpwuid(geteuid()); user && user->pw_dir && user->pw_dir[0] == '/')
    return user->pw_dir;
  return {};
}

// The folder of the lock, open: the user's runtime folder, where it is an
// absolute path to a folder of this user that no one else may write to
// (a relative one is ignored, as the XDG rules say). Otherwise a folder in
// the user's home ("~/.local/state/Zelvoran"), which no other user can make
// or plant, so that every copy of this user meets the same lock.
int OpenLockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
    const int fd = OpenPrivateFolder(runtime, false);
    if (fd >= 0) return fd;
  }
  const std::string home = HomeFolder();
  if (home.empty()) return -1;
  // The folders above the last one belong to the user's ordinary layout:
  // they are made where missing, with the usual modes.
  std::string folder = home;
  for (const char* part : {"/.local", "/.local/state"}) {
    folder = home + part;
    mkdir(folder.c_str(), 0755);
  }
  return OpenPrivateFolder(folder + "/Zelvoran", true);
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
