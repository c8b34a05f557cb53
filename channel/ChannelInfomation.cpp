#include "channel/ChannelInfomation.h"

#include "common/Cp932.h"
#include "common/Numeric.h"
#include "common/mdlFunction.h"

using mdlFunction::SplitString;

bool AnalyzeInfomationFile(const QString& TextData, ChannelInfomation& info) {
    QString text = TextData;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = SplitString(text, QChar(u'\n'), true, true);
    int mask = 0;
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) continue;
        const QString key = mdlFunction::TrimSpaces(line.left(eq));
        const QString value = line.mid(eq + 1);
        auto is = [&key](const char* name) { return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
        if (is("ProtocolSignature")) {
            info.ProtocolSignature = value;
            mask |= 1;
        } else if (is("ChannelID")) {
            info.ChannelID = value;
            mask |= 2;
        } else if (is("ChannelName")) {
            info.ChannelName = value;
        } else if (is("ChannelNumber")) {
            info.ChannelNumber = value;
        } else if (is("ThumbnailURL")) {
            info.ThumbnailURL = value;
        } else if (is("CommentforChannel")) {
            info.CommentforChannel = value;
        } else if (is("BroadCastStartTime")) {
            info.BroadCastStartTime = value;
        } else if (is("URL")) {
            info.URL = value;
            mask |= 4;
        } else if (is("ReloadTime")) {
            int v = 0;
            if (Numeric::ToInt32(value, &v)) info.ReloadTime = v;
            mask |= 8;  // present even when not a number
        } else if (is("StatusFlag")) {
            int v = 0;
            if (Numeric::ToInt32(value, &v)) info.StatusFlag = v;
        } else if (is("Last-Modified")) {
            info.LastModified = value;
            mask |= 16;
        }
    }
    return mask == 31;
}

namespace {

inline unsigned word(const QByteArray& b, qsizetype at) {
    return (static_cast<unsigned char>(b[at]) << 8) | static_cast<unsigned char>(b[at + 1]);
}

void readApp5(const QByteArray& payload, PictureInfomation& picture) {
    const QStringList pieces = SplitString(Cp932::decode(payload), QChar(u','), true, false);
    if (pieces.size() != 5) return;
    int status = 0, reload = 0;
    if (!Numeric::ToInt32(pieces[1], &status) || !Numeric::ToInt32(pieces[2], &reload)) return;
    picture.Status = status;
    picture.ReloadTime = reload;
    picture.Stamp = pieces[3];
    picture.Comment = pieces[4];
}

}  // namespace

QString AnalyzePicture(const QByteArray& BinaryData, PictureInfomation& picture) {
    const QByteArray& b = BinaryData;
    const qsizetype size = b.size();
    if (size < 2) return QString();
    if (word(b, 0) != 0xFFD8 || word(b, size - 2) != 0xFFD9) return QString();
    // Filled from the reset values; handed over only when the walk accepts.
    PictureInfomation found;

    // Every read is bounds-checked: a length or a scan that runs off the end
    // rejects the picture instead of reading past the body.
    qsizetype n = 0;
    for (;;) {
        if (n + 1 >= size) return QString();
        const unsigned m = word(b, n);
        if (m == 0xFFD8 || (m >= 0xFFD0 && m <= 0xFFD7)) {
            n += 2;
        } else if (m == 0xFFD9) {
            picture = found;
            return QStringLiteral(".jpg");
        } else if (m == 0xFFE5) {
            if (n + 3 >= size) return QString();
            const unsigned length = word(b, n + 2);
            if (length < 2 || n + 2 + static_cast<qsizetype>(length) > size) return QString();
            readApp5(b.mid(n + 4, length - 2), found);
            picture = found;
            return QStringLiteral(".jpg");
        } else if (m == 0xFFDA) {
            // The search starts after the marker; testing at the marker
            // itself would find it again and never move.
            ++n;
            for (;;) {
                if (n + 1 >= size) return QString();
                const auto c0 = static_cast<unsigned char>(b[n]);
                const auto c1 = static_cast<unsigned char>(b[n + 1]);
                if (c0 == 0xFF && c1 != 0x00 && !(c1 >= 0xD0 && c1 <= 0xD7)) break;
                ++n;
            }
        } else {
            if (n + 3 >= size) return QString();
            const unsigned length = word(b, n + 2);
            if (length < 2) return QString();
            n += 2 + static_cast<qsizetype>(length);
        }
    }
}
