#pragma once
// The calling user's rights on a file, and the folder where the program
// keeps files of that user's own.
#include <filesystem>
#include <optional>

namespace platform {

// Whether the calling user may change the existing `file` in place: write
// to it, and create and remove files in its folder (a database engine keeps
// its journal there while it writes). False for a file that does not exist.
bool MayChangeInPlace(const std::filesystem::path& file);

// Whether the existing `path` belongs to the calling user (on Windows,
// where folders have no single owner that matters here, never).
bool OwnedByCallingUser(const std::filesystem::path& path);

// The folder for the program's files of the calling user, not created here:
// on Linux $XDG_DATA_HOME/Zelvoran (when that is an absolute path), else
// ~/.local/share/Zelvoran; on Windows %APPDATA%\Zelvoran. Nothing when the
// user has no such place.
std::optional<std::filesystem::path> UserDataFolder();

}  // namespace platform
