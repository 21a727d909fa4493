// RegisterServerFile / UnregisterServerFile through LoadLibraryExW and
// GetProcAddress, with the small server files of the registration tests, and
// the per-user class registry they write to.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "core/base/Excel_unit.h"
#include "platform/class_registry.h"
#include "platform/loadable_module.h"
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

// A library cut short (an interrupted copy, a full disk) is refused before it
// is loaded, wherever the cut falls.
TEST(ServerFile, ALibraryCutShortIsRefusedBeforeItIsLoaded) {
  std::ifstream in(ProgramFolder() / L"server_ok.dll", std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(whole.size(), 4096u);
  TempFolder folder(L"zelvoran-cut");
  const size_t cuts[] = {32, 200, 1024, whole.size() / 2, whole.size() - 1};
  for (const size_t length : cuts) {
    SCOPED_TRACE(length);
    const std::filesystem::path file = folder.path() / (L"cut" + std::to_wstring(length) + L".ocx");
    std::ofstream(file, std::ios::binary) << whole.substr(0, length);
    EXPECT_FALSE(RegisterServerFile(file));
    const platform::ModuleLoad load = platform::LoadModuleForGood(file);
    EXPECT_EQ(load.handle, nullptr);
    EXPECT_EQ(load.error.rfind("damaged module file", 0), 0u) << load.error;
    EXPECT_FALSE(IsLoaded(file));
  }
  const std::filesystem::path copy = folder.path() / L"whole.ocx";
  std::ofstream(copy, std::ios::binary) << whole;
  EXPECT_TRUE(RegisterServerFile(copy));
}

TEST(ClassRegistry, FullPathsOnlyAndNothingThatOtherComClientsWouldFind) {
  const char* const id = "{433268D7-2CD4-43E6-AA24-2188672E7252}";
  const struct {
    std::filesystem::path module;
    bool registered;
  } cases[] = {
      {L"C:\\zelvoran\\控件\\pdfview.ocx", true},
      {L"\\\\server\\share\\pdfview.ocx", true},
      {L"pdfview.ocx", false},
      {L"C:pdfview.ocx", false},      // relative to drive C's current folder
      {L"\\zelvoran\\pdfview.ocx", false},  // relative to the current drive
  };
  // An entry of an earlier release that made the module a COM server goes
  // when the module registers again.
  const wchar_t* const legacy = L"Software\\Classes\\CLSID\\{433268D7-2CD4-43E6-AA24-2188672E7252}";
  const std::wstring earlier = cases[0].module.wstring();
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, (std::wstring(legacy) + L"\\InprocServer32").c_str(), nullptr,
                            REG_SZ, earlier.c_str(), DWORD((earlier.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  for (const auto& c : cases) {
    ASSERT_TRUE(platform::UnregisterClassModule(id));
    EXPECT_EQ(platform::RegisterClassModule(id, c.module), c.registered) << "case " << (&c - cases);
    EXPECT_EQ(platform::FindClassModule(id),
              c.registered ? std::optional<std::filesystem::path>(c.module) : std::nullopt);
  }
  // Registered where only this program looks: no COM server entry.
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, legacy, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_TRUE(platform::ClassRegistryWritable());
  ASSERT_TRUE(platform::UnregisterClassModule(id));
  EXPECT_EQ(platform::FindClassModule(id), std::nullopt);
  // Nothing relative is loaded for registration either.
  EXPECT_FALSE(RegisterServerFile(L"server_ok.dll"));
}

}  // namespace
