#include "common/TextFile.h"

#include "common/Cp932.h"

#include <QFile>
#include <QFileInfo>

namespace {

const char kBom[] = "\xEF\xBB\xBF";

// True when bytes are well-formed UTF-8; *multiByte tells whether any
// sequence was longer than one byte.
bool isUtf8(const QByteArray& bytes, bool* multiByte) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    bool multi = false;
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len = 0;
        unsigned min = 0;
        unsigned cp = 0;
        if ((c & 0xE0) == 0xC0) len = 2, cp = c & 0x1F, min = 0x80;
        else if ((c & 0xF0) == 0xE0) len = 3, cp = c & 0x0F, min = 0x800;
        else if ((c & 0xF8) == 0xF0) len = 4, cp = c & 0x07, min = 0x10000;
        else return false;
        if (i + len > n) return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        multi = true;
        i += len;
    }
    *multiByte = multi;
    return true;
}

}  // namespace

TextEncoding DetectTextEncoding(const QByteArray& bytes) {
    if (bytes.startsWith(kBom)) return TextEncoding::Utf8Bom;
    bool multi = false;
    if (isUtf8(bytes, &multi) && multi) return TextEncoding::Utf8;
    return TextEncoding::Cp932;
}

QString DecodeText(const QByteArray& bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return Cp932::decodeCharset(bytes.mid(3), QStringLiteral("utf-8"));
    case TextEncoding::Utf8:
        return Cp932::decodeCharset(bytes, QStringLiteral("utf-8"));
    case TextEncoding::Cp932:
        break;
    }
    return Cp932::decode(bytes);
}

QByteArray EncodeText(const QString& text, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return QByteArray(kBom) + text.toUtf8();
    case TextEncoding::Utf8:
        return text.toUtf8();
    case TextEncoding::Cp932:
        break;
    }
    return Cp932::encode(text);
}

QString ReadTextFile(const QString& path, TextFileInfo* info) {
    TextFileInfo local;
    QFile file(path);
    local.exists = QFileInfo(path).isFile();
    QString text;
    if (local.exists && file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        local.readable = file.error() == QFileDevice::NoError;
        if (local.readable) {
            local.encoding = DetectTextEncoding(bytes);
            text = DecodeText(bytes, local.encoding);
        }
    }
    if (info) *info = local;
    return text;
}

QStringList SplitTextLines(const QString& text) {
    QStringList lines;
    const QChar* d = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c != u'\r' && c != u'\n') continue;
        lines.append(QString(d + start, i - start));
        if (c == u'\r' && i + 1 < n && d[i + 1].unicode() == u'\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(QString(d + start, n - start));
    return lines;
}
