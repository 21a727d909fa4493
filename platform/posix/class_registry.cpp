#include "platform/class_registry.h"
#include "platform/ascii_case.h"
#include "platform/file_replace.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace platform {
namespace {

namespace fs = std::filesystem;

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute
// path (relative values are to be ignored), else ~/.config.
fs::path ConfigFolder() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* user = getpwuid(getuid());
    home = user ? user->pw_dir : nullptr;
  }
  if (!home || !*home) return {};
  return fs::path(home) / ".config";
}

fs::path RegistryFolder() {
  const fs::path config = ConfigFolder();
  return config.empty() ? fs::path() : config / "Zelvoran";
}

bool SameClass(const std::string& a, const std::string& b) { return ascii::EqualIgnoringCase(a, b); }

struct Entry {
  std::string classId;
  std::string path;
};

// Opens the registry file for reading as the system resolves its name: a
// symbolic link counts only when it leads to a regular file of this user,
// and nothing waits on a FIFO put there. -1 when there is no such file
// (`missing` tells whether there is no file at all, so one may be made).
int OpenRegistryFile(const fs::path& file, bool& missing) {
  missing = false;
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    // A link to a missing file makes that file, of this user.
    missing = errno == ENOENT;
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    close(fd);
    return -1;
  }
  return fd;
}

// Every well-formed line of the registry file; a missing file (or one that
// is not fit to be read) is empty.
std::vector<Entry> ReadEntries(const fs::path& file) {
  std::vector<Entry> entries;
  bool missing = false;
  const int fd = OpenRegistryFile(file, missing);
  if (fd < 0) return entries;
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a CR LF line
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) continue;
    entries.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return entries;
}

// Writes the entries through the one function that replaces files: a reader
// sees either the old registry or the new one, whole; the file keeps its
// mode, and a symbolic link to a regular file of this user stays a link
// whose file is replaced. Anything else there (a link elsewhere, a device, a
// FIFO) is refused and left alone.
bool WriteEntries(const fs::path& file, const std::vector<Entry>& entries) {
  bool missing = false;
  const int fd = OpenRegistryFile(file, missing);
  if (fd < 0 && !missing) return false;
  if (fd >= 0) close(fd);
  std::string text;
  for (const Entry& e : entries) text += e.classId + '\t' + e.path + '\n';
  try {
    ReplaceFileContent(file, text);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

// Holds an exclusive lock on the registry for one read-change-write, so two
// programs registering at the same moment do not lose each other's entry.
class RegistryLock {
 public:
  explicit RegistryLock(const fs::path& folder)
      : fd_(open((folder / "classes.lock").c_str(),
                 O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600)) {
    struct stat st {};
    if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(fd_);
      fd_ = -1;
    }
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~RegistryLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
  }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

// Replaces the entry of `classId` by `path`, or removes it when `path` is empty.
bool ChangeEntry(const std::string& classId, const std::string& path) {
  const fs::path folder = RegistryFolder();
  if (folder.empty()) return false;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return false;
  RegistryLock lock(folder);
  if (!lock.held()) return false;
  const fs::path file = folder / "classes";
  std::vector<Entry> entries = ReadEntries(file);
  std::vector<Entry> kept;
  for (const Entry& e : entries)
    if (!SameClass(e.classId, classId)) kept.push_back(e);
  if (!path.empty()) kept.push_back({classId, path});
  if (kept.size() == entries.size() && path.empty()) return true;  // nothing to remove
  return WriteEntries(file, kept);
}

bool ValidText(const std::string& text) {
  return !text.empty() && text.find_first_of("\t\n\r") == std::string::npos;
}

}  // namespace

bool RegisterClassModule(const std::string& classId, const std::filesystem::path& module) {
  // A line holds one entry: a tab or line break inside would break the file.
  if (!ValidText(classId) || !ValidText(module.string()) || !module.is_absolute()) return false;
  return ChangeEntry(classId, module.string());
}

bool UnregisterClassModule(const std::string& classId) {
  if (!ValidText(classId)) return false;
  return ChangeEntry(classId, {});
}

std::optional<std::filesystem::path> FindClassModule(const std::string& classId) {
  const fs::path folder = RegistryFolder();
  if (folder.empty()) return std::nullopt;
  for (const Entry& e : ReadEntries(folder / "classes"))
    if (SameClass(e.classId, classId)) {
      // An entry written by hand with a relative path would load whatever
      // the current folder holds under that name: it counts as no entry.
      fs::path module(e.path);
      if (!module.is_absolute()) return std::nullopt;
      return module;
    }
  return std::nullopt;
}

std::filesystem::path ClassRegistryPlace() { return RegistryFolder(); }

bool ClassRegistryWritable() {
  const fs::path folder = RegistryFolder();
  if (folder.empty()) return false;
  std::error_code error;
  fs::create_directories(folder, error);
  return !error && access(folder.c_str(), W_OK) == 0;
}

}  // namespace platform
