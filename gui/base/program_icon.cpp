#include "gui/base/program_icon.h"

#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPixmap>
#include <QPolygonF>

namespace {

// Draws the icon on a canvas of 256 x 256 units.
void DrawProgramIcon(QPainter& p) {
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

QImage ProgramIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 256.0, size / 256.0);
  DrawProgramIcon(p);
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
  return icon;
}
