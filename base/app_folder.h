#pragma once
// The folder every file of the program is found in: the executable's own
// folder, as the platform names it. Tests point it elsewhere.
#include <filesystem>

const std::filesystem::path& AppFolder();
// An empty path goes back to the executable's folder.
void SetAppFolderForTests(const std::filesystem::path& folder);

// Where the save dialog of an export starts: the "Data" folder beside the
// executable when the user may write there (or may create it), else the
// user's Documents folder, else the home folder. An installed program's
// folder is read-only for its users, and a dialog that opens on a folder
// nobody can save into only leads to a refusal after the user has chosen.
std::filesystem::path ExportStartFolder();
