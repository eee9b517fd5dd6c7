#include "app/TreeIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap Computer() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QColor(60, 60, 60));
  p.setBrush(QColor(200, 200, 200));
  p.drawRect(1, 1, 13, 10);
  p.setBrush(QColor(40, 90, 170));
  p.drawRect(3, 3, 9, 6);
  p.setBrush(QColor(160, 160, 160));
  p.drawRect(5, 12, 5, 1);
  p.drawRect(3, 14, 9, 1);
  return pm;
}

QPixmap SerialPort() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shell;
  shell.moveTo(1.5, 4.5);
  shell.lineTo(14.5, 4.5);
  shell.lineTo(12.5, 11.5);
  shell.lineTo(3.5, 11.5);
  shell.closeSubpath();
  p.setPen(QColor(50, 50, 50));
  p.setBrush(QColor(190, 170, 90));
  p.drawPath(shell);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 40, 40));
  for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(3.6 + i * 2.2, 6.8), 0.8, 0.8);
  for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(4.7 + i * 2.2, 9.2), 0.8, 0.8);
  return pm;
}

QPixmap Module() {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setPen(QColor(40, 60, 40));
  p.setBrush(QColor(90, 140, 90));
  p.drawRect(2, 1, 11, 14);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(230, 230, 230));
  p.drawRect(4, 3, 7, 3);
  const QColor leds[3] = {QColor(60, 220, 60), QColor(240, 200, 40), QColor(230, 60, 40)};
  for (int i = 0; i < 3; ++i) {
    p.setBrush(leds[i]);
    p.drawRect(4 + i * 3, 9, 2, 2);
  }
  p.setBrush(QColor(40, 40, 40));
  p.drawRect(4, 13, 7, 1);
  return pm;
}

QIcon SameWhenSelected(const QPixmap& pm) {
  QIcon icon;
  icon.addPixmap(pm, QIcon::Normal);
  icon.addPixmap(pm, QIcon::Selected);
  icon.addPixmap(pm, QIcon::Active);
  return icon;
}

}  // namespace

QIcon TreeIcon(int imageIndex) {
  switch (imageIndex) {
    case 0: return SameWhenSelected(Computer());
    case 1: return SameWhenSelected(SerialPort());
    default: return SameWhenSelected(Module());
  }
}

QIcon ProgramIcon() {
  // The installed icon of the desktop entry; the drawn one when run from the build folder.
  const QIcon installed = QIcon::fromTheme(QStringLiteral("orbis-utility"));
  if (!installed.isNull()) return installed;
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(30, 70, 140), 2));
  p.setBrush(QColor(220, 232, 250));
  p.drawEllipse(QRectF(3, 3, 26, 26));
  p.setBrush(QColor(30, 70, 140));
  p.drawEllipse(QRectF(12, 12, 8, 8));
  p.setPen(QPen(QColor(30, 70, 140), 1.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRectF(6, 11, 20, 10));
  return QIcon(pm);
}
