#include "view/ScaledTiles.h"

#include <QFontMetrics>
#include <QPainter>

#include <cmath>

namespace {

QSize deviceSize(const QSize& logical, qreal ratio) {
    return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}

// The fitted picture's size and offset inside the box, both in device pixels.
QRect fittedOnDevice(const QSize& picture, const QSize& boxDevice) {
    if (picture.isEmpty() || boxDevice.isEmpty()) return QRect();
    const double scale =
        std::min(double(boxDevice.width()) / picture.width(), double(boxDevice.height()) / picture.height());
    const QSize fitted(qBound(1, int(std::lround(picture.width() * scale)), boxDevice.width()),
                       qBound(1, int(std::lround(picture.height() * scale)), boxDevice.height()));
    return QRect(QPoint((boxDevice.width() - fitted.width()) / 2, (boxDevice.height() - fitted.height()) / 2), fitted);
}

}  // namespace

QRectF ScaledTilePainter::FittedRect(const QSize& picture, const QRect& box, qreal ratio) {
    const QRect d = fittedOnDevice(picture, deviceSize(box.size(), ratio));
    if (d.isEmpty()) return QRectF();
    return QRectF(box.x() + d.x() / ratio, box.y() + d.y() / ratio, d.width() / ratio, d.height() / ratio);
}

void ScaledTilePainter::DrawPicture(QPainter& painter, quintptr slot, const QImage& picture, quint64 version,
                                    const QRect& box, qreal ratio) {
    const QRect d = fittedOnDevice(picture.size(), deviceSize(box.size(), ratio));
    if (d.isEmpty()) return;
    Picture& c = pictures_[slot];
    if (c.version != version || c.device != d.size() || c.pixmap.isNull()) {
        c.version = version;
        c.device = d.size();
        c.pixmap = QPixmap::fromImage(picture.size() == d.size()
                                          ? picture
                                          : picture.scaled(d.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        c.pixmap.setDevicePixelRatio(ratio);
    }
    // Whole pixels draw on the quick path; at other ratios the offset may fall between them.
    if (ratio == 1) {
        painter.drawPixmap(box.topLeft() + d.topLeft(), c.pixmap);
    } else {
        painter.drawPixmap(QPointF(box.x() + d.x() / ratio, box.y() + d.y() / ratio), c.pixmap);
    }
}

const QPixmap& ScaledTilePainter::Label(quintptr slot, const QString& caption, const QSize& size, qreal ratio,
                                        const QFont& font, const QColor& text, const QColor& background) {
    const QSize device = deviceSize(size, ratio);
    Caption& c = labels_[slot];
    if (c.caption != caption || c.device != device || c.font != font || c.text != text.rgba() ||
        c.background != background.rgba() || c.pixmap.isNull()) {
        c.caption = caption;
        c.device = device;
        c.font = font;
        c.text = text.rgba();
        c.background = background.rgba();
        c.pixmap = QPixmap(device.expandedTo(QSize(1, 1)));
        c.pixmap.setDevicePixelRatio(ratio);
        c.pixmap.fill(background);
        QPainter p(&c.pixmap);
        p.setFont(font);
        p.setPen(text);
        // Elided by whole characters (grapheme clusters), never cut through one.
        const QString shown = QFontMetrics(font).elidedText(caption, Qt::ElideRight, size.width());
        p.drawText(QRect(QPoint(0, 0), size), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
    return c.pixmap;
}
