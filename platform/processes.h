#pragma once
// Running processes: a snapshot to walk, and ending one of its entries.
#include <functional>
#include <string>

namespace platform {

struct ProcessEntry {
  long long id = 0;
  // The process's executable as CP936 text: a bare file name or a full path.
  std::string exe;
  // What tells this process apart from a later one that got the same id
  // (on Linux its start time); 0 where the snapshot gives nothing.
  unsigned long long incarnation = 0;
};

// Calls `visit` for every process of a snapshot, in snapshot order, until it
// returns false. Processes that have ended already (zombies) are left out.
// Returns false when no snapshot could be taken.
bool VisitProcesses(const std::function<bool(const ProcessEntry&)>& visit);

// Ends the process of that entry with exit code 0; never another one that
// got its id after the snapshot was taken. Ending the calling process ends
// the program inside this call. False when it cannot be opened or ended.
bool EndProcess(const ProcessEntry& entry);

}  // namespace platform
