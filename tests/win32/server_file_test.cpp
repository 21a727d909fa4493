// RegisterServerFile / UnregisterServerFile through LoadLibraryW and
// GetProcAddress, with the small server files of the registration tests.
#include <gtest/gtest.h>

#include <fstream>

#include "base/Excel_unit.h"
#include "win32_test_support.h"

namespace {

using win32_testing::ProgramFolder;
using win32_testing::TempFolder;

bool IsLoaded(const std::filesystem::path& library) {
  return GetModuleHandleW(library.c_str()) != nullptr;
}

TEST(ServerFile, EntriesThatReturnZeroSucceedFromAChineseFolderAndTheFileIsReleased) {
  // The control file's place: a folder with a Chinese name, the name pdfview.ocx.
  TempFolder folder(L"zelvoran-控件");
  const std::filesystem::path ocx = folder.path() / L"pdfview.ocx";
  std::filesystem::copy_file(ProgramFolder() / L"server_ok.dll", ocx);
  EXPECT_TRUE(RegisterServerFile(ocx));
  EXPECT_FALSE(IsLoaded(ocx));
  EXPECT_TRUE(UnregisterServerFile(ocx));
  EXPECT_FALSE(IsLoaded(ocx));
}

TEST(ServerFile, AnyOtherStatusCodeIsAFailure) {
  const std::filesystem::path failing = ProgramFolder() / L"server_fails.dll";
  EXPECT_FALSE(RegisterServerFile(failing));    // E_FAIL, negative
  EXPECT_FALSE(UnregisterServerFile(failing));  // S_FALSE, positive
  EXPECT_FALSE(IsLoaded(failing));
}

TEST(ServerFile, AFileWithoutTheEntryOrNoLibraryAtAllIsAFailure) {
  const std::filesystem::path without = ProgramFolder() / L"server_without_entries.dll";
  EXPECT_FALSE(RegisterServerFile(without));
  EXPECT_FALSE(UnregisterServerFile(without));
  EXPECT_FALSE(IsLoaded(without));

  TempFolder folder(L"zelvoran-server");
  EXPECT_FALSE(RegisterServerFile(folder.path() / L"pdfview.ocx"));  // missing
  EXPECT_FALSE(UnregisterServerFile(folder.path() / L"pdfview.ocx"));
  EXPECT_FALSE(RegisterServerFile(""));
  const std::filesystem::path text = folder.path() / L"notes.ocx";
  std::ofstream(text) << "not a library\n";
  EXPECT_FALSE(RegisterServerFile(text));
  EXPECT_FALSE(IsLoaded(text));
}

}  // namespace
