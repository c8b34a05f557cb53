// The fast decoder must accept exactly what QImage's reader accepts, with
// the same pixels: every picture is compared with QImage's own decode.
#include "Rows.h"
#include "channel/PictureDecode.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>

namespace {

QByteArray jpeg(const QImage& image, bool progressive = false, int quality = 75) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return buffer.data();
}

QImage scene(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QPainter p(&image);
    p.fillRect(0, 0, width / 2, height / 3, Qt::red);  // a red the wrong channel order would turn blue
    p.fillRect(width / 2, height / 3, width / 2, height / 3, QColor(20, 200, 90));
    p.drawEllipse(QPoint(width / 3, height / 2), width / 5, height / 5);
    return image;
}

struct Picture {
    const char* name;
    QByteArray bytes;
};

void PrintTo(const Picture& picture, std::ostream* out) { *out << picture.name; }

class PictureDecodeTest : public ::testing::TestWithParam<Picture> {};

TEST_P(PictureDecodeTest, MatchesQImageInAcceptanceAndPixels) {
    const QByteArray& bytes = GetParam().bytes;
    const QImage ours = DecodePicture(bytes);
    const QImage theirs = QImage::fromData(bytes, "JPG");
    ASSERT_EQ(ours.isNull(), theirs.isNull());
    if (theirs.isNull()) return;
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(ours.convertToFormat(QImage::Format_RGB32), theirs.convertToFormat(QImage::Format_RGB32));
}

std::vector<Picture> pictures() {
    const QByteArray thumbnail = jpeg(scene(160, 120));
    const QByteArray large = jpeg(scene(640, 480), false, 100);
    QByteArray damaged = large;
    for (int i = 1000; i < 1200; ++i) damaged[i] = char(i * 7);
    // A frame header claiming 60000 x 60000 pixels: over Qt's allocation limit.
    QByteArray huge = thumbnail;
    const int sof = huge.indexOf("\xff\xc0");
    huge[sof + 5] = huge[sof + 7] = char(0xEA);
    huge[sof + 6] = huge[sof + 8] = char(0x60);
    return {{"LargeBestQuality", large},
            {"Progressive", jpeg(scene(320, 240), true)},
            {"Grayscale", jpeg(scene(160, 120).convertToFormat(QImage::Format_Grayscale8))},
            {"OnePixel", jpeg(scene(1, 1))},
            {"CutInHalf", thumbnail.left(thumbnail.size() / 2)},
            {"DamagedInTheMiddle", damaged},
            {"NotAPicture", QByteArray(4000, 'x')},
            {"Empty", QByteArray()},
            {"HugeFrame", huge}};
}

VANTORA_ROWS(PictureDecodeTest, pictures());

}  // namespace
