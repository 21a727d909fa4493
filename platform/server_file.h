#pragma once
// Self-registration entry points of an in-process server file (a library
// exporting DllRegisterServer / DllUnregisterServer).
#include <optional>
#include <string>

namespace platform {

// Loads the library at `path` (CP936), calls the exported entry `entryName`
// (no arguments, returns a status code) and unloads it again. Nothing when the
// file cannot be loaded or has no such entry.
std::optional<long> CallServerEntry(const std::string& path, const char* entryName);

}  // namespace platform
