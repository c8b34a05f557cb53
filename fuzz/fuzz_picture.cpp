// A picture body as a server sends it: the JPEG walk and its APP5 record,
// then the decode the channel does for an accepted picture. The input is
// wrapped without a copy, so a read one byte past the body is caught.
#include "FuzzSupport.h"
#include "channel/ChannelInfomation.h"
#include "channel/PictureDecode.h"

#include <QImage>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    PictureInfomation picture;
    picture.Status = 77;  // a previous picture's record
    const QString extension = AnalyzePicture(body, picture);
    if (extension.isEmpty()) {
        // Either untouched (not a JPEG frame) or reset: never half-filled.
        FUZZ_CHECK(
            (picture.Status == 77 && picture.ReloadTime == -1) ||
            (picture.Status == 3 && picture.ReloadTime == -1 && picture.Stamp.isEmpty() && picture.Comment.isEmpty()));
        return 0;
    }
    FUZZ_CHECK(extension == QLatin1String(".jpg"));
    FUZZ_CHECK(size >= 4 && data[0] == 0xFF && data[1] == 0xD8 && data[size - 2] == 0xFF && data[size - 1] == 0xD9);
    // The channel decodes what the walk accepted; the decoder must cope too,
    // and accept just what QImage's reader accepts.
    if (size <= 64 * 1024) FUZZ_CHECK(DecodePicture(body).isNull() == QImage::fromData(body, "JPG").isNull());
    return 0;
}
