#include "watch/ConditionIcons.h"

#include "channel/ChannelState.h"
#include "navigation/TreeIcons.h"
#include "watch/ChannelWatch.h"

#include <QPainter>
#include <QPolygonF>
#include <QTextDocument>

namespace {

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

QString timeAndAge(const QDateTime& at, qint64 ageMs) {
    return at.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("（") + DurationText(ageMs) +
           QStringLiteral("前）");
}

}  // namespace

QIcon ConditionIcon(Condition condition) {
    // One icon per condition for the program's life: the tree asks per row.
    static const QIcon liveIcon = DrawnIcon(live), waitingIcon = DrawnIcon(waiting), offAirIcon = DrawnIcon(offAir),
                       failingIcon = DrawnIcon(failing), staleIcon = DrawnIcon(stale),
                       notViewedIcon = DrawnIcon(notViewed);
    switch (condition) {
        case Condition::Live:
            return liveIcon;
        case Condition::Waiting:
            return waitingIcon;
        case Condition::OffAir:
            return offAirIcon;
        case Condition::Failing:
            return failingIcon;
        case Condition::Stale:
            return staleIcon;
        case Condition::NotViewed:
            return notViewedIcon;
    }
    return QIcon();
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
