#include <cstdio>

#include "platform/executable.h"

int main() {
  std::printf("%sVARN.mdb\n", platform::ExecutableFolder().c_str());
  return 0;
}
