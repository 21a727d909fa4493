#include "platform/class_registry.h"
#include "platform/ascii_case.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
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

// Every well-formed line of the registry file; a missing file is empty.
std::vector<Entry> ReadEntries(const fs::path& file) {
  std::vector<Entry> entries;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // a CR LF line
    const size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab + 1 == line.size()) continue;
    entries.push_back({line.substr(0, tab), line.substr(tab + 1)});
  }
  return entries;
}

// The file that `file` names after following symbolic links, so that a
// registry kept elsewhere through a link is written there and the link stays.
fs::path LinkTarget(fs::path file) {
  std::error_code error;
  for (int hops = 0; hops < 40 && fs::is_symlink(file, error); ++hops) {
    const fs::path target = fs::read_symlink(file, error);
    if (error) break;
    file = target.is_absolute() ? target : file.parent_path() / target;
  }
  return file;
}

// Writes the entries to a temporary file beside `file` and renames it over
// `file`, so a reader sees either the old registry or the new one, whole.
bool WriteEntries(const fs::path& link, const std::vector<Entry>& entries) {
  const fs::path file = LinkTarget(link);
  std::string text;
  for (const Entry& e : entries) text += e.classId + '\t' + e.path + '\n';
  std::string temp = file.string() + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n > 0)
      done += static_cast<size_t>(n);
    else
      ok = false;
  }
  ok = ok && fchmod(fd, 0600) == 0 && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok && std::rename(temp.c_str(), file.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

// Holds an exclusive lock on the registry for one read-change-write, so two
// programs registering at the same moment do not lose each other's entry.
class RegistryLock {
 public:
  explicit RegistryLock(const fs::path& folder)
      : fd_(open((folder / "classes.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
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
