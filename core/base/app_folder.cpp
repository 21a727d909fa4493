#include "core/base/app_folder.h"

#include "platform/executable.h"

namespace {
std::filesystem::path g_override;
}  // namespace

const std::filesystem::path& AppFolder() {
  static const std::filesystem::path executableFolder = platform::ExecutableFolder();
  return g_override.empty() ? executableFolder : g_override;
}

void SetAppFolderForTests(const std::filesystem::path& folder) { g_override = folder; }

bool IsSystemInstall(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::exists(folder / kSystemInstallMarker, error);
}
