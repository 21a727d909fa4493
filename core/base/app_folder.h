#pragma once
// The folder every file of the program is found in: the executable's own
// folder, as the platform names it. Tests point it elsewhere.
#include <filesystem>

const std::filesystem::path& AppFolder();
// An empty path goes back to the executable's folder.
void SetAppFolderForTests(const std::filesystem::path& folder);
