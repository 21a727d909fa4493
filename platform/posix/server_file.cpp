#include "platform/server_file.h"

#include <dlfcn.h>

#include <cstdint>

#include "platform/module_file.h"

namespace platform {

std::optional<long> CallServerEntry(const std::filesystem::path& path, const char* entryName) {
  // dlopen takes the empty name for the program itself, and looks for a name
  // without a folder along the library path: only a full path names a file.
  if (!path.is_absolute()) return std::nullopt;
  // A damaged file (one cut short) is never loaded: its mapping would fault.
  if (ModuleFileFault(path)) return std::nullopt;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library) return std::nullopt;
  std::optional<long> status;
  // The entries return a 32-bit status code, 0 for success.
  using Entry = std::int32_t (*)();
  if (void* symbol = dlsym(library, entryName))
    status = reinterpret_cast<Entry>(symbol)();
  dlclose(library);
  return status;
}

}  // namespace platform
