#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace lumatrim {

QIcon ApplicationIcon() {
  QIcon icon;
  // Each size also drawn at twice its pixels, for screens of twice the density.
  for (const int side : {16, 24, 32, 48, 64, 96, 128}) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 64.0, side / 64.0);
    // A picture frame with three colour bands, and an arrow pressing it smaller.
    painter.setPen(QPen(QColor(30, 30, 30), 3));
    painter.setBrush(QColor(250, 244, 228));
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 8, 8);
    painter.setPen(Qt::NoPen);
    const QColor bands[] = {QColor(200, 40, 40), QColor(40, 160, 80), QColor(40, 120, 200)};
    for (int i = 0; i < 3; ++i) painter.fillRect(QRectF(12, 12 + i * 10, 40, 8), bands[i]);
    QPainterPath arrow;
    arrow.moveTo(32, 58);
    arrow.lineTo(18, 44);
    arrow.lineTo(27, 44);
    arrow.lineTo(27, 40);
    arrow.lineTo(37, 40);
    arrow.lineTo(37, 44);
    arrow.lineTo(46, 44);
    arrow.closeSubpath();
    painter.setBrush(QColor(30, 30, 30));
    painter.drawPath(arrow);
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace lumatrim
