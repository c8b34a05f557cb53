#include "view/ToolbarImages.h"

#include "navigation/TreeIcons.h"
#include "view/WindowVocabulary.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QtMath>

namespace {

// Every image is drawn on a 16 x 16 grid; the painter's scale takes it to
// the device size, so the lines and letters stay sharp at any ratio.
void framedLetter(QPainter& p, QChar letter) {
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    QFont font;
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QString(letter));
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

void folder(QPainter& p, QColor body, QColor edge, QColor starColour) {
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
}

void cross(QPainter& p) {
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
}

void drawImage(QPainter& p, int number) {
    switch (number) {
        case ToolbarImageNumber::NormalView:
            return framedLetter(p, QLatin1Char('N'));
        case ToolbarImageNumber::ThumbnailView:
            return framedLetter(p, QLatin1Char('T'));
        case ToolbarImageNumber::SavePicture:
            return framedLetter(p, QLatin1Char('S'));
        case ToolbarImageNumber::FavoriteFolder:
            return folder(p, QColor(250, 210, 60), QColor(150, 110, 10), QColor(30, 70, 220));
        case ToolbarImageNumber::Close:
            return cross(p);
        case ToolbarImageNumber::Folder:
            return folder(p, QColor(170, 170, 170), QColor(100, 100, 100), QColor(255, 255, 255));
        default:
            return;
    }
}

}  // namespace

QIcon ToolbarImage(int number) {
    if (number < 1 || number > ToolbarImageNumber::Count) return QIcon();
    return DrawnIcon([number](QPainter& p) {
        p.setRenderHint(QPainter::TextAntialiasing, true);
        drawImage(p, number);
    });
}
