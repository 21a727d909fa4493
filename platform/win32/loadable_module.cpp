#include "platform/loadable_module.h"

#include <windows.h>

#include "platform/module_file.h"
#include "platform/win32/full_path.h"

#include "platform/win32/module_file_name.h"

#include <string>

namespace platform {
namespace {

// The system's text for an error code, as UTF-8.
std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes > 0 ? bytes : 0));
    if (bytes > 0)
      WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), out.data(), bytes, nullptr, nullptr);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' '))
      out.pop_back();
  }
  if (text) LocalFree(text);
  return out.empty() ? "error " + std::to_string(code) : out;
}

}  // namespace

ModuleLoad LoadModuleForGood(const std::filesystem::path& path) {
  ModuleLoad load;
  // A relative name would be looked for along the search path.
  if (!win32::FullPath(path)) {
    load.error = "not a full path";
    return load;
  }
  if (auto fault = ModuleFileFault(path)) {
    load.error = "damaged module file: " + *fault;
    return load;
  }
  // No system dialog for a file that cannot be loaded: the caller reports it.
  DWORD previousMode = 0;
  const bool modeSet =
      SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode) != FALSE;
  // Dependencies are looked for beside the module first.
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const DWORD error = module ? 0 : GetLastError();
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
  load.handle = module;
  if (!module) load.error = SystemMessage(error);
  return load;
}

void* ModuleEntry(void* handle, const char* name) {
  if (!handle) return nullptr;
  FARPROC entry = GetProcAddress(static_cast<HMODULE>(handle), name);
  return reinterpret_cast<void*>(entry);
}

std::filesystem::path ModulePathOf(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module))
    return {};
  return win32::ModuleFileName(module);
}

}  // namespace platform
