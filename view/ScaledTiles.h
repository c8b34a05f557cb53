#pragma once
// Tiles that fill their cells (the switch ScaleTiles): a picture scaled into
// its box keeping its aspect ratio and centred, made from its source pixels
// straight at the device's pixels, and a name elided with "…" to the box's
// width instead of being cut through a character. Both are made once per
// picture (or caption) and device size, so a repaint only copies them.
// The show area's folder grid and the folder windows draw with it.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

class ScaledTilePainter {
public:
    // Where a picture of that size lands inside box: the largest rectangle
    // of its aspect ratio, centred, in logical pixels on the device grid.
    static QRectF FittedRect(const QSize& picture, const QRect& box, qreal ratio);

    // Draws picture into box. slot names the box (the same slot is expected
    // to show the same kind of thing); version changes with the pixels.
    void DrawPicture(QPainter& painter, quintptr slot, const QImage& picture, quint64 version, const QRect& box,
                     qreal ratio);
    // A name label: caption on background, elided to the width of size.
    const QPixmap& Label(quintptr slot, const QString& caption, const QSize& size, qreal ratio, const QFont& font,
                         const QColor& text, const QColor& background);

    int CachedPictures() const { return int(pictures_.size()); }

private:
    struct Picture {
        quint64 version = 0;
        QSize device;
        QPixmap pixmap;
    };
    struct Caption {
        QString caption;
        QSize device;
        QFont font;
        QRgb text = 0, background = 0;
        QPixmap pixmap;
    };
    QHash<quintptr, Picture> pictures_;
    QHash<quintptr, Caption> labels_;
};
