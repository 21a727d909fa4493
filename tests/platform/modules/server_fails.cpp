// A server file whose registration entries report failures: E_FAIL when
// registering, and the positive S_FALSE when unregistering.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() {
  return static_cast<std::int32_t>(0x80004005u);
}
extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() { return 1; }
