// Stands in for the PDF viewer control in tests of the whole program: its
// registration entries note each call in "pdfview.log" beside the module.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

void Note(const char* what) {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&Note), &info) || !info.dli_fname) return;
  std::string path = info.dli_fname;
  path = path.substr(0, path.find_last_of('/') + 1) + "pdfview.log";
  if (FILE* log = std::fopen(path.c_str(), "a")) {
    std::fprintf(log, "%s\n", what);
    std::fclose(log);
  }
}

}  // namespace

extern "C" std::int32_t DllRegisterServer() {
  Note("register");
  return 0;
}

extern "C" std::int32_t DllUnregisterServer() {
  Note("unregister");
  return 0;
}
