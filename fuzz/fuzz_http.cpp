// What our code still parses of a response: the header lines libcurl hands
// over, one a call, and the choice of encoding for a text body. The input is
// a header section and a body separated by two NUL bytes. The header text
// kept must stay bounded whatever arrives, read as a status line and fields
// or as nothing; decoding must always reach the end of the body.
#include "FuzzSupport.h"
#include "channel/HTTPTransfer.h"
#include "common/BodyText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 512 * 1024) return 0;
    const QList<QByteArray> parts = fuzz::splitParts(fuzz::bytes(data, size), 2);
    HTTPTransfer transfer(1, nullptr);
    const QByteArray& header = parts[0];
    for (qsizetype at = 0; at < header.size();) {
        qsizetype end = header.indexOf('\n', at);
        end = end < 0 ? header.size() : end + 1;
        if (!transfer.TakeHeaderLine(header.constData() + at, size_t(end - at))) break;
        at = end;
    }
    const QString text = transfer.GetHeader();
    FUZZ_CHECK(text.size() <= 2 * HTTPTransfer::kMaxHeader + 64);
    FUZZ_CHECK(text.isEmpty() ||
               (text.startsWith(QLatin1String("HTTP/1.1 ")) && text.endsWith(QLatin1String("\r\n\r\n"))));
    const QString contentType = transfer.GetHeader(QStringLiteral("Content-Type"));
    const QString body = DecodeBodyText(parts[1] + "\nEND", contentType);
    if (DeclaredCharset(contentType) != QLatin1String("iso-2022-jp")) FUZZ_CHECK(body.endsWith(QLatin1String("\nEND")));
    return 0;
}
