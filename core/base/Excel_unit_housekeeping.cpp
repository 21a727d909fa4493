#include "core/base/Excel_unit.h"
#include "platform/processes.h"
#include "platform/server_file.h"

#include <algorithm>
#include <vector>

namespace {

bool ServerEntrySucceeded(const std::filesystem::path& path, const char* entry) {
  const auto status = platform::CallServerEntry(path, entry);
  return status.has_value() && *status == 0;
}

}  // namespace

bool KillProcessesByName(const std::string& exeName) {
  // Only the caller's own user's processes: a copy that root or another
  // user runs on the same machine is theirs to end.
  std::vector<platform::ProcessEntry> matches;
  platform::VisitProcesses([&](const platform::ProcessEntry& entry) {
    if (platform::ExecutableNamed(entry.exe, exeName) && platform::RunsForCallingUser(entry))
      matches.push_back(entry);
    return true;
  });
  // The calling process goes last: ending it ends the call, and every other
  // match must be ended by then, wherever it stood in the snapshot.
  const long long self = platform::CurrentProcessId();
  std::stable_partition(matches.begin(), matches.end(),
                        [self](const platform::ProcessEntry& entry) { return entry.id != self; });
  bool result = false;
  for (const platform::ProcessEntry& entry : matches) result = platform::EndProcess(entry);
  return result;
}

bool RegisterServerFile(const std::filesystem::path& path) {
  return ServerEntrySucceeded(path, "DllRegisterServer");
}

bool UnregisterServerFile(const std::filesystem::path& path) {
  return ServerEntrySucceeded(path, "DllUnregisterServer");
}
