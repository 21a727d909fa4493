#pragma once
// Whether a file is a whole module (shared library) of this platform's kind,
// checked before the file is loaded. The system's loader maps a module's
// parts straight from the file and trusts its headers: a file cut short by an
// interrupted copy or a full disk then ends the process (SIGBUS on Linux)
// instead of failing to load. This check reads only the headers.
//   POSIX: an ELF shared object of this process's class and byte order whose
//          header tables, segments and sections all lie inside the file.
//   Win32: a PE image whose headers, section table and sections' raw data
//          all lie inside the file.
#include <filesystem>
#include <optional>
#include <string>

namespace platform {

// Nothing when `path` names a whole module; otherwise what is wrong with it
// (English, for messages that name the file in the program's own words).
std::optional<std::string> ModuleFileFault(const std::filesystem::path& path);

}  // namespace platform
