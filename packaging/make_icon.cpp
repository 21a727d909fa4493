// Draws the program's icon, a criteria sheet with ticked lines under a
// magnifying glass on a blue tile, and writes it as PNG files in the sizes
// that desktops look for:
//   make_icon <folder> <name>  ->  <folder>/<N>x<N>/apps/<name>.png
// Everything is drawn on a 256-unit canvas and scaled, so every size is
// rendered from the shapes themselves rather than scaled from a bitmap.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygonF>
#include <QString>

#include <cstdio>

namespace {

void DrawIcon(QPainter& p) {
  // The tile.
  QLinearGradient tile(0, 8, 0, 248);
  tile.setColorAt(0, QColor(43, 125, 196));
  tile.setColorAt(1, QColor(20, 78, 140));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(8, 8, 240, 240), 44, 44);

  // The sheet, its top right corner folded.
  QPainterPath sheet;
  sheet.moveTo(58, 34);
  sheet.lineTo(154, 34);
  sheet.lineTo(190, 70);
  sheet.lineTo(190, 222);
  sheet.lineTo(58, 222);
  sheet.closeSubpath();
  p.setBrush(QColor(250, 251, 253));
  p.drawPath(sheet);
  p.setBrush(QColor(196, 210, 226));
  p.drawPolygon(QPolygonF({QPointF(154, 34), QPointF(154, 70), QPointF(190, 70)}));

  // Three criteria, each a ticked box and a line of text.
  for (int i = 0; i < 3; ++i) {
    const qreal y = 86 + i * 42;
    p.setPen(QPen(QColor(120, 140, 160), 5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(74, y, 26, 26), 5, 5);
    p.setPen(QPen(QColor(40, 160, 80), 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(78, y + 13), QPointF(87, y + 22), QPointF(104, y + 2)}));
    p.setPen(QPen(QColor(150, 165, 182), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(114, y + 13), QPointF(i == 1 ? 150 : 172, y + 13));
  }

  // The magnifying glass over the lower right corner.
  p.setPen(QPen(QColor(60, 44, 30), 20, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(198, 198), QPointF(230, 230));
  p.setPen(QPen(QColor(236, 178, 46), 13));
  p.setBrush(QColor(210, 232, 250, 150));
  p.drawEllipse(QPointF(170, 170), 38, 38);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_icon <folder> <name>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const QString name = QString::fromLocal8Bit(argv[2]);
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
      QPainter p(&image);
      p.setRenderHint(QPainter::Antialiasing);
      p.scale(size / 256.0, size / 256.0);
      DrawIcon(p);
    }
    const QString sizeFolder = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
    const QString file = sizeFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!QDir().mkpath(sizeFolder) || !image.save(file, "PNG")) {
      std::fprintf(stderr, "make_icon: cannot write %s\n", qPrintable(file));
      return 1;
    }
  }
  return 0;
}
