#include "config/forms/ConfigImages.h"

#include <QPainter>
#include <QPolygon>

namespace {

// A transparent square image of that size, painted by `paint` (smoothed edges or plain pixels).
template <class Paint>
QPixmap Draw(int size, bool smooth, Paint paint) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, smooth);
    paint(p);
    p.end();
    return pm;
}

// A workstation panel: a screen on a small stand.
QPixmap DrawPanel() {
    return Draw(16, false, [](QPainter& p) {
        p.setPen(QColor(40, 40, 40));
        p.setBrush(QColor(70, 130, 200));
        p.drawRect(1, 2, 13, 9);
        p.fillRect(3, 4, 4, 2, QColor(230, 240, 250));
        p.fillRect(3, 7, 7, 2, QColor(160, 200, 235));
        p.setBrush(QColor(120, 120, 120));
        p.drawRect(6, 12, 3, 1);
        p.drawRect(4, 14, 7, 1);
    });
}

// The program: a database drum with a settings gear mark.
QPixmap DrawProgram() {
    return Draw(32, true, [](QPainter& p) {
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
    });
}

// A folder, closed or open (the save-group and field nodes of the project tree).
QPixmap DrawFolder(bool open) {
    return Draw(16, false, [open](QPainter& p) {
        p.setPen(QColor(150, 110, 20));
        p.setBrush(QColor(235, 190, 80));
        p.drawRect(1, 3, 5, 2);
        p.drawRect(1, 4, 13, 9);
        if (open) {
            p.setBrush(QColor(250, 220, 130));
            p.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
        }
    });
}

// The project: three panels of a plant on one base.
QPixmap DrawProject() {
    return Draw(16, false, [](QPainter& p) {
        p.setPen(QColor(40, 40, 40));
        p.setBrush(QColor(120, 120, 120));
        p.drawRect(0, 12, 15, 2);
        const QColor screens[] = {QColor(70, 130, 200), QColor(90, 170, 90), QColor(200, 120, 60)};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(screens[i]);
            p.drawRect(1 + i * 5, 4 + (i % 2) * 2, 3, 7 - (i % 2) * 2);
        }
    });
}

}  // namespace

QPixmap ConfigImage(const QString& key) {
    if (key == QLatin1String("Panel")) return DrawPanel();
    if (key == QLatin1String("Program")) return DrawProgram();
    if (key == QLatin1String("ProjName")) return DrawProject();
    if (key == QLatin1String("NodeOpen")) return DrawFolder(true);
    if (key == QLatin1String("NodeClose")) return DrawFolder(false);
    return {};
}
