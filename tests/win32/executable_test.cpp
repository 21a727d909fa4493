// The executable's folder when it lies in a folder with a Chinese name.
#include <gtest/gtest.h>

#include "win32_test_support.h"

namespace {

using win32_testing::Child;
using win32_testing::CopyHelper;
using win32_testing::Cp936Path;
using win32_testing::TempFolder;

TEST(ExecutableFolder, AChineseFolderNameComesBackWholeWithItsSeparator) {
  ASSERT_EQ(GetACP(), 936u) << "the Win32 tests run with the ANSI code page 936";
  TempFolder base(L"zelvoran-exe");
  // In CP936 the second byte of 淺 has the value of '\': the folder must not
  // be cut there.
  const std::filesystem::path folder = base.path() / L"政策 数据淺";
  std::filesystem::create_directory(folder);
  Child helper(CopyHelper(folder, L"淺.exe"), {"folder"});
  EXPECT_EQ(helper.ReadLine(), Cp936Path(base.path()) + "\\政策 数据淺");
}

}  // namespace
