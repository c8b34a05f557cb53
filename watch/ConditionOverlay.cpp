#include "watch/ConditionOverlay.h"

#include "channel/ChannelState.h"
#include "channel/PictureElement.h"
#include "watch/ChannelWatch.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

struct Colours {
    QColor Back, Text;
};

Colours coloursOf(BoxLook::Style style, bool overPicture) {
    switch (style) {
        case BoxLook::Age:
            return {QColor(0, 0, 0, 150), QColor(255, 255, 255)};
        case BoxLook::OffAir:
            return {QColor(70, 90, 130), QColor(255, 255, 255)};
        case BoxLook::Stale:
            return {QColor(232, 172, 30), QColor(0, 0, 0)};
        case BoxLook::Failing:
            return {QColor(48, 48, 54, overPicture ? 200 : 255), QColor(255, 255, 255)};
        case BoxLook::Waiting:
            return {QColor(96, 96, 102), QColor(235, 235, 235)};
        case BoxLook::None:
            break;
    }
    return {};
}

const QColor kFailingHeading(255, 184, 64);
const QColor kDim(0, 0, 0, 110);
constexpr int kBadgeHeight = 15;
constexpr int kMargin = 2;
constexpr int kCacheLimit = 2048;

QSize deviceSize(const QSize& logical, qreal ratio) {
    return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

}  // namespace

BoxLook LookFor(const ConditionNow& now, bool hasPicture) {
    BoxLook look;
    switch (now.What) {
        case Condition::NotViewed:
            break;
        case Condition::Live:
            if (hasPicture && now.PictureAgeMs >= 0) {
                look.What = BoxLook::Age;
                look.Text = DurationText(now.PictureAgeMs) + QStringLiteral("前");
            }
            break;
        case Condition::Waiting:
            if (!hasPicture) {
                look.What = BoxLook::Waiting;
                look.Text = ConditionWord(now.What);
                look.Placeholder = true;
            }
            break;
        case Condition::OffAir: {
            look.What = BoxLook::OffAir;
            const QString word = StatusWord(now.Status);
            look.Text = word.isEmpty() ? StatusWord(3) : word;
            look.Placeholder = !hasPicture;
            break;
        }
        case Condition::Stale:
            look.What = BoxLook::Stale;
            look.Text = ConditionWord(now.What) + QLatin1Char(' ') + DurationText(now.QuietMs);
            look.Dim = hasPicture;
            look.Placeholder = !hasPicture;
            break;
        case Condition::Failing:
            look.What = BoxLook::Failing;
            look.Text = ConditionWord(now.What);
            look.Detail = now.FailureText;
            look.Dim = hasPicture;
            look.Placeholder = true;
            break;
    }
    return look;
}

ConditionOverlay::ConditionOverlay(const ChannelWatch& watch, const QFont& font)
    : mWatch(watch), mFont(font), mBold(font) {
    mBold.setBold(true);
}

void ConditionOverlay::PaintBox(QPainter& painter, const PictureElement& box, qreal ratio) {
    const BoxLook look = LookFor(mWatch.Now(box.Tag), box.HasPicture());
    if (look.What == BoxLook::None) return;
    const QRect rect = box.Rect();
    if (mCache.size() > kCacheLimit) mCache.clear();
    painter.save();
    painter.setClipRect(rect);
    if (look.Dim) painter.fillRect(rect, kDim);
    if (look.Placeholder) {
        painter.drawPixmap(rect.topLeft(), placeholder(look, rect.size(), ratio));
    } else if (rect.width() >= 24 && rect.height() >= kBadgeHeight + 2 * kMargin) {
        const QPixmap& b = badge(look, ratio);
        const QSize logical = (QSizeF(b.size()) / ratio).toSize();
        painter.drawPixmap(rect.left() + kMargin, rect.bottom() + 1 - kMargin - logical.height(), b);
    }
    painter.restore();
}

const QPixmap& ConditionOverlay::badge(const BoxLook& look, qreal ratio) {
    const QString key = QStringLiteral("b%1|%2|%3").arg(int(look.What)).arg(ratio).arg(look.Text);
    auto it = mCache.find(key);
    if (it != mCache.end()) return *it;
    ++mDrawn;
    const QFontMetrics fm(mFont);
    const QSize logical(fm.horizontalAdvance(look.Text) + 8, kBadgeHeight);
    QPixmap pixmap(deviceSize(logical, ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const Colours c = coloursOf(look.What, true);
        p.setPen(Qt::NoPen);
        p.setBrush(c.Back);
        p.drawRoundedRect(QRectF(QPointF(0, 0), QSizeF(logical)), 3, 3);
        p.setPen(c.Text);
        p.setFont(mFont);
        p.drawText(QRect(QPoint(0, 0), logical), Qt::AlignCenter | Qt::TextSingleLine, look.Text);
    }
    return *mCache.insert(key, pixmap);
}

const QPixmap& ConditionOverlay::placeholder(const BoxLook& look, const QSize& size, qreal ratio) {
    const QString key = QStringLiteral("p%1|%2|%3x%4|%5|%6|%7")
                            .arg(int(look.What))
                            .arg(ratio)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(look.Dim)
                            .arg(look.Text, look.Detail);
    auto it = mCache.find(key);
    if (it != mCache.end()) return *it;
    ++mDrawn;
    QPixmap pixmap(deviceSize(size, ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        const Colours c = coloursOf(look.What, look.Dim);
        const QRect all(QPoint(0, 0), size);
        p.fillRect(all, c.Back);
        p.setPen(QColor(140, 140, 148));
        p.drawRect(all.adjusted(0, 0, -1, -1));
        const QRect inside = all.adjusted(4, 3, -4, -3);
        const QFontMetrics fm(mBold);
        // The words first; the reason below them gets what room is left.
        QRect heading = inside;
        heading.setHeight(fm.height());
        if (look.Detail.isEmpty()) heading.moveTop(inside.top() + (inside.height() - fm.height()) / 2);
        p.setFont(mBold);
        p.setPen(look.What == BoxLook::Failing ? kFailingHeading : c.Text);
        p.drawText(heading, Qt::AlignHCenter | Qt::TextSingleLine, look.Text);
        if (!look.Detail.isEmpty()) {
            p.setFont(mFont);
            p.setPen(c.Text);
            const QRect rest(inside.left(), heading.bottom() + 2, inside.width(),
                             inside.bottom() - heading.bottom() - 1);
            p.drawText(rest, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, look.Detail);
        }
    }
    return *mCache.insert(key, pixmap);
}
