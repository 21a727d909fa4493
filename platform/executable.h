#pragma once
// Where the running executable lies. Every file the program uses is found
// in the executable's folder.
#include <string>

namespace platform {

// Full path of the running executable, CP936.
std::string ExecutablePath();
// Its folder, CP936, ending in the path separator.
std::string ExecutableFolder();

// The file name the program's executable has on this platform: "Zelvoran"
// on Linux, "Zelvoran.exe" on Windows. The exit sequence ends every process
// of this name, the program's own included.
const char* ProgramExecutableName();

}  // namespace platform
