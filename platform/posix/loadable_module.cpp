#include "platform/loadable_module.h"

#include <dlfcn.h>

#include "platform/module_file.h"

namespace platform {

ModuleLoad LoadModuleForGood(const std::filesystem::path& path) {
  ModuleLoad load;
  // A bare name would be searched along the library path, a relative one in
  // the current folder: only a full path is loaded.
  if (!path.is_absolute()) {
    load.error = "not a full path";
    return load;
  }
  // A file cut short would be mapped as it claims to be and fault later.
  if (auto fault = ModuleFileFault(path)) {
    load.error = "damaged module file: " + *fault;
    return load;
  }
  load.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!load.handle) {
    const char* reason = dlerror();
    load.error = reason ? reason : "dlopen failed";
  }
  return load;
}

void* ModuleEntry(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

std::filesystem::path ModulePathOf(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname || !*info.dli_fname) return {};
  std::error_code error;
  const auto full = std::filesystem::absolute(info.dli_fname, error);
  return error ? std::filesystem::path(info.dli_fname) : full;
}

}  // namespace platform
