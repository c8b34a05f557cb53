#include "navigation/TreeIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QtMath>

namespace {

class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(std::function<void(QPainter&)> draw) : draw_(std::move(draw)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 16.0, rect.height() / 16.0);
        draw_(*painter);
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

    QIconEngine* clone() const override { return new DrawnIconEngine(draw_); }

private:
    std::function<void(QPainter&)> draw_;
};

void channel(QPainter& p) {
    p.setPen(QPen(QColor(50, 60, 80), 1.0));
    p.setBrush(QColor(120, 180, 230));
    p.drawRoundedRect(QRectF(1.5, 2.5, 13, 9), 1.2, 1.2);
    p.setPen(QPen(QColor(50, 60, 80), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 11.5), QPointF(8, 13.5));
    p.drawLine(QPointF(4.5, 14), QPointF(11.5, 14));
}

void channelList(QPainter& p) {
    QPainterPath page;
    page.moveTo(2.5, 0.5);
    page.lineTo(10.5, 0.5);
    page.lineTo(13.5, 3.5);
    page.lineTo(13.5, 15.5);
    page.lineTo(2.5, 15.5);
    page.closeSubpath();
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setPen(QPen(QColor(70, 110, 180), 1.2));
    for (qreal y : {5.0, 8.0, 11.0}) p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
}

void category(QPainter& p) {
    p.setPen(QColor(60, 80, 110));
    for (int i = 2; i >= 0; --i) {
        p.setBrush(QColor(150 + 30 * i, 170 + 25 * i, 200 + 15 * i));
        p.drawRoundedRect(QRectF(1.5 + 2 * i, 1.5 + 3.5 * i, 10, 6), 1.5, 1.5);
    }
}

void favorites(QPainter& p) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? 7.2 : 3.1;
        const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        star << QPointF(8 + r * qCos(a), 8.6 + r * qSin(a));
    }
    p.setPen(QPen(QColor(160, 110, 0), 1));
    p.setBrush(QColor(250, 205, 50));
    p.drawPolygon(star);
}

void monitors(QPainter& p) {
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(60, 70, 90));
    p.drawRoundedRect(QRectF(0.5, 1.5, 15, 10), 1.5, 1.5);
    p.setBrush(QColor(150, 200, 255));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(2, 3, 12, 7));
    p.setBrush(QColor(60, 70, 90));
    p.drawRect(QRectF(6.5, 11.5, 3, 2.5));
    p.drawRect(QRectF(4, 14, 8, 1.5));
}

void folder(QPainter& p) {
    p.setPen(QColor(40, 60, 110));
    p.setBrush(QColor(110, 150, 220));
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column) p.drawRect(QRectF(1.5 + 7 * column, 1.5 + 7 * row, 6, 6));
}

}  // namespace

QIcon DrawnIcon(std::function<void(QPainter&)> draw) { return QIcon(new DrawnIconEngine(std::move(draw))); }

QIcon NodeIcon(NodeKind kind) {
    static const QIcon channelIcon = DrawnIcon(channel);
    static const QIcon listIcon = DrawnIcon(channelList);
    static const QIcon categoryIcon = DrawnIcon(category);
    static const QIcon favoritesIcon = DrawnIcon(favorites);
    static const QIcon monitorsIcon = DrawnIcon(monitors);
    static const QIcon folderIcon = DrawnIcon(folder);
    switch (kind) {
        case NodeKind::Channel:
        case NodeKind::FavariteChannel:
        case NodeKind::MultiMonitorChannel:
            return channelIcon;
        case NodeKind::ChannelList:
            return listIcon;
        case NodeKind::Node:
            return categoryIcon;
        case NodeKind::FavariteRoot:
            return favoritesIcon;
        case NodeKind::MultiMonitorRoot:
            return monitorsIcon;
        case NodeKind::MultiMonitorFolder:
        case NodeKind::MultiMonitor:
            return folderIcon;
        default:
            return QIcon();
    }
}
