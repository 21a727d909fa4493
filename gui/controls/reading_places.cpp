#include "gui/controls/reading_places.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <memory>

#include "platform/user_files.h"

namespace pdfview {
namespace {

// The user's file of places; nothing when the user has no data folder.
std::unique_ptr<QSettings> Places() {
  const auto folder = platform::UserDataFolder();
  if (!folder) return nullptr;
  const auto file = (*folder / "reading_places.ini").u16string();
  return std::make_unique<QSettings>(QString::fromStdU16String(file), QSettings::IniFormat);
}

// A key that any path can be: the hash of the document's full path.
QString KeyOf(const QString& document) {
  const QString full = QFileInfo(document).absoluteFilePath();
  return QStringLiteral("places/") +
         QString::fromLatin1(QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha1).toHex());
}

}  // namespace

std::optional<ReadingPlace> LoadReadingPlace(const QString& document) {
  const auto places = Places();
  if (!places) return std::nullopt;
  const QStringList parts = places->value(KeyOf(document)).toString().split(QLatin1Char(' '));
  if (parts.size() != 4) return std::nullopt;
  ReadingPlace place;
  bool ok[4];
  place.page = parts[0].toInt(&ok[0]);
  place.x = parts[1].toDouble(&ok[1]);
  place.y = parts[2].toDouble(&ok[2]);
  place.zoom = parts[3].toDouble(&ok[3]);
  if (!(ok[0] && ok[1] && ok[2] && ok[3]) || place.page < 0) return std::nullopt;
  return place;
}

void SaveReadingPlace(const QString& document, const ReadingPlace& place) {
  const auto places = Places();
  if (!places) return;
  places->setValue(KeyOf(document), QStringLiteral("%1 %2 %3 %4")
                                        .arg(place.page)
                                        .arg(place.x, 0, 'g', 9)
                                        .arg(place.y, 0, 'g', 9)
                                        .arg(place.zoom, 0, 'g', 9));
}

}  // namespace pdfview
