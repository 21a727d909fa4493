#include "platform/processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace platform {
namespace {

// The kernel marks its own threads with this flag (field 9 of the stat file).
constexpr unsigned long kKernelThreadFlag = 0x00200000;

struct TaskStatus {
  bool ended = false;               // a zombie: it waits only to be collected
  bool kernelThread = false;
  unsigned long long started = 0;   // clock ticks after boot
};

// From a stat file: the state (field 3), the flags (field 9) and the start
// time (field 22). The fields follow the ')' that closes the command name,
// which may itself hold ')'. Nothing when the task is gone.
std::optional<TaskStatus> StatusFrom(const std::string& statFile) {
  std::ifstream stat(statFile);
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 1));
  std::string state;
  fields >> state;
  TaskStatus status;
  status.ended = state == "Z" || state == "X";
  std::string skipped;
  unsigned long flags = 0;
  for (int field = 4; field < 9 && fields >> skipped; ++field) {
  }
  fields >> flags;
  status.kernelThread = (flags & kKernelThreadFlag) != 0;
  for (int field = 10; field < 22 && fields >> skipped; ++field) {
  }
  fields >> status.started;
  return status;
}

// The target of an exe link, without the " (deleted)" that a replaced
// executable reads with. Empty when it cannot be read; errno tells why.
std::string ReadExeLink(const std::string& link) {
  std::string buffer(4096, '\0');
  const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
  if (n <= 0) return {};
  buffer.resize(static_cast<size_t>(n));
  static const std::string deleted = " (deleted)";
  if (buffer.size() > deleted.size() &&
      buffer.compare(buffer.size() - deleted.size(), deleted.size(), deleted) == 0)
    buffer.resize(buffer.size() - deleted.size());
  return buffer;
}

// The folder of a thread of the process that has not ended: the process
// itself while its main thread runs, else the first of its other threads
// that still runs. Nothing when every thread has ended.
std::optional<std::string> LiveTaskFolder(const std::string& pid, const TaskStatus& main) {
  const std::string folder = "/proc/" + pid;
  if (!main.ended) return folder;
  DIR* tasks = opendir((folder + "/task").c_str());
  if (!tasks) return std::nullopt;
  std::optional<std::string> live;
  while (dirent* d = readdir(tasks)) {
    const std::string tid = d->d_name;
    if (tid.empty() || tid.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::string taskFolder = folder + "/task/" + tid;
    const std::optional<TaskStatus> status = StatusFrom(taskFolder + "/stat");
    if (status && !status->ended) {
      live = taskFolder;
      break;
    }
  }
  closedir(tasks);
  return live;
}

// Whether this process may send the process of `pid` a signal: root may,
// others where their real or effective user id is the target's real or
// saved one (the kernel's rule).
bool MaySignal(const std::string& pid) {
  const uid_t euid = geteuid();
  if (euid == 0) return true;
  std::ifstream status("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Uid:", 0) != 0) continue;
    std::istringstream ids(line.substr(4));
    long long real = -1, effective = -1, saved = -1;
    ids >> real >> effective >> saved;
    const uid_t uid = getuid();
    for (const long long mine : {static_cast<long long>(uid), static_cast<long long>(euid)})
      if (mine == real || mine == saved) return true;
    return false;
  }
  return false;
}

// The real user id of the process `pid`; nothing when it is gone.
std::optional<long long> RealUserOf(const std::string& pid) {
  std::ifstream status("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Uid:", 0) != 0) continue;
    std::istringstream ids(line.substr(4));
    long long real = -1;
    if (ids >> real) return real;
    return std::nullopt;
  }
  return std::nullopt;
}

// The snapshot entry of the process `pid` as it is now: nothing when it is
// gone, has ended, is a kernel thread, or its executable is unknown (see
// the header).
std::optional<ProcessEntry> Inspect(const std::string& pid) {
  // The status first: an id reused after this read gives another start
  // time, which EndProcess tells apart.
  const std::optional<TaskStatus> status = StatusFrom("/proc/" + pid + "/stat");
  if (!status || status->kernelThread) return std::nullopt;
  const std::optional<std::string> live = LiveTaskFolder(pid, *status);
  if (!live) return std::nullopt;
  ProcessEntry entry;
  entry.id = std::atoll(pid.c_str());
  entry.incarnation = status->started;
  std::string exe = ReadExeLink(*live + "/exe");
  if (exe.empty()) {
    // Gone meanwhile, or not ours to look into.
    if (errno != EACCES && errno != EPERM) return std::nullopt;
    if (MaySignal(pid)) return std::nullopt;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::getline(comm, exe);
    if (exe.empty()) return std::nullopt;
  }
  entry.exe = Utf8ToCp936(exe);
  return entry;
}

// True while the id still names the very process of the snapshot entry and
// that process has not ended.
bool StillRuns(const ProcessEntry& entry) {
  const std::optional<ProcessEntry> now = Inspect(std::to_string(entry.id));
  return now && now->incarnation == entry.incarnation && now->exe == entry.exe;
}

// The process file descriptor calls, through syscall(2) where the C library
// has no wrappers for them.
int OpenProcessFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0u)); }
int SignalThroughFd(int fd, int signal) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, fd, signal, nullptr, 0u));
}

}  // namespace

bool VisitProcesses(const std::function<bool(const ProcessEntry&)>& visit) {
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  while (dirent* d = readdir(proc)) {
    const std::string name = d->d_name;
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const std::optional<ProcessEntry> entry = Inspect(name);
    if (entry && !visit(*entry)) break;
  }
  closedir(proc);
  return true;
}

long long CurrentProcessId() { return static_cast<long long>(getpid()); }

bool RunsForCallingUser(const ProcessEntry& entry) {
  const std::optional<long long> real = RealUserOf(std::to_string(entry.id));
  return real && *real == static_cast<long long>(getuid());
}

bool ExecutableNamed(const std::string& exe, const std::string& name) {
  if (name.empty()) return false;
  const size_t slash = exe.rfind('/');
  return exe == name || (slash != std::string::npos && exe.compare(slash + 1, std::string::npos, name) == 0);
}

bool EndProcess(const ProcessEntry& entry) {
  if (entry.id == CurrentProcessId()) _exit(0);
  if (entry.id <= 0) return false;
  const pid_t pid = static_cast<pid_t>(entry.id);
  // The descriptor holds on to the process that has this id now. If that is
  // still the process of the entry, the signal reaches it and nothing else:
  // once it ends, the descriptor names no process, even when the id is
  // given to a new one.
  const int fd = OpenProcessFd(pid);
  if (fd < 0) {
    if (errno != ENOSYS) return false;  // gone, or not ours to end
    // A kernel without process descriptors (before 5.3): by number, right
    // after the same check.
    return StillRuns(entry) && kill(pid, SIGKILL) == 0;
  }
  const bool ended = StillRuns(entry) && SignalThroughFd(fd, SIGKILL) == 0;
  close(fd);
  return ended;
}

}  // namespace platform
