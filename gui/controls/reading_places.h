#pragma once
// Where the user left each document: the page, the place on it and the zoom,
// kept per user in "reading_places.ini" under the user's own data folder
// (never beside the program, which may be read-only and is shared). A
// document is known by its full path.
#include <QString>
#include <optional>

namespace pdfview {

struct ReadingPlace {
  int page = 0;
  double x = 0.5;  // the middle of the view, in fractions of the page
  double y = 0;
  double zoom = 0;  // 0: fitted to the width
};

std::optional<ReadingPlace> LoadReadingPlace(const QString& document);
void SaveReadingPlace(const QString& document, const ReadingPlace& place);

}  // namespace pdfview
