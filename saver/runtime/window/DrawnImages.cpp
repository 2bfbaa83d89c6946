#include "saver/runtime/window/DrawnImages.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap Blank(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

QPixmap Lamp(const QColor& fill, bool cross) {
    QPixmap pm = Blank(32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(160), 2));
    p.setBrush(fill);
    p.drawEllipse(QRectF(3, 3, 26, 26));
    if (cross) {
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 11), QPointF(21, 21));
        p.drawLine(QPointF(21, 11), QPointF(11, 21));
    } else {
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 16), QPointF(14, 21));
        p.drawLine(QPointF(14, 21), QPointF(23, 11));
    }
    return pm;
}

}  // namespace

namespace DrawnImages {

QPixmap Online() {
    return Lamp(QColor(40, 170, 60), false);
}
QPixmap Offline() {
    return Lamp(QColor(200, 40, 40), true);
}

QPixmap RoleWithTag() {
    QPixmap pm = Blank(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath tag;
    tag.moveTo(1, 4);
    tag.lineTo(10, 4);
    tag.lineTo(15, 8);
    tag.lineTo(10, 12);
    tag.lineTo(1, 12);
    tag.closeSubpath();
    p.setPen(QPen(QColor(20, 70, 150), 1));
    p.setBrush(QColor(60, 130, 220));
    p.drawPath(tag);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(9, 7, 2, 2));
    return pm;
}

QPixmap RoleEmpty() {
    QPixmap pm = Blank(16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 150, 150), 1, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(2.5, 4.5, 11, 7));
    return pm;
}

QPixmap ProgramIcon() {
    QPixmap pm = Blank(48);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor body(50, 110, 190);
    p.setPen(QPen(body.darker(150), 2));
    p.setBrush(body);
    p.drawRect(QRectF(8, 12, 32, 26));
    p.drawEllipse(QRectF(8, 32, 32, 12));
    p.setBrush(body.lighter(140));
    p.drawEllipse(QRectF(8, 6, 32, 12));
    p.setPen(QPen(Qt::white, 2));
    p.drawArc(QRectF(8, 19, 32, 12), 180 * 16, 180 * 16);
    return pm;
}

}  // namespace DrawnImages
