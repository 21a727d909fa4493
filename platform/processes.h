#pragma once
// Running processes: a snapshot to walk, and ending one by its identifier.
#include <functional>
#include <string>

namespace platform {

struct ProcessEntry {
  long long id = 0;
  // The process's executable as CP936 text: a bare file name or a full path.
  std::string exe;
};

// Calls `visit` for every process of a snapshot, in snapshot order, until it
// returns false. Returns false when no snapshot could be taken.
bool VisitProcesses(const std::function<bool(const ProcessEntry&)>& visit);

// Ends the process with exit code 0. Ending the calling process ends the
// program inside this call. False when it cannot be opened or ended.
bool TerminateProcessById(long long id);

}  // namespace platform
