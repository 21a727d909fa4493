#pragma once
// Where the running executable lies. Every file the program uses is found
// in the executable's folder. Paths stay in the platform's own form, so a
// folder name with characters outside CP936 still works.
#include <filesystem>

namespace platform {

// Full path of the running executable.
std::filesystem::path ExecutablePath();
// Its folder.
std::filesystem::path ExecutableFolder();

// The file name the program's executable has on this platform: "Zelvoran"
// on Linux, "Zelvoran.exe" on Windows. The exit sequence ends every process
// of this name, the program's own included.
const char* ProgramExecutableName();

}  // namespace platform
