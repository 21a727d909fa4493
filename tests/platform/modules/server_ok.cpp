// A server file whose registration entries both succeed.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t DllRegisterServer() { return 0; }
extern "C" __attribute__((visibility("default"))) std::int32_t DllUnregisterServer() { return 0; }
