#include "base/app_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "base/qt_text.h"
#include "platform/executable.h"

namespace {
std::filesystem::path g_override;

bool WritableFolder(const QFileInfo& folder) {
  return folder.isDir() && folder.isWritable();
}
}  // namespace

const std::filesystem::path& AppFolder() {
  static const std::filesystem::path executableFolder = platform::ExecutableFolder();
  return g_override.empty() ? executableFolder : g_override;
}

void SetAppFolderForTests(const std::filesystem::path& folder) { g_override = folder; }

std::filesystem::path ExportStartFolder() {
  const std::filesystem::path data = AppFolder() / "Data";
  const QFileInfo dataInfo(FromPath(data));
  if (dataInfo.exists() ? WritableFolder(dataInfo) : WritableFolder(QFileInfo(FromPath(AppFolder()))))
    return data;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return ToPath(documents);
  return ToPath(QDir::homePath());
}
