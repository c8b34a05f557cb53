#include "DemoFrames.h"

#include "common/Cp932.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <random>

namespace DemoFrames {

namespace {

const char16_t* statusWord(int status) {
    switch (status) {
        case 0:
            return u"放送中";
        case 1:
            return u"休止中";
        case 2:
            return u"中止中";
        default:
            return u"情報なし";
    }
}

void drawHand(QPainter& p, QPointF centre, double turns, double length, double width, const QColor& colour) {
    const double a = turns * 2 * M_PI;
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::sin(a) * length, -std::cos(a) * length));
}

QFont pixelFont(int px, bool bold) {
    QFont f(QStringLiteral("IPAexGothic"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(qMax(6, px));
    f.setBold(bold);
    return f;
}

}  // namespace

QImage Draw(const DemoChannel& channel, QSize size, const Face& face) {
    QImage image(size, QImage::Format_RGB32);
    const bool onAir = face.Count > 0 || face.Status == 0;
    const QColor base = onAir ? channel.Colour : QColor::fromHsvF(channel.Colour.hsvHueF(), 0.08f, 0.45f);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, base.lighter(125));
    g.setColorAt(1, base.darker(160));
    p.fillRect(image.rect(), g);

    const int w = size.width(), h = size.height();
    const double radius = qMin(w, h) * 0.30;
    const QPointF centre(w * 0.5, h * 0.48);

    // Clock face.
    p.setPen(QPen(QColor(255, 255, 255, 220), qMax(1.0, radius * 0.04)));
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawEllipse(centre, radius, radius);
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        const QPointF dir(std::sin(a), -std::cos(a));
        p.drawLine(centre + dir * radius * 0.85, centre + dir * radius * 0.97);
    }

    QString caption;
    if (face.Count > 0) {
        // A pre-rendered frame: the second hand sweeps once per cycle.
        const double turns = double(face.Index) / face.Count;
        drawHand(p, centre, turns, radius * 0.9, qMax(1.0, radius * 0.03), QColor(255, 80, 60));
        caption = QStringLiteral("frame %1/%2").arg(face.Index + 1).arg(face.Count);
    } else {
        const QTime t = QDateTime::fromSecsSinceEpoch(face.Time).time();
        const double s = t.second(), m = t.minute() + s / 60, hr = t.hour() % 12 + m / 60;
        drawHand(p, centre, hr / 12, radius * 0.5, qMax(1.5, radius * 0.08), Qt::white);
        drawHand(p, centre, m / 60, radius * 0.78, qMax(1.0, radius * 0.05), Qt::white);
        drawHand(p, centre, s / 60, radius * 0.9, qMax(1.0, radius * 0.02), QColor(255, 80, 60));
        caption = t.toString(QStringLiteral("HH:mm:ss"));
    }

    // Name on top, time or frame and status below. Text sizes follow the
    // height so thumbnails stay readable.
    p.setPen(Qt::white);
    p.setFont(pixelFont(h / 11, true));
    p.drawText(QRect(0, 0, w, int(h * 0.15)), Qt::AlignCenter, channel.ChannelName);
    p.setFont(pixelFont(h / 9, true));
    p.drawText(QRect(0, int(h * 0.80), w / 2, int(h * 0.18)), Qt::AlignCenter, caption);
    if (face.Count == 0) {
        p.setPen(onAir ? QColor(255, 90, 90) : QColor(230, 230, 230));
        p.drawText(QRect(w / 2, int(h * 0.80), w / 2, int(h * 0.18)), Qt::AlignCenter,
                   QString::fromUtf16(statusWord(face.Status)));
    }
    p.setPen(QColor(255, 255, 255, 180));
    p.setFont(pixelFont(h / 20, false));
    p.drawText(QRect(4, int(h * 0.15), w - 8, h / 16), Qt::AlignRight | Qt::AlignVCenter, channel.ChannelID);
    p.end();
    return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

QByteArray WithApp5(const QByteArray& jpeg, const QByteArray& payload) {
    // The length counts its own two bytes; a longer payload cannot be one
    // segment, so it is cut.
    const QByteArray data = payload.left(0xFFFF - 2);
    const int length = int(data.size()) + 2;
    QByteArray out;
    out.reserve(jpeg.size() + length + 2);
    out.append(jpeg.left(2));
    out.append(char(0xFF)).append(char(0xE5));
    out.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    out.append(data);
    out.append(jpeg.mid(2));
    return out;
}

QByteArray Record(int status, int reloadSeconds, const QString& stamp, const QString& comment) {
    return Cp932::encode(QStringLiteral("%1,%2,%3,%4,%5")
                             .arg(Demo::ProtocolSignature)
                             .arg(status)
                             .arg(reloadSeconds)
                             .arg(stamp, comment));
}

bool BreakIsTruncation(qint64 period) { return period % 2 == 0; }

QByteArray Break(const QByteArray& picture, qint64 period) {
    if (BreakIsTruncation(period)) {
        QByteArray cut = picture.left(picture.size() / 2);
        while (cut.size() >= 2 && quint8(cut.at(cut.size() - 2)) == 0xFF && quint8(cut.back()) == 0xD9) cut.chop(1);
        return cut;
    }
    // Keep SOI and the APP5 segment, then noise without a single FF byte:
    // the decoder skips it all and meets EOI before any image.
    const int app5End = 4 + ((quint8(picture.at(4)) << 8) | quint8(picture.at(5)));
    QByteArray out = picture.left(app5End);
    std::mt19937 noise{quint32(period)};
    const int length = int(picture.size()) / 2;
    for (int i = 0; i < length; ++i) out.append(char(noise() % 0xFF));
    out.append(char(0xFF)).append(char(0xD9));
    return out;
}

}  // namespace DemoFrames
