#include "platform/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/replace_names.h"

namespace platform {
namespace fs = std::filesystem;
namespace {

// How long an export waits for another one that writes the same file.
constexpr auto kLockWait = std::chrono::seconds(30);
// The first line of a complete undo file.
constexpr std::string_view kUndoMagic = "ZELVORAN-UNDO 1\n";
constexpr std::string_view kUndoPrefix = "undo-";

[[noreturn]] void Fail(const fs::path& file, const std::string& why) {
  throw std::runtime_error("Cannot write file " + PathToCp936(file) + ": " + why);
}
[[noreturn]] void FailErrno(const fs::path& file, int error) { Fail(file, std::strerror(error)); }
// The file cannot be made or opened for writing at all; the message names it
// as the user gave it.
[[noreturn]] void FailCreate(const fs::path& target) {
  throw std::runtime_error("Cannot Create file " + PathToCp936(target));
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes the one held (errors ignored) and holds `fd` instead.
  void Reset(int fd = -1) {
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

// Copies `size` bytes from `from` at `fromOffset` to `to` at `toOffset`
// through a small buffer, so a file of any size costs little memory.
bool CopyBytes(int from, off_t fromOffset, int to, off_t toOffset, off_t size) {
  std::vector<char> buffer(1 << 20);
  off_t done = 0;
  while (done < size) {
    const size_t want = static_cast<size_t>(std::min<off_t>(size - done, static_cast<off_t>(buffer.size())));
    const ssize_t n = pread(from, buffer.data(), want, fromOffset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // shorter than it was
      return false;
    }
    if (!WriteAllAt(to, std::string_view(buffer.data(), static_cast<size_t>(n)), toOffset + done))
      return false;
    done += n;
  }
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Takes the lock that every export holds on the file it writes, waiting a
// while for another export of that file to finish.
bool LockForWriting(int fd) {
  const auto deadline = std::chrono::steady_clock::now() + kLockWait;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) return errno == ENOLCK || errno == EINVAL;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// ---------------------------------------------------------------------------
// Undo files. Before a file is written in place, its earlier content is
// copied into an undo file in a folder of the user's own and synced there;
// the undo file goes when the new content is complete and synced. An undo
// file that outlives its writer (killed, or its restore failed too) is put
// back by the next export or start.
//
// Layout: the magic line, "<device> <inode> <size>\n", the target's absolute
// name and "\n", then the earlier content. The magic line is written last,
// so a file without it was never complete and the target was not touched.
// The writer holds an exclusive lock on the undo file while it lives.

// $XDG_STATE_HOME/Zelvoran/replace, else ~/.local/state/Zelvoran/replace.
fs::path UndoFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && state[0] == '/')
    return fs::path(state) / "Zelvoran" / "replace";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  if (home.empty())
    if (const passwd* user = getpwuid(geteuid()); user && user->pw_dir && user->pw_dir[0] == '/')
      home = user->pw_dir;
  if (home.empty()) return {};
  return fs::path(home) / ".local" / "state" / "Zelvoran" / "replace";
}

// The undo folder, open, when it is a real folder of this user that nobody
// else may write; made (mode 0700) when `create` is set. -1 otherwise.
int OpenUndoFolder(bool create) {
  const fs::path folder = UndoFolder();
  if (folder.empty()) return -1;
  if (create) {
    fs::path part;
    for (const fs::path& piece : folder) {
      part /= piece;
      mkdir(part.c_str(), part == folder ? 0700 : 0755);
    }
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 022) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

struct UndoHeader {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::string target;
  off_t contentOffset = 0;
};

std::string HeaderText(const UndoHeader& h) {
  return std::string(kUndoMagic) + std::to_string(static_cast<unsigned long long>(h.device)) + " " +
         std::to_string(static_cast<unsigned long long>(h.inode)) + " " +
         std::to_string(static_cast<long long>(h.size)) + "\n" + h.target + "\n";
}

std::optional<UndoHeader> ReadHeader(int fd) {
  std::string text(kUndoMagic.size() + 64 + PATH_MAX + 2, '\0');
  const ssize_t n = pread(fd, text.data(), text.size(), 0);
  if (n <= 0) return std::nullopt;
  text.resize(static_cast<size_t>(n));
  if (!text.starts_with(kUndoMagic)) return std::nullopt;
  const size_t numbersEnd = text.find('\n', kUndoMagic.size());
  if (numbersEnd == std::string::npos) return std::nullopt;
  const size_t nameEnd = text.find('\n', numbersEnd + 1);
  if (nameEnd == std::string::npos) return std::nullopt;
  unsigned long long device = 0, inode = 0;
  long long size = -1;
  if (std::sscanf(text.c_str() + kUndoMagic.size(), "%llu %llu %lld", &device, &inode, &size) != 3 ||
      size < 0)
    return std::nullopt;
  UndoHeader h;
  h.device = static_cast<dev_t>(device);
  h.inode = static_cast<ino_t>(inode);
  h.size = static_cast<off_t>(size);
  h.target = text.substr(numbersEnd + 1, nameEnd - numbersEnd - 1);
  h.contentOffset = static_cast<off_t>(nameEnd + 1);
  return h;
}

// Puts the content of an undo file back into `target`, an open descriptor
// of the file it was taken from.
bool PutBack(int undo, const UndoHeader& h, int target) {
  return ftruncate(target, 0) == 0 && CopyBytes(undo, h.contentOffset, target, 0, h.size) &&
         fsync(target) == 0;
}

// Deals with one undo file whose writer has gone. `locked` is a file that
// this process holds the write lock of (with its descriptor), or null.
void RecoverOne(int folder, const char* name, const struct stat* locked, int lockedFd) {
  Descriptor undo(openat(folder, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat st {};
  if (!undo.ok() || fstat(undo.get(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  // A lock that is held belongs to an export that still runs; a file without
  // links was finished (and removed) by its writer meanwhile.
  if (flock(undo.get(), LOCK_EX | LOCK_NB) != 0 || fstat(undo.get(), &st) != 0 || st.st_nlink == 0)
    return;
  const std::optional<UndoHeader> h = ReadHeader(undo.get());
  if (!h || st.st_size < h->contentOffset + h->size) {
    // Never complete: the target was not touched yet.
    unlinkat(folder, name, 0);
    return;
  }
  if (locked) {
    if (locked->st_dev != h->device || locked->st_ino != h->inode) return;
    if (PutBack(undo.get(), *h, lockedFd)) unlinkat(folder, name, 0);
    return;
  }
  Descriptor target(open(h->target.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat now {};
  if (!target.ok() || fstat(target.get(), &now) != 0) {
    // Gone, or out of reach for now (an unmounted disk): tried again later,
    // unless that name now holds another file.
    struct stat other {};
    if (stat(h->target.c_str(), &other) == 0 &&
        (other.st_dev != h->device || other.st_ino != h->inode))
      unlinkat(folder, name, 0);
    return;
  }
  if (now.st_dev != h->device || now.st_ino != h->inode || !S_ISREG(now.st_mode)) {
    // Replaced as a whole since: the earlier content is of no use any more.
    unlinkat(folder, name, 0);
    return;
  }
  if (flock(target.get(), LOCK_EX | LOCK_NB) != 0) return;  // being written: its writer recovers
  if (PutBack(undo.get(), *h, target.get())) unlinkat(folder, name, 0);
}

void RecoverAll(const struct stat* locked, int lockedFd) {
  const int folder = OpenUndoFolder(false);
  if (folder < 0) return;
  DIR* dir = fdopendir(folder);
  if (!dir) {
    close(folder);
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir))
    if (std::string_view(entry->d_name).starts_with(kUndoPrefix)) names.emplace_back(entry->d_name);
  for (const std::string& name : names) RecoverOne(dirfd(dir), name.c_str(), locked, lockedFd);
  closedir(dir);
}

// An undo file being written or held by this process.
class UndoFile {
 public:
  // Copies the first `size` bytes of `source` (the file `target` names) into
  // a new undo file and syncs it. Throws when that cannot be done: the
  // target is then still untouched.
  UndoFile(const fs::path& target, int source, const struct stat& st) {
    folder_.Reset(OpenUndoFolder(true));
    if (!folder_.ok())
      Fail(target, "no folder of the user's own to keep the earlier content in (" +
                       PathToCp936(UndoFolder()) + ")");
    static std::atomic<unsigned long long> counter{0};
    name_ = std::string(kUndoPrefix) + std::to_string(getpid()) + "-" + std::to_string(++counter);
    fd_.Reset(openat(folder_.get(), name_.c_str(),
                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd_.ok()) FailErrno(target, errno);
    flock(fd_.get(), LOCK_EX);  // a fresh file: nobody else holds it
    header_.device = st.st_dev;
    header_.inode = st.st_ino;
    header_.size = st.st_size;
    // As given (made absolute): the system resolves it again at recovery.
    header_.target = fs::absolute(target).string();
    const std::string text = HeaderText(header_);
    header_.contentOffset = static_cast<off_t>(text.size());
    // The content first, the magic line last.
    std::string blank(text.size(), '\0');
    if (!WriteAllAt(fd_.get(), blank, 0) ||
        !CopyBytes(source, 0, fd_.get(), header_.contentOffset, st.st_size) ||
        fsync(fd_.get()) != 0 || !WriteAllAt(fd_.get(), text, 0) || fsync(fd_.get()) != 0) {
      const int error = errno;
      Discard();
      Fail(target, std::string("cannot keep the earlier content: ") + std::strerror(error));
    }
    fsync(folder_.get());
  }
  ~UndoFile() {
    // Left in place (and its lock freed by closing) only when the target may
    // hold a mix; the next export or start puts it back.
  }
  UndoFile(const UndoFile&) = delete;
  UndoFile& operator=(const UndoFile&) = delete;

  // The new content is complete and synced: the earlier one is not needed.
  void Discard() {
    unlinkat(folder_.get(), name_.c_str(), 0);
    fd_.Reset();
  }
  bool PutBackInto(int target) { return PutBack(fd_.get(), header_, target); }

 private:
  Descriptor folder_;
  Descriptor fd_;
  std::string name_;
  UndoHeader header_;
};

// Writes the content into the open file itself: its earlier content is kept
// in an undo file first, then the file is emptied (which frees its room, so
// a copy-on-write file system needs no more than the new content), room for
// the new content is taken where the file system can do that, and it is
// written and synced. A failure puts the earlier content back.
void WriteInPlace(const fs::path& target, int fd, const struct stat& st, bool readable,
                  std::string_view content) {
  if (!readable) Fail(target, "the earlier content cannot be read to be kept");
  UndoFile undo(target, fd, st);
  int error = 0;
  if (ftruncate(fd, 0) != 0) {
    error = errno;
  } else if (!content.empty() &&
             fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(content.size())) != 0 &&
             (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)) {
    error = errno;
  } else if (!WriteAllAt(fd, content, 0) || fsync(fd) != 0) {
    error = errno;
  }
  if (error == 0) {
    undo.Discard();
    return;
  }
  // Should this fail as well, the undo file stays for the next attempt.
  if (undo.PutBackInto(fd)) undo.Discard();
  FailErrno(target, error);
}

// The names of the extended attributes of `fd`; `ok` turns false when they
// cannot be listed.
std::vector<std::string> AttributeNames(int fd, bool& ok) {
  std::vector<std::string> names;
  ssize_t size = flistxattr(fd, nullptr, 0);
  if (size < 0) {
    ok = errno == ENOTSUP;
    return names;
  }
  std::string list(static_cast<size_t>(size), '\0');
  size = flistxattr(fd, list.data(), list.size());
  if (size < 0) {
    ok = false;
    return names;
  }
  list.resize(static_cast<size_t>(size));
  for (size_t start = 0; start < list.size();) {
    const size_t end = list.find('\0', start);
    names.push_back(list.substr(start, end - start));
    start = end == std::string::npos ? list.size() : end + 1;
  }
  return names;
}

std::optional<std::string> Attribute(int fd, const std::string& name) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const ssize_t size = fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) return std::nullopt;
    std::string value(static_cast<size_t>(size), '\0');
    const ssize_t got = fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got >= 0) {
      value.resize(static_cast<size_t>(got));
      return value;
    }
    if (errno != ERANGE) return std::nullopt;
  }
  return std::nullopt;
}

// Copies every extended attribute of `from` (POSIX ACLs included) to `to`
// and removes those that `to` has and `from` lacks (an ACL inherited from
// the folder). False when any of it cannot be done.
bool CopyAttributes(int from, int to) {
  bool ok = true;
  const std::vector<std::string> wanted = AttributeNames(from, ok);
  const std::vector<std::string> present = AttributeNames(to, ok);
  if (!ok) return false;
  for (const std::string& name : present)
    if (std::find(wanted.begin(), wanted.end(), name) == wanted.end() &&
        fremovexattr(to, name.c_str()) != 0 && errno != ENODATA)
      return false;
  for (const std::string& name : wanted) {
    const std::optional<std::string> value = Attribute(from, name);
    if (!value) return false;
    if (Attribute(to, name) == value) continue;
    if (fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0) return false;
  }
  return true;
}

// The folder (open) and the name in it under which `fd` can be replaced by
// a rename: the name must still be the file that `fd` is. The kernel has
// resolved any symbolic link when the file was opened; its name then comes
// from the descriptor, never from reading the link.
struct Place {
  Descriptor folder;
  std::string name;
};

bool FindPlace(const fs::path& target, int fd, const struct stat& st, Place& place) {
  fs::path name;
  struct stat own {};
  if (lstat(target.c_str(), &own) == 0 && !S_ISLNK(own.st_mode)) {
    name = target;
  } else {
    std::string buffer(PATH_MAX + 1, '\0');
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(self.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size() || buffer[0] != '/') return false;
    buffer.resize(static_cast<size_t>(n));
    name = buffer;
  }
  if (!name.has_filename()) return false;
  const fs::path folder = name.parent_path().empty() ? fs::path(".") : name.parent_path();
  place.folder.Reset(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  place.name = name.filename().string();
  struct stat there {};
  return place.folder.ok() &&
         fstatat(place.folder.get(), place.name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameFile(there, st);
}

enum class Beside { Done, WriteInPlace };

// Writes the content into a temporary file beside the file that `fd` is,
// gives it what the earlier file had (owner, group, extended attributes and
// ACLs, mode) and renames it over that file. Answers WriteInPlace, having
// changed nothing, when any of that cannot be done or the name cannot be
// renamed over (a bind mount).
Beside WriteBesideAndRename(const fs::path& target, int fd, const struct stat& earlier,
                            std::string_view content) {
  Place place;
  if (!FindPlace(target, fd, earlier, place) ||
      faccessat(place.folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0)
    return Beside::WriteInPlace;
  static std::atomic<unsigned long long> counter{0};
  const replace_names::InFlightName name(
      replace_names::TemporaryName(static_cast<std::uint64_t>(getpid()), ++counter));
  Descriptor temp(openat(place.folder.get(), name.name().c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
  if (!temp.ok()) return Beside::WriteInPlace;
  const auto discard = [&] {
    temp.Reset();
    unlinkat(place.folder.get(), name.name().c_str(), 0);
  };
  if (!WriteAllAt(temp.get(), content, 0)) {
    const int error = errno;
    discard();
    FailErrno(target, error);
  }
  // After the content (a write clears file capabilities and set-id bits),
  // the owner first (a change of owner clears them too), the mode last (an
  // ACL sets the group bits from its mask).
  struct stat made {};
  bool kept = fstat(temp.get(), &made) == 0;
  if (kept && (made.st_uid != earlier.st_uid || made.st_gid != earlier.st_gid))
    kept = fchown(temp.get(), earlier.st_uid, earlier.st_gid) == 0;
  kept = kept && CopyAttributes(fd, temp.get());
  kept = kept && fchmod(temp.get(), earlier.st_mode & 07777) == 0;
  if (!kept) {
    discard();
    return Beside::WriteInPlace;
  }
  if (fsync(temp.get()) != 0 || !temp.Close()) {
    const int error = errno;
    discard();
    FailErrno(target, error);
  }
  if (renameat(place.folder.get(), name.name().c_str(), place.folder.get(), place.name.c_str()) !=
      0) {
    const int error = errno;
    discard();
    if (error == EBUSY) return Beside::WriteInPlace;  // a mount point
    FailErrno(target, error);
  }
  fsync(place.folder.get());
  return Beside::Done;
}

bool ProcessHasEnded(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// Opens the target for writing, without blocking on a FIFO and with every
// link resolved by the kernel (so its protections for shared folders hold).
// Makes a new file when there is none. `created` tells which.
int OpenTarget(const fs::path& target, bool& readable, bool& created) {
  constexpr int kFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  for (int attempt = 0; attempt < 3; ++attempt) {
    readable = true;
    created = false;
    int fd = open(target.c_str(), O_RDWR | kFlags);
    if (fd < 0 && errno == EACCES) {
      readable = false;
      fd = open(target.c_str(), O_WRONLY | kFlags);
    }
    if (fd >= 0 || errno != ENOENT) return fd;
    readable = true;
    created = true;
    fd = open(target.c_str(), O_RDWR | O_CREAT | O_EXCL | kFlags, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
    // Something appeared meanwhile, or the name is a link to a file that is
    // missing: the kernel makes that file on the last attempt.
    if (attempt == 1) {
      created = false;
      return open(target.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
    }
  }
  return -1;
}

}  // namespace

void ReplaceFileContent(const fs::path& target, std::string_view content) {
  RecoverInterruptedReplacements();
  for (int attempt = 0;; ++attempt) {
    bool readable = true, created = false;
    Descriptor fd(OpenTarget(target, readable, created));
    if (!fd.ok()) FailCreate(target);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) FailCreate(target);
    // A file without any write permission is read-only even for a user the
    // system would let write it anyway.
    if (!created && (st.st_mode & 0222) == 0) FailCreate(target);
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    const auto removeCreated = [&] {
      struct stat there {};
      if (created && lstat(target.c_str(), &there) == 0 && SameFile(there, st))
        unlink(target.c_str());
    };
    if (!LockForWriting(fd.get())) {
      removeCreated();
      Fail(target, "another program is writing it");
    }
    // Another export may have replaced the name while this one waited.
    struct stat now {};
    if (stat(target.c_str(), &now) != 0 || !SameFile(now, st) || fstat(fd.get(), &st) != 0) {
      if (attempt < 3) continue;
      Fail(target, "it keeps being replaced");
    }
    // An export of this file that was killed half way is put back first.
    RecoverAll(&st, fd.get());
    fstat(fd.get(), &st);

    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    RemoveStaleReplacements(folder);
    try {
      if (st.st_nlink <= 1 &&
          WriteBesideAndRename(target, fd.get(), st, content) == Beside::Done)
        return;
      if (created) {
        // Nothing earlier to keep.
        if (!WriteAllAt(fd.get(), content, 0) || fsync(fd.get()) != 0) FailErrno(target, errno);
        return;
      }
      WriteInPlace(target, fd.get(), st, readable, content);
      return;
    } catch (...) {
      removeCreated();
      throw;
    }
  }
}

void RecoverInterruptedReplacements() { RecoverAll(nullptr, -1); }

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
