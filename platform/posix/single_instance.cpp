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

// The user's runtime folder, else a per-user folder under /tmp.
std::string LockFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return runtime;
  std::string folder = "/tmp/zelvoran-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  return folder;
}

}  // namespace

InstanceLock CreateSingleInstanceLock(const std::string& name) {
  const std::string file = LockFolder() + "/" + name + ".lock";
  // Held open (and locked) until the process ends; the system then releases it.
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return InstanceLock::Failed;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return InstanceLock::Acquired;
  const int error = errno;
  close(fd);
  return error == EWOULDBLOCK ? InstanceLock::AlreadyRunning : InstanceLock::Failed;
}

}  // namespace platform
