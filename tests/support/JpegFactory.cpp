#include "JpegFactory.h"

#include "common/Cp932.h"

#include <QBuffer>
#include <QImage>

QByteArray JpegFactory::make(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 80);
    return bytes;
}

QByteArray JpegFactory::withApp5(const QByteArray& jpeg, const QString& payload) {
    const QByteArray data = Cp932::encode(payload);
    const int length = int(data.size()) + 2;
    return jpeg.left(2) + "\xFF\xE5" + char(length >> 8) + char(length & 0xFF) + data + jpeg.mid(2);
}

QByteArray JpegFactory::withRecord(const QByteArray& jpeg, int status, int reload, const QString& stamp,
                                   const QString& comment) {
    return withApp5(jpeg, QStringLiteral("Vantora,%1,%2,%3,%4").arg(status).arg(reload).arg(stamp, comment));
}
