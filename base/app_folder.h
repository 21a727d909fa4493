#pragma once
// The folder every file of the program is found in: the executable's own
// folder (CP936, ending in the path separator). Tests point it elsewhere.
#include <string>

const std::string& AppFolder();
void SetAppFolderForTests(const std::string& folder);  // "" goes back to the executable's
