#pragma once
// A channel's condition drawn on its show box and thumbnail boxes: the
// picture's age in a small badge, a stale picture dimmed with how long
// nothing came, an off-air channel's status word, and, for a failing or
// waiting channel, a placeholder of the box's size with the words that say
// why, so a box never stays empty. Words, not colours alone; no red, which
// is the selection frame's. Badges and placeholders are drawn once per text
// and device size and then copied.

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QString>

#include "view/BoxOverlay.h"
#include "watch/ChannelCondition.h"

class ChannelWatch;

struct BoxLook {
    enum Style { None, Age, OffAir, Stale, Failing, Waiting };
    Style What = None;
    QString Text;              // the badge, or the placeholder's first line
    QString Detail;            // the placeholder's second line
    bool Dim = false;          // the picture is dimmed under it
    bool Placeholder = false;  // the box's whole rectangle
};

// What a box of a channel in that condition shows.
BoxLook LookFor(const ConditionNow& now, bool hasPicture);

class ConditionOverlay : public BoxOverlay {
public:
    ConditionOverlay(const ChannelWatch& watch, const QFont& font);

    void PaintBox(QPainter& painter, const PictureElement& box, qreal ratio) override;

    // Badges and placeholders drawn so far; a repaint of what did not change adds none.
    int Drawn() const { return mDrawn; }

private:
    const QPixmap& badge(const BoxLook& look, qreal ratio);
    const QPixmap& placeholder(const BoxLook& look, const QSize& size, qreal ratio);

    const ChannelWatch& mWatch;
    QFont mFont;
    QFont mBold;
    QHash<QString, QPixmap> mCache;
    int mDrawn = 0;
};
