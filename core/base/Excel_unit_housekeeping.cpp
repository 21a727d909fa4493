#include "core/base/Excel_unit.h"
#include "platform/processes.h"
#include "platform/server_file.h"

#include <algorithm>
#include <vector>

namespace {

// Everything after the last '\', '/' or ':'; the whole text when there is none.
std::string FileNamePart(const std::string& exe) {
  const size_t cut = exe.find_last_of("\\/:");
  return cut == std::string::npos ? exe : exe.substr(cut + 1);
}

bool ServerEntrySucceeded(const std::filesystem::path& path, const char* entry) {
  const auto status = platform::CallServerEntry(path, entry);
  return status.has_value() && *status == 0;
}

}  // namespace

bool KillProcessesByName(const std::string& exeName) {
  const std::string wanted = AsciiUpper(exeName);
  std::vector<platform::ProcessEntry> matches;
  platform::VisitProcesses([&](const platform::ProcessEntry& entry) {
    if (AsciiUpper(FileNamePart(entry.exe)) == wanted || AsciiUpper(entry.exe) == wanted)
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
