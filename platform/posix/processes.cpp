#include "platform/processes.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
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

// A zombie has ended already and only waits for its parent to collect it:
// there is nothing left to end. The state follows the ')' that closes the
// command name in /proc/<pid>/stat (the name itself may hold ')').
bool HasEnded(const std::string& pid) {
  std::ifstream stat("/proc/" + pid + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;  // gone meanwhile
  const size_t close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size()) return false;
  const char state = line[close + 2];
  return state == 'Z' || state == 'X';
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
    entry.exe = ExecutableOf(name);
    if (entry.exe.empty()) continue;  // kernel threads and processes gone meanwhile
    if (HasEnded(name)) continue;
    if (!visit(entry)) break;
  }
  closedir(proc);
  return true;
}

bool TerminateProcessById(long long id) {
  if (id == static_cast<long long>(getpid())) _exit(0);
  if (id <= 0) return false;
  return kill(static_cast<pid_t>(id), SIGKILL) == 0;
}

}  // namespace platform
