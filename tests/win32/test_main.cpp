// The Win32 test program. COM is initialised for the main thread in the
// single-threaded apartment, as the program's start-up does.
#include <objbase.h>

#include <cstdio>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitialize(nullptr))) {
    fprintf(stderr, "COM could not be initialised\n");
    return 1;
  }
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
