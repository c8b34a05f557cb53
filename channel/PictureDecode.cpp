#include "channel/PictureDecode.h"

#include <QImageReader>
#include <QLoggingCategory>

#include <turbojpeg.h>

#include <memory>

// libjpeg-turbo's own interface decodes straight into the 32-bit layout the
// boxes paint. QImage's reader costs twice as much for a thumbnail: it looks
// up its plugin and converts every line after the decode. Anything the fast
// path does not read cleanly (CMYK, a damaged or cut stream, a size over
// Qt's allocation limit) goes to QImage, which decides as it always did.
//
// A damaged picture is the server's doing and comes again with every poll:
// what the decoder says of it is handed to the caller, which logs it through
// our categories (once per channel), and Qt's JPEG plugin, which would say it
// on stderr for every picture, is kept quiet. QT_LOGGING_RULES still wins.
QImage DecodePicture(const QByteArray& jpeg, QString* warning) {
    static const bool quiet = [] {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
        return true;
    }();
    Q_UNUSED(quiet);
    thread_local const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), tjDestroy);
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const auto size = static_cast<unsigned long>(jpeg.size());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    const qint64 limitBytes = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (handle && !jpeg.isEmpty() &&
        tjDecompressHeader3(handle.get(), data, size, &width, &height, &subsampling, &colorspace) == 0 &&
        colorspace != TJCS_CMYK && colorspace != TJCS_YCCK && width > 0 && height > 0 &&
        qint64(width) * height * 4 <= limitBytes) {
        QImage image(width, height, QImage::Format_RGB32);
        if (!image.isNull() && tjDecompress2(handle.get(), data, size, image.bits(), width, int(image.bytesPerLine()),
                                             height, TJPF_BGRX, 0) == 0)
            return image;
        if (warning) *warning = QString::fromLocal8Bit(tjGetErrorStr2(handle.get()));
    }
    return QImage::fromData(jpeg, "JPG");
}
