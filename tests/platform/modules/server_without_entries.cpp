// A library that exports no registration entry.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t SomethingElse() { return 0; }
