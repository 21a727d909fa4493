#include "base/app_folder.h"

#include "platform/executable.h"

namespace {
std::string g_override;
}

const std::string& AppFolder() {
  static const std::string executableFolder = platform::ExecutableFolder();
  return g_override.empty() ? executableFolder : g_override;
}

void SetAppFolderForTests(const std::string& folder) { g_override = folder; }
