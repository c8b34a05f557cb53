#include "view/ToolbarImages.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>

namespace {

QPixmap framedLetter(QChar letter) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(1, 1, 13, 13);
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.drawText(QRect(1, 1, 14, 14), Qt::AlignCenter, QString(letter));
    return pixmap;
}

QPolygonF star(QPointF centre, qreal outer, qreal inner) {
    QPolygonF polygon;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? outer : inner;
        const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        polygon << QPointF(centre.x() + r * qCos(a), centre.y() + r * qSin(a));
    }
    return polygon;
}

QPixmap folder(QColor body, QColor edge, QColor starColour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath path;
    path.moveTo(0.5, 2.5);
    path.lineTo(6, 2.5);
    path.lineTo(7.5, 4.5);
    path.lineTo(15.5, 4.5);
    path.lineTo(15.5, 15);
    path.lineTo(0.5, 15);
    path.closeSubpath();
    p.setPen(edge);
    p.setBrush(body);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(starColour);
    p.drawPolygon(star(QPointF(8, 10), 5.2, 2.2));
    return pixmap;
}

QPixmap cross() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
    return pixmap;
}

}  // namespace

QIcon ToolbarImage(int number) {
    switch (number) {
    case 1:
        return QIcon(framedLetter(QLatin1Char('N')));
    case 2:
        return QIcon(framedLetter(QLatin1Char('T')));
    case 3:
        return QIcon(framedLetter(QLatin1Char('S')));
    case 4:
        return QIcon(folder(QColor(250, 210, 60), QColor(150, 110, 10), QColor(30, 70, 220)));
    case 5:
        return QIcon(cross());
    case 6:
        return QIcon(folder(QColor(170, 170, 170), QColor(100, 100, 100), QColor(255, 255, 255)));
    default:
        return QIcon();
    }
}
