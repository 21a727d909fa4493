#include "platform/user_files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {

bool MayChangeInPlace(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return false;
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  return faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 &&
         faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool OwnedByCallingUser(const std::filesystem::path& path) {
  struct stat info {};
  return stat(path.empty() ? "." : path.c_str(), &info) == 0 && info.st_uid == geteuid();
}

std::optional<std::filesystem::path> UserDataFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
    return std::filesystem::path(data) / "Zelvoran";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/')
    home = h;
  else if (const passwd* user = getpwuid(geteuid()); user && user->pw_dir && user->pw_dir[0] == '/')
    home = user->pw_dir;
  if (home.empty()) return std::nullopt;
  return std::filesystem::path(home) / ".local" / "share" / "Zelvoran";
}

}  // namespace platform
