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
// returns false. Processes that have ended already are left out; on Linux a
// process counts as ended only when none of its threads runs (one whose
// main thread has ended while others go on is still running).
//
// On Linux `exe` is the full path of the process's executable file
// (/proc/<pid>/exe, read through a thread that still runs). Where that
// cannot be read:
//  - kernel threads are left out: they have no executable;
//  - a process that this one may signal (the user's own, for example one
//    that made itself non-dumpable) is left out: its executable is unknown,
//    and the kernel's short name (at most 15 bytes, chosen by the process
//    itself) does not identify it well enough to end it;
//  - a process of another user that this one may not signal gets the
//    kernel's short name, so that a caller sees the match it cannot end.
// Returns false when no snapshot could be taken.
bool VisitProcesses(const std::function<bool(const ProcessEntry&)>& visit);

// The id of the calling process, as VisitProcesses reports it.
long long CurrentProcessId();

// Whether the process of that entry runs for the calling process's own user:
// on Linux its real user id is the caller's real user id (root's copy and
// another user's copy of the same program are two users' processes); on
// Windows its token names the caller's user. False when that cannot be told
// (the process has ended, or may not even be asked).
bool RunsForCallingUser(const ProcessEntry& entry);

// Whether the executable text of an entry names `name`: its file-name part
// or the whole text equals it. The file system's own rule for names decides:
// on Linux byte for byte, the file-name part following the last '/'; on
// Windows in any ASCII letter case, the part following the last '\\', '/'
// or ':'.
bool ExecutableNamed(const std::string& exe, const std::string& name);

// Ends the process of that entry, never another one that got its id after
// the snapshot was taken. On Linux another process gets SIGKILL (its parent
// sees it killed by that signal); on Windows it is terminated with exit code
// 0. The calling process itself ends inside this call with exit code 0,
// without running destructors or exit handlers. False when the process
// cannot be opened or ended.
bool EndProcess(const ProcessEntry& entry);

}  // namespace platform
