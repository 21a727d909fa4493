#pragma once
// Self-registration entry points of an in-process server file (a library
// exporting DllRegisterServer / DllUnregisterServer).
#include <filesystem>
#include <optional>

namespace platform {

// Loads the library at `path`, calls the exported entry `entryName` (no
// arguments, returns a status code) and unloads it again. Nothing when the
// file cannot be loaded or has no such entry.
std::optional<long> CallServerEntry(const std::filesystem::path& path, const char* entryName);

}  // namespace platform
