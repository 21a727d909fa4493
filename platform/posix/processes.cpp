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

#include "platform/codepage.h"

namespace platform {
namespace {

// The executable of a process: the target of /proc/<pid>/exe, or, where that
// cannot be read (another user's process), the short name in /proc/<pid>/comm.
std::string ExecutableOf(const std::string& pid) {
  std::string buffer(4096, '\0');
  const std::string link = "/proc/" + pid + "/exe";
  ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
  if (n > 0) {
    buffer.resize(static_cast<size_t>(n));
    // A replaced executable reads as "path (deleted)".
    static const std::string deleted = " (deleted)";
    if (buffer.size() > deleted.size() &&
        buffer.compare(buffer.size() - deleted.size(), deleted.size(), deleted) == 0)
      buffer.resize(buffer.size() - deleted.size());
    return Utf8ToCp936(buffer);
  }
  std::ifstream comm("/proc/" + pid + "/comm");
  std::string name;
  std::getline(comm, name);
  return Utf8ToCp936(name);
}

struct ProcessStatus {
  bool ended = false;               // a zombie: it waits only to be collected
  unsigned long long started = 0;   // clock ticks after boot
};

// From /proc/<pid>/stat: the state (field 3) and the start time (field 22).
// The fields follow the ')' that closes the command name, which may itself
// hold ')'. Nothing when the process is gone.
std::optional<ProcessStatus> StatusOf(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const size_t close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 1));
  std::string state;
  fields >> state;
  ProcessStatus status;
  status.ended = state == "Z" || state == "X";
  std::string skipped;
  for (int field = 4; field < 22 && fields >> skipped; ++field) {
  }
  fields >> status.started;
  return status;
}

// True while the id still names the very process of the snapshot entry and
// that process has not ended.
bool StillRuns(const ProcessEntry& entry) {
  const std::string pid = std::to_string(entry.id);
  const std::optional<ProcessStatus> status = StatusOf(pid);
  return status && !status->ended && status->started == entry.incarnation &&
         ExecutableOf(pid) == entry.exe;
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
    ProcessEntry entry;
    entry.id = std::atoll(name.c_str());
    // The status first: an id reused after this read gives another start
    // time, which EndProcess tells apart.
    const std::optional<ProcessStatus> status = StatusOf(name);
    if (!status || status->ended) continue;  // gone meanwhile, or a zombie
    entry.incarnation = status->started;
    entry.exe = ExecutableOf(name);
    if (entry.exe.empty()) continue;  // kernel threads and processes gone meanwhile
    if (!visit(entry)) break;
  }
  closedir(proc);
  return true;
}

bool EndProcess(const ProcessEntry& entry) {
  if (entry.id == static_cast<long long>(getpid())) _exit(0);
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
