#include "tests/support/child_processes.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include <QStandardPaths>

extern char** environ;

namespace testing_support {

ChildProcesses::~ChildProcesses() {
  for (pid_t pid : pids_) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

pid_t ChildProcesses::Start(const std::string& exe, const std::vector<std::string>& args,
                            const std::vector<std::string>& env) {
  std::vector<std::string> argStore = {exe};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore = env;
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(),
                  env.empty() ? environ : envp.data()) != 0)
    return -1;
  pids_.push_back(pid);
  return pid;
}

pid_t ChildProcesses::StartSleeper(const std::string& folder, const std::string& name) {
  // The path as /proc/<pid>/exe will show it, symbolic links resolved.
  const std::string path = std::filesystem::canonical(folder).string() + "/" + name;
  const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
  if (sleep.isEmpty()) return -1;
  std::filesystem::copy_file(sleep.toStdString(), path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  const pid_t pid = Start(path, {"60"});
  if (pid < 0) return pid;
  // posix_spawn returns before the new program has replaced the child's image.
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::error_code ec;
    if (std::filesystem::read_symlink(link, ec) == path) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return pid;
}

int ChildProcesses::WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (true) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      std::erase(pids_, pid);
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (std::chrono::steady_clock::now() >= end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool ChildProcesses::EndedBySignal(pid_t pid, std::chrono::milliseconds limit) {
  return WaitForExit(pid, limit) > 128;
}

bool ChildProcesses::StillRuns(pid_t pid) {
  // That a process was NOT ended cannot be waited for; a short grace lets a
  // signal that was already sent arrive before the answer.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return waitpid(pid, nullptr, WNOHANG) == 0;
}

}  // namespace testing_support
