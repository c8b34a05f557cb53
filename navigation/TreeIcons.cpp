#include "navigation/TreeIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>

namespace {

// Every icon is drawn on a 16 x 16 grid; the painter's scale takes it to the
// device size.
void screen(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(50, 60, 80), 1.0));
    p.setBrush(QColor(120, 180, 230));
    p.drawRoundedRect(r, 1.2, 1.2);
}

void channel(QPainter& p) {
    screen(p, QRectF(1.5, 2.5, 13, 9));
    p.setPen(QPen(QColor(50, 60, 80), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 11.5), QPointF(8, 13.5));
    p.drawLine(QPointF(4.5, 14), QPointF(11.5, 14));
}

void group(QPainter& p) {
    QPainterPath path;
    path.moveTo(0.5, 3.5);
    path.lineTo(6, 3.5);
    path.lineTo(7.5, 5.5);
    path.lineTo(15.5, 5.5);
    path.lineTo(15.5, 14.5);
    path.lineTo(0.5, 14.5);
    path.closeSubpath();
    p.setPen(QColor(150, 110, 40));
    p.setBrush(QColor(235, 200, 120));
    p.drawPath(path);
}

void list(QPainter& p) {
    p.setPen(QColor(90, 90, 90));
    p.setBrush(QColor(252, 252, 252));
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    p.setPen(QPen(QColor(60, 110, 180), 1.2));
    for (qreal y : {5.0, 8.0, 11.0}) p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
}

void favourites(QPainter& p) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? 7.2 : 3.0;
        const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        star << QPointF(8 + r * qCos(a), 8.6 + r * qSin(a));
    }
    p.setPen(QColor(170, 120, 0));
    p.setBrush(QColor(255, 200, 40));
    p.drawPolygon(star);
}

void monitors(QPainter& p) {
    screen(p, QRectF(4.5, 1.5, 11, 8));
    screen(p, QRectF(0.5, 5.5, 11, 8));
    p.setPen(QPen(QColor(50, 60, 80), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(3.5, 15), QPointF(8.5, 15));
}

void folderGrid(QPainter& p) {
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) screen(p, QRectF(1.5 + x * 7, 2.5 + y * 6, 6, 5));
}

void draw(QPainter& p, NodeKind kind) {
    switch (kind) {
        case NodeKind::Channel:
        case NodeKind::FavariteChannel:
        case NodeKind::MultiMonitorChannel:
            return channel(p);
        case NodeKind::Node:
            return group(p);
        case NodeKind::ChannelList:
            return list(p);
        case NodeKind::FavariteRoot:
            return favourites(p);
        case NodeKind::MultiMonitorRoot:
            return monitors(p);
        case NodeKind::MultiMonitorFolder:
            return folderGrid(p);
        default:
            return;
    }
}

class TreeIconEngine : public QIconEngine {
public:
    explicit TreeIconEngine(NodeKind kind) : kind_(kind) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        draw(*painter, kind_);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        {
            QPainter p(&pixmap);
            paint(&p, QRect(QPoint(0, 0), size), QIcon::Normal, state);
        }
        return mode == QIcon::Normal ? pixmap : QIcon(pixmap).pixmap(size, mode, state);
    }

    QIconEngine* clone() const override { return new TreeIconEngine(kind_); }

private:
    NodeKind kind_;
};

}  // namespace

QIcon TreeNodeIcon(NodeKind kind) {
    // One icon per look for the program's life: views ask for it per row.
    static const QIcon channel(new TreeIconEngine(NodeKind::Channel));
    static const QIcon folder(new TreeIconEngine(NodeKind::MultiMonitorFolder));
    static const QIcon list(new TreeIconEngine(NodeKind::ChannelList));
    static const QIcon group(new TreeIconEngine(NodeKind::Node));
    static const QIcon favourites(new TreeIconEngine(NodeKind::FavariteRoot));
    static const QIcon monitors(new TreeIconEngine(NodeKind::MultiMonitorRoot));
    switch (kind) {
        case NodeKind::Channel:
        case NodeKind::FavariteChannel:
        case NodeKind::MultiMonitorChannel:
            return channel;
        case NodeKind::MultiMonitorFolder:
            return folder;
        case NodeKind::ChannelList:
            return list;
        case NodeKind::Node:
            return group;
        case NodeKind::FavariteRoot:
            return favourites;
        case NodeKind::MultiMonitorRoot:
            return monitors;
        default:
            return QIcon();
    }
}
