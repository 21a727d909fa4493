#pragma once
// Loading a module (shared library) for good and finding its entries, and the
// path of the module that holds a given piece of code.
#include <filesystem>
#include <string>

namespace platform {

struct ModuleLoad {
  void* handle = nullptr;  // nullptr when the file could not be loaded
  std::string error;       // the system's reason then (UTF-8)
};

// Loads the module at `path`, which must be a full path (a relative one is
// refused, never looked for in the current folder). It stays loaded until
// the process ends: code of it may still run from widgets that are deleted
// later through the event queue, so it is never released.
ModuleLoad LoadModuleForGood(const std::filesystem::path& path);
// The exported entry `name` of a loaded module; nullptr when there is none.
void* ModuleEntry(void* handle, const char* name);
// Full path of the module (executable or library) whose code or data holds
// `address`; empty when it cannot be told.
std::filesystem::path ModulePathOf(const void* address);

}  // namespace platform
