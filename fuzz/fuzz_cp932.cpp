// The text decoders: CP932 (files and default HTTP bodies) and the charset a
// server names. The first line of the input is the charset name, the rest
// the body. CP932 text decodes, encodes and decodes again to the same text
// (with "?" where a byte was invalid); read as a file, every byte comes back.
#include "FuzzSupport.h"
#include "common/Cp932.h"
#include "common/TextFile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));

    const QString text = Cp932::decode(all);
    QString expected = text;
    expected.replace(QChar(0xFFFD), QLatin1Char('?'));
    FUZZ_CHECK(Cp932::decode(Cp932::encode(text)) == expected);

    const qsizetype nl = all.indexOf('\n');
    if (nl >= 0 && nl <= 64) {
        const QString charset = QString::fromLatin1(all.left(nl));
        (void)Cp932::decodeCharset(all.mid(nl + 1), charset);
    }
    // Files: every byte comes back in the encoding it was read in, and in
    // either of the others.
    for (TextEncoding e : {DetectTextEncoding(all), TextEncoding::Cp932, TextEncoding::Utf8})
        FUZZ_CHECK(EncodeText(DecodeText(all, e), e) == all);
    (void)SplitTextLines(text);
    return 0;
}
