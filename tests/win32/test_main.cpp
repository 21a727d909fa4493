// The Win32 test program. COM is initialised for the main thread in the
// single-threaded apartment, as the program's start-up does.
#include <cstdio>

#include <gtest/gtest.h>

#include "platform/com_apartment.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const platform::ComApartment com;
  if (!com.Initialised()) {
    fprintf(stderr, "COM could not be initialised\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
