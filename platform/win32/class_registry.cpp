#include "platform/class_registry.h"

#include <windows.h>

#include <string>

namespace platform {
namespace {

// HKEY_CURRENT_USER\Software\Classes\CLSID\<id>: the per-user part of the
// class registry, which needs no administrator rights.
std::wstring ClassKey(const std::string& classId) {
  return L"Software\\Classes\\CLSID\\" + std::wstring(classId.begin(), classId.end());
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

}  // namespace

bool RegisterClassModule(const std::string& classId, const std::filesystem::path& module) {
  if (!PlainClassId(classId) || !module.is_absolute()) return false;
  const std::wstring key = ClassKey(classId) + L"\\InprocServer32";
  HKEY server = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &server, nullptr) != ERROR_SUCCESS)
    return false;
  const bool ok = SetText(server, nullptr, module.wstring()) &&
                  SetText(server, L"ThreadingModel", L"Apartment");
  RegCloseKey(server);
  return ok;
}

bool UnregisterClassModule(const std::string& classId) {
  if (!PlainClassId(classId)) return false;
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, ClassKey(classId).c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::optional<std::filesystem::path> FindClassModule(const std::string& classId) {
  if (!PlainClassId(classId)) return std::nullopt;
  const std::wstring key = ClassKey(classId) + L"\\InprocServer32";
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS ||
      bytes < sizeof(wchar_t))
    return std::nullopt;
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(),
                   &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  if (value.empty()) return std::nullopt;
  return std::filesystem::path(value);
}

}  // namespace platform
