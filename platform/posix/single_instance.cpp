#include "platform/single_instance.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace platform {
namespace fs = std::filesystem;
namespace {

// Opens `folder` when it is fit to hold the lock: a real folder (not a link
// to one), owned by this user, that no other user may write to, so that
// nobody else can put or hold a lock file in it. When `create` is set, a
// missing folder is made with mode 0700, whatever the umask, and the
// folders above it with the usual modes. -1 otherwise.
int OpenPrivateFolder(const fs::path& folder, bool create) {
  bool created = false;
  if (create) {
    fs::path part;
    for (const fs::path& piece : folder) {
      part /= piece;
      if (part != folder) mkdir(part.c_str(), 0755);
    }
    created = mkdir(folder.c_str(), 0700) == 0;
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_uid == geteuid()) {
    if (created) fchmod(fd, 0700);
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & 022) == 0)
      return fd;
  }
  close(fd);
  return -1;
}

enum class Taken { Held, Busy, Unusable };

// Takes the lock file `name` in `folder`; the descriptor stays open (and
// locked) until the process ends, when the system releases it. A lock file
// that exists already is opened even where no new file can be made (a full
// disk), so a copy that made it earlier is still seen.
Taken TakeIn(const fs::path& folder, bool create, const std::string& name) {
  const int dir = OpenPrivateFolder(folder, create);
  if (dir < 0) return Taken::Unusable;
  const std::string file = name + ".lock";
  int fd = openat(dir, file.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT)
    fd = openat(dir, file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  close(dir);
  if (fd < 0) return Taken::Unusable;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return Taken::Unusable;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return Taken::Held;
  const int error = errno;
  close(fd);
  return error == EWOULDBLOCK ? Taken::Busy : Taken::Unusable;
}

struct Place {
  fs::path folder;
  bool create;
};

InstanceLock TakeAll(const std::vector<Place>& places, const std::string& name) {
  bool held = false;
  for (const Place& place : places) {
    switch (TakeIn(place.folder, place.create, name)) {
      case Taken::Busy: return InstanceLock::AlreadyRunning;
      case Taken::Held: held = true; break;
      case Taken::Unusable: break;
    }
  }
  return held ? InstanceLock::Acquired : InstanceLock::Failed;
}

}  // namespace

InstanceLock CreateSingleInstanceLockIn(const std::vector<fs::path>& folders,
                                        const std::string& name) {
  std::vector<Place> places;
  for (size_t i = 0; i < folders.size(); ++i) places.push_back({folders[i], i + 1 == folders.size()});
  return TakeAll(places, name);
}

InstanceLock CreateSingleInstanceLock(const std::string& name) {
  const uid_t user = geteuid();
  // The runtime folder is the system's to make; the one in the home is ours.
  std::vector<Place> places{{fs::path("/run/user") / std::to_string(user), false}};
  if (const passwd* entry = getpwuid(user); entry && entry->pw_dir && entry->pw_dir[0] == '/')
    places.push_back({fs::path(entry->pw_dir) / ".local" / "state" / "Zelvoran", true});
  return TakeAll(places, name);
}

}  // namespace platform
