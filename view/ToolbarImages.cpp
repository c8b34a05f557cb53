#include "view/ToolbarImages.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
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
        case 1:
            return framedLetter(p, QLatin1Char('N'));
        case 2:
            return framedLetter(p, QLatin1Char('T'));
        case 3:
            return framedLetter(p, QLatin1Char('S'));
        case 4:
            return folder(p, QColor(250, 210, 60), QColor(150, 110, 10), QColor(30, 70, 220));
        case 5:
            return cross(p);
        case 6:
            return folder(p, QColor(170, 170, 170), QColor(100, 100, 100), QColor(255, 255, 255));
        default:
            return;
    }
}

// Draws the image anew for every size it is asked for.
class ToolbarIconEngine : public QIconEngine {
public:
    explicit ToolbarIconEngine(int number) : number_(number) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setRenderHint(QPainter::TextAntialiasing, true);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        drawImage(*painter, number_);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            paint(&p, QRect(QPoint(0, 0), size), QIcon::Normal, state);
        }
        // Disabled and selected looks come from the style, as for any image.
        return mode == QIcon::Normal ? pixmap : QIcon(pixmap).pixmap(size, mode, state);
    }

    QIconEngine* clone() const override { return new ToolbarIconEngine(number_); }

private:
    int number_;
};

}  // namespace

QIcon ToolbarImage(int number) { return number >= 1 && number <= 6 ? QIcon(new ToolbarIconEngine(number)) : QIcon(); }
