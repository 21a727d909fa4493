#include "base/Excel_unit.h"
#include "platform/processes.h"
#include "platform/server_file.h"

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
  bool result = false;
  platform::VisitProcesses([&](const platform::ProcessEntry& entry) {
    if (AsciiUpper(FileNamePart(entry.exe)) == wanted || AsciiUpper(entry.exe) == wanted)
      result = platform::EndProcess(entry);
    return true;
  });
  return result;
}

bool RegisterServerFile(const std::filesystem::path& path) {
  return ServerEntrySucceeded(path, "DllRegisterServer");
}

bool UnregisterServerFile(const std::filesystem::path& path) {
  return ServerEntrySucceeded(path, "DllUnregisterServer");
}
