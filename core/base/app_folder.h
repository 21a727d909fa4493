#pragma once
// The folder every file of the program is found in: the executable's own
// folder, as the platform names it. Tests point it elsewhere.
#include <filesystem>

const std::filesystem::path& AppFolder();
// An empty path goes back to the executable's folder.
void SetAppFolderForTests(const std::filesystem::path& folder);

// The file that the Debian package installs beside the executable. A folder
// that holds it is a system install: the program writes nothing into it,
// whoever runs it (root included, who could): each user's settings live in
// that user's own files, and exports start elsewhere.
inline constexpr const char* kSystemInstallMarker = "system-install";
bool IsSystemInstall(const std::filesystem::path& folder);
