#pragma once
// Where the save dialog of an export starts: the "Data" folder beside the
// executable when the user may write there (or may create it) and the
// folder is not a system install (IsSystemInstall), else the
// user's Documents folder, else the home folder. An installed program's
// folder is read-only for its users, and a dialog that opens on a folder
// nobody can save into only leads to a refusal after the user has chosen.
#include <filesystem>

std::filesystem::path ExportStartFolder();
