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

}  // namespace platform
