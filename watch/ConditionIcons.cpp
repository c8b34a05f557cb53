#include "watch/ConditionIcons.h"

#include "channel/ChannelState.h"
#include "watch/ChannelWatch.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QTextDocument>
#include <QtMath>

#include <functional>

namespace {

using Drawing = std::function<void(QPainter&)>;

// Draws on a 16 x 16 grid, scaled to whatever device size is asked for.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(Drawing draw) : draw_(std::move(draw)) {}

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
    Drawing draw_;
};

QIcon drawn(Drawing draw) { return QIcon(new DrawnIconEngine(std::move(draw))); }

QPolygonF star(QPointF centre, qreal outer, qreal inner) {
    QPolygonF polygon;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? outer : inner;
        const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        polygon << QPointF(centre.x() + r * qCos(a), centre.y() + r * qSin(a));
    }
    return polygon;
}

void live(QPainter& p) {
    p.setPen(QPen(QColor(20, 110, 50), 1));
    p.setBrush(QColor(40, 170, 80));
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(6, 4.5), QPointF(11.5, 8), QPointF(6, 11.5)}));
}

void waiting(QPainter& p) {
    p.setPen(QPen(QColor(110, 110, 110), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(110, 110, 110));
    for (qreal x : {5.0, 8.0, 11.0}) p.drawEllipse(QPointF(x, 8), 1.1, 1.1);
}

void offAir(QPainter& p) {
    p.setPen(QPen(QColor(40, 55, 90), 1));
    p.setBrush(QColor(70, 90, 130));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 2.5, 2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 4.5, 2, 7));
    p.drawRect(QRectF(9, 4.5, 2, 7));
}

void failing(QPainter& p) {
    p.setPen(QPen(QColor(150, 80, 0), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(240, 150, 30));
    p.drawPolygon(QPolygonF({QPointF(8, 1), QPointF(15.2, 14.5), QPointF(0.8, 14.5)}));
    p.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
    p.drawPoint(QPointF(8, 12.2));
}

void stale(QPainter& p) {
    p.setPen(QPen(QColor(150, 100, 0), 1.2));
    p.setBrush(QColor(255, 225, 120));
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    p.setPen(QPen(Qt::black, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 8), QPointF(8, 3.8));
    p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
}

void notViewed(QPainter& p) {
    p.setPen(QPen(QColor(150, 150, 150), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 4, 4);
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
    p.setPen(QPen(QColor(160, 110, 0), 1));
    p.setBrush(QColor(250, 205, 50));
    p.drawPolygon(star(QPointF(8, 8.6), 7.2, 3.1));
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

QString timeAndAge(const QDateTime& at, qint64 ageMs) {
    return at.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("（") + DurationText(ageMs) +
           QStringLiteral("前）");
}

}  // namespace

QIcon ConditionIcon(Condition condition) {
    switch (condition) {
        case Condition::Live:
            return drawn(live);
        case Condition::Waiting:
            return drawn(waiting);
        case Condition::OffAir:
            return drawn(offAir);
        case Condition::Failing:
            return drawn(failing);
        case Condition::Stale:
            return drawn(stale);
        case Condition::NotViewed:
            return drawn(notViewed);
    }
    return QIcon();
}

QIcon NodeIcon(NodeKind kind) {
    switch (kind) {
        case NodeKind::ChannelList:
            return drawn(channelList);
        case NodeKind::Node:
            return drawn(category);
        case NodeKind::FavariteRoot:
            return drawn(favorites);
        case NodeKind::MultiMonitorRoot:
            return drawn(monitors);
        case NodeKind::MultiMonitorFolder:
        case NodeKind::MultiMonitor:
            return drawn(folder);
        default:
            return QIcon();
    }
}

QString ChannelToolTip(const ChannelHealth& health) {
    const ConditionNow& now = health.Now;
    QStringList lines;
    lines << QStringLiteral("ID: ") + health.ChannelID;
    QString condition = ConditionWord(now.What);
    const QString status = StatusWord(now.Status);
    if (!status.isEmpty() && (now.What == Condition::OffAir || now.What == Condition::NotViewed))
        condition += QStringLiteral("（") + status + QStringLiteral("）");
    if (now.What == Condition::Stale) condition += QLatin1Char(' ') + DurationText(now.QuietMs);
    lines << QStringLiteral("状態: ") + condition;
    lines << QStringLiteral("最終更新: ") +
                 (now.PictureAgeMs >= 0 ? timeAndAge(health.LastNewPicture, now.PictureAgeMs) : QStringLiteral("なし"));
    if (!now.FailureText.isEmpty())
        lines << QStringLiteral("最後の失敗: ") + health.LastFailureAt.toString(QStringLiteral("HH:mm:ss")) +
                     QLatin1Char(' ') + now.FailureText;
    // Plain text made rich: server texts such as "<b>" show as they are.
    return Qt::convertFromPlainText(lines.join(QLatin1Char('\n')), Qt::WhiteSpaceNormal);
}
