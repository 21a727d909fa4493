#include "gui/browser/button_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

const QColor kArrowBlue(30, 90, 200);

QPixmap Canvas(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

void DrawArrowRight(QPainter& p, QRectF box) {
  QPainterPath arrow;
  const qreal midY = box.center().y();
  arrow.moveTo(box.left(), midY - box.height() * 0.18);
  arrow.lineTo(box.left() + box.width() * 0.55, midY - box.height() * 0.18);
  arrow.lineTo(box.left() + box.width() * 0.55, box.top());
  arrow.lineTo(box.right(), midY);
  arrow.lineTo(box.left() + box.width() * 0.55, box.bottom());
  arrow.lineTo(box.left() + box.width() * 0.55, midY + box.height() * 0.18);
  arrow.lineTo(box.left(), midY + box.height() * 0.18);
  arrow.closeSubpath();
  p.setPen(QPen(kArrowBlue.darker(130), 0.8));
  p.setBrush(kArrowBlue);
  p.drawPath(arrow);
}

}  // namespace

QIcon ExportPicture() {
  QPixmap pixmap = Canvas(16);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(1.5, 0.5, 9, 13));
  p.setPen(QPen(QColor(150, 150, 150), 1));
  for (int y = 3; y <= 10; y += 2) p.drawLine(QPointF(3.5, y + 0.5), QPointF(8.5, y + 0.5));
  DrawArrowRight(p, QRectF(7, 6, 8.5, 8));
  return QIcon(pixmap);
}

QIcon ExitPicture() {
  QPixmap pixmap = Canvas(16);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(100, 60, 20), 1));
  p.setBrush(QColor(170, 110, 50));
  p.drawRect(QRectF(8.5, 0.5, 6, 15));  // the door
  p.setBrush(QColor(230, 190, 60));
  p.drawEllipse(QPointF(10.5, 8.5), 0.9, 0.9);  // its knob
  DrawArrowRight(p, QRectF(0.5, 4, 9, 8));
  return QIcon(pixmap);
}

QIcon PolicyPicture() {
  QPixmap pixmap = Canvas(22);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(Qt::white);
  p.drawRect(QRectF(3.5, 1.5, 15, 19));
  const QColor bars[] = {QColor(220, 60, 60), QColor(60, 160, 80), QColor(60, 110, 210),
                         QColor(230, 170, 40)};
  for (int i = 0; i < 4; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(bars[i]);
    p.drawRect(QRectF(6, 4.5 + i * 4, 10 - (i % 2) * 3, 2.5));
  }
  return QIcon(pixmap);
}
