#include "JpegFactory.h"

#include "common/Cp932.h"

#include <QBuffer>
#include <QImage>

namespace JpegFactory {

QByteArray make(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

QByteArray withApp5(const QByteArray& jpeg, const QString& payload) {
    const QByteArray data = Cp932::encode(payload);
    const int length = int(data.size()) + 2;
    QByteArray segment;
    segment.append(char(0xFF)).append(char(0xE5));
    segment.append(char((length >> 8) & 0xFF)).append(char(length & 0xFF));
    segment.append(data);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray withRecord(const QByteArray& jpeg, int status, int reload, const QString& stamp,
                      const QString& comment) {
    return withApp5(jpeg, QStringLiteral("Vantora,%1,%2,%3,%4").arg(status).arg(reload).arg(stamp, comment));
}

}  // namespace JpegFactory
