#include "platform/user_files.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace platform {

bool MayChangeInPlace(const std::filesystem::path& file) {
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  // The rights on the file and its folder: open the file for writing without
  // changing it, and create a file beside it that goes when it is closed.
  const HANDLE opened = CreateFileW(file.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return false;
  CloseHandle(opened);
  std::filesystem::path probe = file;
  probe += L".write-probe-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE created =
      CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (created == INVALID_HANDLE_VALUE) return false;
  CloseHandle(created);
  return true;
}

bool OwnedByCallingUser(const std::filesystem::path&) { return false; }

std::optional<std::filesystem::path> UserDataFolder() {
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (!appData || !*appData) return std::nullopt;
  return std::filesystem::path(appData) / L"Zelvoran";
}

}  // namespace platform
