#include "platform/server_file.h"

#include <windows.h>

#include "platform/module_file.h"
#include "platform/win32/full_path.h"

namespace platform {

std::optional<long> CallServerEntry(const std::filesystem::path& path, const char* entryName) {
  // No system dialog for a file that cannot be loaded: the caller only wants
  // a truth value.
  // A relative name would be looked for along the search path.
  if (!win32::FullPath(path)) return std::nullopt;
  // A damaged file (one cut short) is never loaded.
  if (ModuleFileFault(path)) return std::nullopt;
  DWORD previousMode = 0;
  const bool modeSet =
      SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != FALSE;
  // The same search rule as the host that creates the control: dependencies
  // are looked for beside the module first.
  const HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
  if (!library) return std::nullopt;

  std::optional<long> status;
  using Entry = HRESULT(STDAPICALLTYPE*)();
  if (FARPROC symbol = GetProcAddress(library, entryName)) {
    const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(symbol));
    status = static_cast<long>(entry());
  }
  FreeLibrary(library);
  return status;
}

}  // namespace platform
