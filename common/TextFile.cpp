#include "common/TextFile.h"

#include "common/Cp932.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace {

const char kBom[] = "\xEF\xBB\xBF";

// A byte kept as it was: a lone low surrogate no decoder produces.
constexpr char16_t kKeptByte = 0xDC00;
bool isKeptByte(const QChar* d, qsizetype i) {
    const char16_t c = d[i].unicode();
    return c >= kKeptByte + 0x80 && c <= kKeptByte + 0xFF && (i == 0 || !d[i - 1].isHighSurrogate());
}

// Length of the well-formed UTF-8 sequence at p[i], 0 when there is none;
// *cp gets its code point.
int utf8Sequence(const unsigned char* p, qsizetype n, qsizetype i, char32_t* cp) {
    const unsigned char c = p[i];
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    int len = 0;
    char32_t min = 0, v = 0;
    if ((c & 0xE0) == 0xC0)
        len = 2, v = c & 0x1F, min = 0x80;
    else if ((c & 0xF0) == 0xE0)
        len = 3, v = c & 0x0F, min = 0x800;
    else if ((c & 0xF8) == 0xF0)
        len = 4, v = c & 0x07, min = 0x10000;
    else
        return 0;
    if (i + len > n) return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[i + k] & 0xC0) != 0x80) return 0;
        v = (v << 6) | (p[i + k] & 0x3F);
    }
    if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *cp = v;
    return len;
}

QString decodeUtf8(const QByteArray& bytes) {
    // Qt's converter drops a leading BOM; the walk below keeps it.
    if (!bytes.startsWith(kBom) && QByteArrayView(bytes).isValidUtf8()) return QString::fromUtf8(bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out(n, Qt::Uninitialized);  // never more units than bytes
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = utf8Sequence(p, n, i, &cp);
        if (len == 0) {
            *o++ = char16_t(kKeptByte + p[i]);
            ++i;
            continue;
        }
        if (cp < 0x10000) {
            *o++ = char16_t(cp);
        } else {
            *o++ = QChar::highSurrogate(cp);
            *o++ = QChar::lowSurrogate(cp);
        }
        i += len;
    }
    out.truncate(o - reinterpret_cast<char16_t*>(out.data()));
    return out;
}

bool isCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Every CP932 code that reads as one character and writes back as the same
// bytes, found once through the codec itself; 0 marks the others. The same
// codes by character (code is what the codec writes for it) let a writer
// skip the codec for every character but the few that are not there.
struct Cp932Table {
    char16_t single[256] = {};
    std::vector<char16_t> pair = std::vector<char16_t>(0x10000, 0);
    std::vector<quint16> code = std::vector<quint16>(0x10000, 0);

    Cp932Table() {
        for (int b = 0; b < 0x80; ++b) single[b] = char16_t(b);
        // All candidates in one pass of the codec, one a line: LF is no
        // part of any CP932 character.
        QList<int> codes;
        QByteArray all;
        for (int b = 0x80; b <= 0xFF; ++b) {
            codes << b;
            all += char(b);
            all += '\n';
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isCp932Lead(uchar(lead))) continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F) continue;
                codes << (lead << 8 | trail);
                all += char(lead);
                all += char(trail);
                all += '\n';
            }
        }
        const QStringList decoded = Cp932::decode(all).split(QLatin1Char('\n'));
        QString one;  // the candidates that read as one character
        QList<int> oneCodes;
        for (qsizetype i = 0; i < codes.size(); ++i) {
            const QString& d = decoded[i];
            if (d.size() != 1 || d[0].unicode() == 0xFFFD || d[0].isSurrogate()) continue;
            one += d + QLatin1Char('\n');
            oneCodes << codes[i];
        }
        const QList<QByteArray> back = Cp932::encode(one).split('\n');
        for (qsizetype i = 0; i < oneCodes.size(); ++i) {
            const int code = oneCodes[i];
            QByteArray want;
            if (code > 0xFF) want += char(code >> 8);
            want += char(code & 0xFF);
            if (back.value(i) != want) continue;
            const char16_t c = one[i * 2].unicode();
            if (code > 0xFF)
                pair[size_t(code)] = c;
            else
                single[code] = c;
            this->code[c] = quint16(code);
        }
    }
};

const Cp932Table& cp932Table() {
    static const Cp932Table table;
    return table;
}

QString decodeCp932(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n && p[i] < 0x80) ++i;
    if (i == n) return QString::fromLatin1(bytes);
    const Cp932Table& table = cp932Table();
    QString out(n, Qt::Uninitialized);  // never more characters than bytes
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (qsizetype k = 0; k < i; ++k) *o++ = p[k];
    while (i < n) {
        const unsigned char b = p[i];
        if (isCp932Lead(b) && i + 1 < n) {
            if (const char16_t c = table.pair[size_t(b << 8 | p[i + 1])]) {
                *o++ = c;
                i += 2;
                continue;
            }
        }
        const char16_t c = table.single[b];
        *o++ = c || b == 0 ? c : char16_t(kKeptByte + b);
        ++i;
    }
    out.truncate(o - reinterpret_cast<char16_t*>(out.data()));
    return out;
}

// Appends what the codec writes for text, character by character from the
// table; the codec itself only for the runs of characters not in it.
void appendCp932(QStringView text, QByteArray& out) {
    const Cp932Table& table = cp932Table();
    const qsizetype n = text.size();
    const qsizetype at = out.size();
    out.resize(at + 2 * n);  // no character takes more than two bytes
    char* o = out.data() + at;
    for (qsizetype i = 0; i < n;) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            *o++ = char(c);
            ++i;
        } else if (const quint16 code = table.code[c]) {
            if (code > 0xFF) *o++ = char(code >> 8);
            *o++ = char(code & 0xFF);
            ++i;
        } else {
            qsizetype end = i + 1;
            while (end < n && text[end].unicode() >= 0x80 && !table.code[text[end].unicode()]) ++end;
            const QByteArray codec = Cp932::encode(text.mid(i, end - i).toString());
            o = std::copy(codec.cbegin(), codec.cend(), o);
            i = end;
        }
    }
    out.truncate(o - out.constData());
}

void appendUtf8(QStringView text, QByteArray& out) { out += text.toUtf8(); }

// Appends the runs between kept bytes as appendRun writes them; kept bytes
// go out as they came in.
template <class AppendRun>
void appendKeepingBytes(QStringView text, QByteArray& out, AppendRun appendRun) {
    const QChar* d = text.data();
    const qsizetype n = text.size();
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (!isKeptByte(d, i)) continue;
        if (i > run) appendRun(QStringView(d + run, i - run), out);
        out += char(d[i].unicode() - kKeptByte);
        run = i + 1;
    }
    if (n > run) appendRun(QStringView(d + run, n - run), out);
}

// The text of lines, each ended by end, in the encoding.
template <class Lines>
QByteArray encodeLines(const Lines& lines, QStringView end, TextEncoding encoding) {
    qsizetype units = 0;
    for (QStringView line : lines) units += line.size() + end.size();
    QByteArray out;
    out.reserve(encoding == TextEncoding::Cp932 ? 2 * units : 3 * units + 3);
    if (encoding == TextEncoding::Utf8Bom) out += kBom;
    for (QStringView line : lines) {
        for (QStringView piece : {line, end}) {
            if (encoding == TextEncoding::Cp932)
                appendKeepingBytes(piece, out, appendCp932);
            else
                appendKeepingBytes(piece, out, appendUtf8);
        }
    }
    return out;
}

}  // namespace

TextEncoding DetectTextEncoding(const QByteArray& bytes) {
    if (bytes.startsWith(kBom)) return TextEncoding::Utf8Bom;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype multiByte = 0, stray = 0;
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int len = utf8Sequence(p, n, i, &cp);
        if (len == 0) {
            ++stray;
            ++i;
        } else {
            ++multiByte;
            i += len;
        }
    }
    return multiByte > 0 && multiByte >= 2 * stray ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

QString DecodeText(const QByteArray& bytes, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8Bom:
            return decodeUtf8(bytes.startsWith(kBom) ? bytes.mid(3) : bytes);
        case TextEncoding::Utf8:
            return decodeUtf8(bytes);
        case TextEncoding::Cp932:
            break;
    }
    return decodeCp932(bytes);
}

QByteArray EncodeText(const QString& text, TextEncoding encoding) {
    return encodeLines(std::initializer_list<QStringView>{text}, QStringView(), encoding);
}

QByteArray EncodeLines(const QStringList& lines, TextEncoding encoding) {
    return encodeLines(lines, u"\r\n", encoding);
}

QString ReadTextFile(const QString& path, TextFileInfo* info) {
    TextFileInfo local;
    QFile file(path);
    const QFileInfo fileInfo(path);
    // A directory (or anything else) in the file's place exists, unreadable.
    local.exists = fileInfo.exists() || fileInfo.isSymLink();
    QString text;
    if (fileInfo.isFile() && file.open(QIODevice::ReadOnly)) {
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
