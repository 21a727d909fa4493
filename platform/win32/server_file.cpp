#include "platform/server_file.h"

#include <windows.h>

namespace platform {

std::optional<long> CallServerEntry(const std::filesystem::path& path, const char* entryName) {
  // No system dialog for a file that cannot be loaded: the caller only wants
  // a truth value.
  DWORD previousMode = 0;
  const bool modeSet =
      SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != FALSE;
  const HMODULE library = LoadLibraryW(path.c_str());
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
