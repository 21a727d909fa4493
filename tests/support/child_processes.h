#pragma once
// Child processes started by one test. Whatever the test's outcome, none
// survives it: the destructor kills and collects every one still tracked.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testing_support {

class ChildProcesses {
 public:
  ChildProcesses() = default;
  ~ChildProcesses();
  ChildProcesses(const ChildProcesses&) = delete;
  ChildProcesses& operator=(const ChildProcesses&) = delete;

  // Starts `exe` with `args` and the environment `env` ("NAME=value" each;
  // empty: this process's environment). -1 when it cannot be started.
  pid_t Start(const std::string& exe, const std::vector<std::string>& args = {},
              const std::vector<std::string>& env = {});

  // Copies /bin/sleep into `folder` as `name` and starts it for a minute;
  // returns once the copy runs under that name.
  pid_t StartSleeper(const std::string& folder, const std::string& name);

  // Collects the child: its exit code, 128 + the signal that ended it, or -1
  // when it did not end within `limit` (it is then still tracked).
  int WaitForExit(pid_t pid, std::chrono::milliseconds limit);

  // True when the child ends through a signal within `limit`.
  bool EndedBySignal(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(5));

  // True when the child still runs (not even a zombie) after a short grace time.
  static bool StillRuns(pid_t pid);

 private:
  std::vector<pid_t> pids_;
};

}  // namespace testing_support
