#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/codepage.h"
#include "platform/replace_names.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

// How many symbolic links in a row are followed before the name is given up,
// as the kernel does.
constexpr int kMaxLinks = 40;

[[noreturn]] void Fail(const fs::path& file, const std::string& why) {
  throw std::runtime_error("Cannot write file " + PathToCp936(file) + ": " + why);
}
[[noreturn]] void FailErrno(const fs::path& file, int error) { Fail(file, std::strerror(error)); }
// The file cannot be made or opened for writing at all; the message names it
// as the user gave it.
[[noreturn]] void FailCreate(const fs::path& target) {
  throw std::runtime_error("Cannot Create file " + PathToCp936(target));
}


// The file that `name` finally stands for: symbolic links are followed one
// by one (a link relative to its own folder), up to a name that is no link,
// which need not exist yet.
fs::path FollowLinks(const fs::path& target) {
  fs::path name = target;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    std::string buffer(PATH_MAX, '\0');
    const ssize_t n = readlink(name.c_str(), buffer.data(), buffer.size());
    if (n < 0) FailCreate(target);
    buffer.resize(static_cast<size_t>(n));
    const fs::path next = buffer;
    name = next.is_absolute() ? next : name.parent_path() / next;
  }
  FailCreate(target);
}

bool WriteAllAt(int fd, std::string_view data, off_t offset) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = pwrite(fd, data.data() + done, data.size() - done,
                             offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes the one held (errors ignored) and holds `fd` instead.
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now and tells whether closing reported an error.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

// Writes the content into the existing file itself. Room for it is taken
// first where the file system can do that, so a full disk fails before a
// byte changes; a write that fails anyway puts the earlier content back.
void WriteInPlace(const fs::path& target, const fs::path& file, std::string_view content) {
  bool readable = true;
  Descriptor fd(open(file.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY));
  if (!fd.ok() && errno == EACCES) {
    readable = false;
    fd.Reset(open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  }
  if (!fd.ok()) FailCreate(target);
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) FailCreate(target);

  std::string earlier;
  if (readable) {
    earlier.resize(static_cast<size_t>(st.st_size));
    size_t got = 0;
    while (got < earlier.size()) {
      const ssize_t n = pread(fd.get(), earlier.data() + got, earlier.size() - got,
                              static_cast<off_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    earlier.resize(got);
  }

  if (!content.empty() &&
      fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(content.size())) != 0 &&
      (errno == ENOSPC || errno == EFBIG || errno == EDQUOT))
    FailErrno(file, errno);

  if (WriteAllAt(fd.get(), content, 0) &&
      ftruncate(fd.get(), static_cast<off_t>(content.size())) == 0 && fsync(fd.get()) == 0 &&
      fd.Close())
    return;
  const int error = errno;
  if (fd.ok() && readable) {
    WriteAllAt(fd.get(), earlier, 0);
    if (ftruncate(fd.get(), static_cast<off_t>(earlier.size())) == 0) fsync(fd.get());
  }
  FailErrno(file, error);
}

// Creates `file`, which did not exist, with the content; a failed write
// removes what was created.
void WriteNewInPlace(const fs::path& target, const fs::path& file, std::string_view content) {
  Descriptor fd(open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
  if (!fd.ok()) FailCreate(target);
  if (WriteAllAt(fd.get(), content, 0) && fsync(fd.get()) == 0 && fd.Close()) return;
  const int error = errno;
  unlink(file.c_str());
  FailErrno(file, error);
}

enum class Beside { Done, WriteInPlace };

// Writes the content into a temporary file in `folder` that takes over the
// mode, owner and group of `earlier` (when there is an earlier file) and
// renames it over `file`. Answers WriteInPlace, having changed nothing, when
// the temporary file cannot be made or cannot get what the earlier file had.
Beside WriteBesideAndRename(const fs::path& file, const fs::path& folder,
                            const struct stat* earlier, std::string_view content) {
  static std::atomic<unsigned long long> counter{0};
  const replace_names::InFlightName name(
      replace_names::TemporaryName(static_cast<std::uint64_t>(getpid()), ++counter));
  const fs::path temporary = folder / name.name();
  Descriptor fd(open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
  if (!fd.ok()) return Beside::WriteInPlace;
  const auto discard = [&] {
    fd.Reset(-1);
    unlink(temporary.c_str());
  };
  if (earlier) {
    struct stat made {};
    bool kept = fstat(fd.get(), &made) == 0;
    if (kept && (made.st_uid != earlier->st_uid || made.st_gid != earlier->st_gid))
      kept = fchown(fd.get(), earlier->st_uid, earlier->st_gid) == 0;
    // After the owner: a change of owner clears the set-id bits.
    kept = kept && fchmod(fd.get(), earlier->st_mode & 07777) == 0;
    if (!kept) {
      discard();
      return Beside::WriteInPlace;
    }
  }
  if (!WriteAllAt(fd.get(), content, 0) || fsync(fd.get()) != 0 || !fd.Close() ||
      rename(temporary.c_str(), file.c_str()) != 0) {
    const int error = errno;
    discard();
    FailErrno(file, error);
  }
  return Beside::Done;
}

bool ProcessHasEnded(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

void ReplaceFileContent(const fs::path& target, std::string_view content) {
  const fs::path file = FollowLinks(target);
  const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
  RemoveStaleReplacements(folder);

  struct stat earlier {};
  const bool exists = stat(file.c_str(), &earlier) == 0;
  if (!exists && errno != ENOENT) FailCreate(target);
  // A file without any write permission is read-only even for a user the
  // system would let write it anyway.
  if (exists && (!S_ISREG(earlier.st_mode) || (earlier.st_mode & 0222) == 0 ||
                 access(file.c_str(), W_OK) != 0))
    FailCreate(target);
  const bool renameKeepsLinks = !exists || earlier.st_nlink <= 1;
  if (renameKeepsLinks && access(folder.c_str(), W_OK | X_OK) == 0 &&
      WriteBesideAndRename(file, folder, exists ? &earlier : nullptr, content) == Beside::Done)
    return;
  if (exists)
    WriteInPlace(target, file, content);
  else
    WriteNewInPlace(target, file, content);
}

void RemoveStaleReplacements(const fs::path& folder) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const auto self = static_cast<std::uint64_t>(getpid());
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    const std::optional<std::uint64_t> writer = replace_names::WriterOf(name);
    if (!writer || *writer == 0 || *writer > static_cast<std::uint64_t>(INT_MAX)) continue;
    bool stale;
    if (*writer == self) {
      stale = !replace_names::InFlightName::IsInFlight(name);
    } else {
      stale = ProcessHasEnded(static_cast<pid_t>(*writer));
    }
    struct stat st {};
    if (stale && fstatat(dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode))
      unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

}  // namespace platform
