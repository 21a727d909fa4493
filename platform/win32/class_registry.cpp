#include "platform/class_registry.h"

#include <windows.h>

#include <string>

#include "platform/win32/full_path.h"

namespace platform {
namespace {

// HKEY_CURRENT_USER\Software\Zelvoran\Classes: needs no administrator
// rights, and no other COM client finds the program's modules there (they
// export no DllGetClassObject).
constexpr wchar_t kRegistryKey[] = L"Software\\Zelvoran\\Classes";

std::wstring ClassKey(const std::string& classId) {
  return std::wstring(kRegistryKey) + L"\\" + std::wstring(classId.begin(), classId.end());
}

bool PlainClassId(const std::string& classId) {
  if (classId.empty()) return false;
  for (const char c : classId)
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') return false;
  return true;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

// The default value of HKEY_CURRENT_USER\<key>; empty when there is none.
std::wstring DefaultText(const std::wstring& key) {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS ||
      bytes < sizeof(wchar_t))
    return {};
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(),
                   &bytes) != ERROR_SUCCESS)
    return {};
  value.resize(wcsnlen(value.c_str(), value.size()));
  return value;
}

// Earlier releases recorded the module as the class's COM server. That
// entry is removed when it names `module`: COM clients would load a module
// that is no COM server. An entry of any other server is left alone.
void RemoveEarlierServerEntry(const std::string& classId, const std::filesystem::path& module) {
  const std::wstring key = L"Software\\Classes\\CLSID\\" + std::wstring(classId.begin(), classId.end());
  const std::wstring server = DefaultText(key + L"\\InprocServer32");
  if (!server.empty() && CompareStringOrdinal(server.c_str(), -1, module.c_str(), -1, TRUE) == CSTR_EQUAL)
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace

bool RegisterClassModule(const std::string& classId, const std::filesystem::path& module) {
  if (!PlainClassId(classId) || !win32::FullPath(module)) return false;
  HKEY server = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, ClassKey(classId).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &server, nullptr) != ERROR_SUCCESS)
    return false;
  const bool ok = SetText(server, nullptr, module.wstring());
  RegCloseKey(server);
  if (ok) RemoveEarlierServerEntry(classId, module);
  return ok;
}

bool UnregisterClassModule(const std::string& classId) {
  if (!PlainClassId(classId)) return false;
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, ClassKey(classId).c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::optional<std::filesystem::path> FindClassModule(const std::string& classId) {
  if (!PlainClassId(classId)) return std::nullopt;
  std::filesystem::path module(DefaultText(ClassKey(classId)));
  // Only a full path: a relative one would be looked for in the current folder.
  if (!win32::FullPath(module)) return std::nullopt;
  return module;
}

std::filesystem::path ClassRegistryPlace() {
  return std::filesystem::path(std::wstring(L"HKEY_CURRENT_USER\\") + kRegistryKey);
}

bool ClassRegistryWritable() {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

}  // namespace platform
