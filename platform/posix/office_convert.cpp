#include "platform/posix/office_convert.h"

#include "platform/dispatch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/file_replace.h"

extern char** environ;

namespace platform::office {
namespace fs = std::filesystem;
namespace {

bool IsExecutableFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

constexpr const char* kFolderPrefix = "zelvoran-office-";
constexpr const char* kLockName = "owner.lock";

// A folder of its own under the temporary root, removed with everything in
// it when the object goes. While it lives, its lock file is locked; a folder
// whose lock is free belongs to a program that died (RemoveStaleFolders).
class PrivateFolder {
 public:
  PrivateFolder() {
    std::string pattern = (TemporaryRoot() / (std::string(kFolderPrefix) + "XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("Cannot create a temporary folder: " + std::string(strerror(errno)));
    path_ = pattern;
    lock_ = open((path_ / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_ < 0 || flock(lock_, LOCK_EX | LOCK_NB) != 0) {
      const std::string reason = strerror(errno);
      Remove();
      throw std::runtime_error("Cannot lock the temporary folder: " + reason);
    }
  }
  ~PrivateFolder() { Remove(); }
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  void Remove() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    if (lock_ >= 0) close(lock_);
    lock_ = -1;
  }
  fs::path path_;
  int lock_ = -1;
};

// file:// URL of a path made absolute, every byte outside the unreserved set
// percent-encoded.
std::string FileUrl(const fs::path& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : fs::absolute(path).string()) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}

std::string LastLines(const fs::path& log) {
  std::ifstream in(log);
  std::ostringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.size() > 400) text = "..." + text.substr(text.size() - 400);
  return text;
}

// Processor time (clock ticks) used so far by the processes of group `group`
// that still exist, zombies included.
unsigned long long GroupProcessorTime(pid_t group) {
  unsigned long long total = 0;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
    std::ifstream stat(it->path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    // After the name: state ppid pgrp session tty tpgid flags minflt cminflt
    // majflt cmajflt utime stime.
    std::istringstream fields(line.substr(close + 2));
    std::string state;
    long long ppid = 0, pgrp = 0;
    fields >> state >> ppid >> pgrp;
    if (pgrp != group) continue;
    std::string skip;
    for (int i = 0; i < 8; ++i) fields >> skip;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    total += user + system;
  }
  return total;
}

// The names of the Unix sockets that processes of group `group` have bound
// under the name of LibreOffice's single-instance pipes ("OSL_PIPE_..."),
// which LibreOffice makes in /tmp whatever its home and TMPDIR say, and
// which a killed conversion leaves behind.
std::vector<std::string> GroupPipes(pid_t group) {
  std::vector<std::string> inodes;
  std::error_code ec;
  for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
    if (getpgid(static_cast<pid_t>(std::stol(name))) != group) continue;
    std::error_code fdError;
    for (fs::directory_iterator fd(it->path() / "fd", fdError), last; !fdError && fd != last;
         fd.increment(fdError)) {
      const std::string link = fs::read_symlink(fd->path(), ec).string();
      if (!ec && link.starts_with("socket:[") && link.ends_with("]"))
        inodes.push_back(link.substr(8, link.size() - 9));
    }
    ec.clear();
  }
  std::vector<std::string> pipes;
  if (inodes.empty()) return pipes;
  // Num RefCount Protocol Flags Type St Inode Path
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string skip, inode, path;
    for (int i = 0; i < 6; ++i) fields >> skip;
    fields >> inode >> path;
    if (path.find("/OSL_PIPE_") != std::string::npos &&
        std::find(inodes.begin(), inodes.end(), inode) != inodes.end())
      pipes.push_back(path);
  }
  return pipes;
}

constexpr const char* kPipesName = "pipes";

// Removes the pipes listed in `list` (one name a line) that are still
// sockets of this user.
void RemovePipes(const fs::path& list) {
  std::ifstream in(list);
  for (std::string path; std::getline(in, path);) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) && info.st_uid == getuid())
      unlink(path.c_str());
  }
}

// Starts a watcher beside the conversion's process group: a shell that waits
// on a pipe whose only writer is this process. Should this process die, the
// pipe closes and the watcher ends the group; told "done", it ends quietly.
// The watcher is a shell, not a copy of this program, so an exit sequence
// that ends the program's processes by name leaves it to do its work.
class GroupWatcher {
 public:
  explicit GroupWatcher(pid_t group) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return;
    const std::string script = "trap '' HUP INT TERM; read done; [ \"$done\" = done ] || kill -KILL -" +
                               std::to_string(group) + " 2>/dev/null";
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own: a terminal's interrupt for this program does not
    // reach it, and it ignores hang-ups, so it outlives the program.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, &attributes,
                                    const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(ends[0]);
    if (spawned != 0) {
      pid_ = -1;
      close(ends[1]);
      return;
    }
    writer_ = ends[1];
  }
  // Tells the watcher the group is ended and collects it.
  ~GroupWatcher() {
    if (writer_ >= 0) {
      const ssize_t ignored = write(writer_, "done\n", 5);
      (void)ignored;
      close(writer_);
    }
    if (pid_ > 0)
      while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
  }
  GroupWatcher(const GroupWatcher&) = delete;
  GroupWatcher& operator=(const GroupWatcher&) = delete;

 private:
  pid_t pid_ = -1;
  int writer_ = -1;
};

// Runs `argv` in a process group of its own with output to `log`, its
// temporary files in `temporary` and `home` as its home folder (so that they
// go with the conversion's folder, even when the group is killed before it
// could remove them), waits
// while `limits` allow (calling AutomationIdle meanwhile), and ends whatever
// is left of that group (the office suite may start helpers). Returns the
// exit status, or throws when it cannot start or the limits end it.
int RunInOwnGroup(const std::vector<std::string>& argv, const fs::path& log,
                  const fs::path& temporary, const fs::path& home,
                  const ConversionLimits& limits, size_t flatBytes) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The office suite keeps its sockets, caches and settings under its
  // home and temporary folder: both lie in the conversion's folder, so they
  // go with it, even when the group is killed, and nothing lands in /tmp or
  // in the user's home.
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) {
    const std::string_view entry(*e);
    if (entry.starts_with("TMPDIR=") || entry.starts_with("HOME=") ||
        entry.starts_with("XDG_CACHE_HOME=") || entry.starts_with("XDG_CONFIG_HOME=") ||
        entry.starts_with("XDG_DATA_HOME=") || entry.starts_with("XDG_STATE_HOME="))
      continue;
    environment.emplace_back(entry);
  }
  environment.push_back("TMPDIR=" + temporary.string());
  environment.push_back("HOME=" + home.string());
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
  posix_spawnattr_setpgroup(&attributes, 0);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);

  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0)
    throw std::runtime_error("Cannot start " + argv[0] + ": " + strerror(spawned));
  std::optional<GroupWatcher> watcher(std::in_place, pid);
  // Ends the group, then tells the watcher so (before the leader is
  // collected, so its id cannot have gone to another process meanwhile).
  // The pipes the group bound are noted in the conversion's folder as they
  // appear, so that they go when the group is ended, and with the folder
  // should this program die first.
  const fs::path pipeList = log.parent_path() / kPipesName;
  std::vector<std::string> pipes;
  auto notePipes = [&] {
    bool added = false;
    for (const std::string& pipe : GroupPipes(pid))
      if (std::find(pipes.begin(), pipes.end(), pipe) == pipes.end()) {
        pipes.push_back(pipe);
        added = true;
      }
    if (!added) return;
    std::ofstream out(pipeList, std::ios::trunc);
    for (const std::string& pipe : pipes) out << pipe << "\n";
  };
  auto endGroup = [&] {
    notePipes();
    kill(-pid, SIGKILL);  // only the group this call started
    watcher.reset();
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    RemovePipes(pipeList);
    return status;
  };

  // Waits without collecting the child, so its id (and with it the group's
  // id) cannot be handed to another process before the group is ended.
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  const auto timeLimit = limits.TimeLimit(flatBytes);
  auto lastProgress = started;
  auto lastLook = started;
  unsigned long long used = GroupProcessorTime(pid);
  std::string stopped;
  while (true) {
    siginfo_t info{};
    const int rc = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    if (rc == 0 && info.si_pid == pid) break;
    if (rc != 0 && errno != EINTR) break;
    const auto now = Clock::now();
    // Looking through /proc costs a little; a few times a second is plenty.
    if (now - lastLook >= std::chrono::milliseconds(250)) {
      lastLook = now;
      const unsigned long long nowUsed = GroupProcessorTime(pid);
      notePipes();
      if (nowUsed != used) lastProgress = now;
      used = nowUsed;
    }
    const auto idle = now - lastProgress;
    if (idle >= limits.stall) {
      stopped = "LibreOffice made no progress for " +
                std::to_string(std::chrono::duration_cast<std::chrono::seconds>(idle).count()) +
                " seconds";
      break;
    }
    if (now - started >= timeLimit && idle >= limits.grace) {
      stopped = "LibreOffice did not finish within " +
                std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now - started).count()) +
                " seconds";
      break;
    }
    try {
      AutomationIdle();
    } catch (...) {
      endGroup();
      throw;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
  const int status = endGroup();
  if (!stopped.empty()) throw std::runtime_error(stopped);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Puts the converted file `done` in place of `target` through the one
// function that replaces files, so the office result keeps the target's
// mode, owner and links like every other export.
void MoveIntoPlace(const fs::path& done, const fs::path& target) {
  std::ifstream in(done, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in || !content) throw std::runtime_error("Cannot read " + done.string());
  ReplaceFileContent(target, content.str());
}

}  // namespace

std::optional<fs::path> FindSoffice() {
  if (const char* path = std::getenv("PATH")) {
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
      size_t end = folders.find(':', start);
      if (end == std::string::npos) end = folders.size();
      const std::string folder = folders.substr(start, end - start);
      if (!folder.empty() && IsExecutableFile(fs::path(folder) / "soffice"))
        return fs::path(folder) / "soffice";
      start = end + 1;
    }
  }
  const fs::path usual = "/usr/lib/libreoffice/program/soffice";
  if (IsExecutableFile(usual)) return usual;
  return NewestSofficeUnder("/opt");
}

namespace {

// The numbers of a version text such as "24.8" or "7.6.4" ({} for none);
// comparing them orders the versions, 24.8 after 7.6.
std::vector<long> VersionNumbers(const std::string& text) {
  std::vector<long> numbers;
  long current = 0;
  bool digits = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      current = current * 10 + (c - '0');
      digits = true;
    } else {
      if (digits) numbers.push_back(current);
      current = 0;
      digits = false;
    }
  }
  if (digits) numbers.push_back(current);
  return numbers;
}

}  // namespace

std::optional<fs::path> NewestSofficeUnder(const fs::path& folder) {
  static const std::string prefix = "libreoffice";
  std::optional<fs::path> newest;
  std::vector<long> newestVersion;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const fs::path soffice = it->path() / "program" / "soffice";
    if (!IsExecutableFile(soffice)) continue;
    std::vector<long> version = VersionNumbers(name.substr(prefix.size()));
    if (!newest || version > newestVersion) {
      newest = soffice;
      newestVersion = std::move(version);
    }
  }
  return newest;
}

std::string ConversionFor(const fs::path& target) {
  // From the last dot of the name, as the export command takes it; a name
  // that is nothing but ".xls" has the extension "xls".
  const std::string name = target.filename().string();
  const size_t dot = name.rfind('.');
  std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  for (char& c : extension) {
    if (!std::isalnum(static_cast<unsigned char>(c)))
      throw std::runtime_error("No file format for the extension of " + target.string());
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (extension.empty()) throw std::runtime_error("No file format for " + target.string());
  if (extension == "xls") return "xls:MS Excel 97";
  if (extension == "doc") return "doc:MS Word 97";
  return extension;
}

std::chrono::milliseconds ConversionLimits::TimeLimit(size_t flatBytes) const {
  // Whole kilobytes, so a small file does not round to nothing.
  const auto kilobytes = static_cast<long long>((flatBytes + 1023) / 1024);
  return base + std::chrono::milliseconds(perMegabyte.count() * kilobytes / 1024);
}

fs::path TemporaryRoot() {
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) {
    const fs::path root = tmp;
    std::error_code ec;
    if (root.is_absolute() && fs::is_directory(root, ec)) return root;
  }
  return "/tmp";
}

void RemoveStaleFolders() {
  const uid_t me = getuid();
  std::error_code ec;
  for (fs::directory_iterator it(TemporaryRoot(), ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->path().filename().string().starts_with(kFolderPrefix)) continue;
    struct stat info {};
    if (lstat(it->path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != me)
      continue;
    const int lock = open((it->path() / kLockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (lock < 0) continue;  // not made by a conversion, or just being made
    // Free only when the program that made the folder is gone.
    if (flock(lock, LOCK_EX | LOCK_NB) == 0) {
      RemovePipes(it->path() / kPipesName);
      std::error_code ignored;
      fs::remove_all(it->path(), ignored);
    }
    close(lock);
  }
}

void SaveThroughOffice(const fs::path& soffice, const std::string& flatOdf,
                       const std::string& flatExtension, const fs::path& target,
                       const ConversionLimits& limits) {
  const std::string conversion = ConversionFor(target);
  const std::string extension = conversion.substr(0, conversion.find(':'));
  RemoveStaleFolders();
  PrivateFolder folder;
  const fs::path source = folder.path() / ("export." + flatExtension);
  {
    std::ofstream out(source, std::ios::binary);
    out.write(flatOdf.data(), static_cast<std::streamsize>(flatOdf.size()));
    out.close();
    if (!out) throw std::runtime_error("Cannot write " + source.string());
  }
  const fs::path outFolder = folder.path() / "out";
  fs::create_directory(outFolder);
  const fs::path log = folder.path() / "soffice.log";
  const fs::path temporary = folder.path() / "tmp";
  fs::create_directory(temporary);
  const fs::path home = folder.path() / "home";
  fs::create_directory(home);
  const int status = RunInOwnGroup(
      {soffice.string(), "--headless", "--norestore", "--nologo", "--nodefault",
       "-env:UserInstallation=" + FileUrl(folder.path() / "profile"), "--convert-to", conversion,
       "--outdir", outFolder.string(), source.string()},
      log, temporary, home, limits, flatOdf.size());
  const fs::path converted = outFolder / ("export." + extension);
  std::error_code ec;
  if (status != 0 || !fs::is_regular_file(converted, ec) || fs::file_size(converted, ec) == 0)
    throw std::runtime_error("LibreOffice could not save " + target.string() + " (" + conversion +
                             ", exit " + std::to_string(status) + "): " + LastLines(log));
  MoveIntoPlace(converted, target);
}

}  // namespace platform::office
