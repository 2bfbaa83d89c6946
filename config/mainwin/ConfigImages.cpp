#include "config/mainwin/ConfigImages.h"

#include <QPainter>

namespace {

// A workstation panel: a screen on a small stand.
QPixmap DrawPanel() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(70, 130, 200));
    p.drawRect(1, 2, 13, 9);
    p.fillRect(3, 4, 4, 2, QColor(230, 240, 250));
    p.fillRect(3, 7, 7, 2, QColor(160, 200, 235));
    p.setBrush(QColor(120, 120, 120));
    p.drawRect(6, 12, 3, 1);
    p.drawRect(4, 14, 7, 1);
    return pm;
}

// The program: a database drum with a settings gear mark.
QPixmap DrawProgram() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(30, 60, 110), 1.5));
    p.setBrush(QColor(90, 150, 220));
    p.drawRect(QRectF(4, 7, 20, 18));
    p.drawEllipse(QRectF(4, 21, 20, 8));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(4.8, 7, 18.4, 18));
    p.setPen(QPen(QColor(30, 60, 110), 1.5));
    p.setBrush(QColor(170, 205, 245));
    p.drawEllipse(QRectF(4, 3, 20, 8));
    p.setBrush(QColor(250, 190, 60));
    p.drawEllipse(QRectF(18, 16, 12, 12));
    p.setBrush(QColor(255, 255, 255));
    p.drawEllipse(QRectF(22, 20, 4, 4));
    return pm;
}

}  // namespace

QPixmap ConfigImage(const QString& key) {
    if (key == QLatin1String("Panel")) return DrawPanel();
    if (key == QLatin1String("Program")) return DrawProgram();
    return {};
}
