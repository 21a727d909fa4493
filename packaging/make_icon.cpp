// Writes the program's icon (gui/base/program_icon) as PNG files in the
// sizes that desktops look for:
//   make_icon <folder> <name>  ->  <folder>/<N>x<N>/apps/<name>.png
// Every size is rendered from the shapes themselves rather than scaled from
// a bitmap.
#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>

#include "gui/base/program_icon.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon <folder> <name>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    const QImage image = ProgramIconImage(size);
    const QString sizeFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    const QString file = sizeFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!QDir().mkpath(sizeFolder) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
