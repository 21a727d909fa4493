// ReplaceFileContent with the Windows file API: new and existing files, a
// read-only file, a file with a second hard link, and the temporary files of
// ended processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/file_replace.h"
#include "win32_test_support.h"

namespace {

namespace fs = std::filesystem;
using win32_testing::Child;
using win32_testing::CopyHelper;
using win32_testing::TempFolder;

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void Write(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::vector<std::wstring> Names(const fs::path& folder) {
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().wstring());
  std::sort(names.begin(), names.end());
  return names;
}

DWORD LinkCount(const fs::path& file) {
  HANDLE h = CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  BY_HANDLE_FILE_INFORMATION info{};
  GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  return info.nNumberOfLinks;
}

TEST(FileReplace, ReplacesKeepingLinksAndRefusesReadOnlyFiles) {
  TempFolder folder(L"zelvoran-替换");
  const fs::path& f = folder.path();
  const std::string content = "new content\r\n导出\r\n";

  // A new file, then the same name again.
  platform::ReplaceFileContent(f / L"新.csv", "first");
  platform::ReplaceFileContent(f / L"新.csv", content);
  EXPECT_EQ(Read(f / L"新.csv"), content);

  // A read-only file is refused and stays as it was.
  Write(f / L"ro.csv", "earlier");
  SetFileAttributesW((f / L"ro.csv").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_THROW(platform::ReplaceFileContent(f / L"ro.csv", content), std::runtime_error);
  EXPECT_EQ(Read(f / L"ro.csv"), "earlier");
  EXPECT_TRUE(GetFileAttributesW((f / L"ro.csv").c_str()) & FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW((f / L"ro.csv").c_str(), FILE_ATTRIBUTE_NORMAL);

  // A file with a second hard link is written in place: both names show it.
  // Its earlier content is kept in the user's undo folder meanwhile, and
  // goes once the new content is complete.
  TempFolder local(L"zelvoran-local");
  wchar_t saved[MAX_PATH] = L"";
  const bool hadLocal = GetEnvironmentVariableW(L"LOCALAPPDATA", saved, MAX_PATH) > 0;
  SetEnvironmentVariableW(L"LOCALAPPDATA", local.path().c_str());
  Write(f / L"hard.dat", "earlier");
  ASSERT_TRUE(CreateHardLinkW((f / L"partner.dat").c_str(), (f / L"hard.dat").c_str(), nullptr));
  platform::ReplaceFileContent(f / L"hard.dat", content);
  EXPECT_EQ(Read(f / L"partner.dat"), content);
  EXPECT_EQ(LinkCount(f / L"hard.dat"), 2u);
  EXPECT_TRUE(fs::is_directory(local.path() / L"Zelvoran" / L"replace"));
  EXPECT_TRUE(Names(local.path() / L"Zelvoran" / L"replace").empty());
  SetEnvironmentVariableW(L"LOCALAPPDATA", hadLocal ? saved : nullptr);

  // Temporary files: one of an ended process goes, one of a running process
  // stays, other names stay.
  Child ended(CopyHelper(f, L"ended.exe"), {"folder"});
  ASSERT_TRUE(ended.WaitForExit().has_value());
  Child running(CopyHelper(f, L"running.exe"), {"wait"});
  ASSERT_EQ(running.ReadLine(), "ready");
  const std::wstring stale = L".zelvoran-" + std::to_wstring(ended.id()) + L"-1.part";
  const std::wstring live = L".zelvoran-" + std::to_wstring(running.id()) + L"-1.part";
  for (const std::wstring& name : {stale, live, std::wstring(L"x.part")}) Write(f / name, "left");
  platform::ReplaceFileContent(f / L"新.csv", content);
  EXPECT_EQ(Names(f), (std::vector<std::wstring>{live, L"ended.exe", L"hard.dat", L"partner.dat",
                                                 L"ro.csv", L"running.exe", L"x.part",
                                                 L"新.csv"}));
}

}  // namespace
