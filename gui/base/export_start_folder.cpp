#include "gui/base/export_start_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/base/app_folder.h"
#include "gui/base/qt_text.h"

namespace {

bool WritableFolder(const QFileInfo& folder) { return folder.isDir() && folder.isWritable(); }

}  // namespace

std::filesystem::path ExportStartFolder() {
  // A system install's Data folder is no place for anyone's exports, even
  // for root, who could write there.
  const std::filesystem::path data = AppFolder() / "Data";
  const QFileInfo dataInfo(FromPath(data));
  if (!IsSystemInstall(AppFolder()) &&
      (dataInfo.exists() ? WritableFolder(dataInfo) : WritableFolder(QFileInfo(FromPath(AppFolder())))))
    return data;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QFileInfo(documents).isDir()) return ToPath(documents);
  return ToPath(QDir::homePath());
}
