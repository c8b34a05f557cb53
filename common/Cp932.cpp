#include "common/Cp932.h"

#include <QtEndian>

#include <iconv.h>
#include <cerrno>
#include <cstring>

namespace {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "UTF-16LE is QString's layout here");

bool isAscii(const char* data, qsizetype size) {
    for (qsizetype i = 0; i < size; ++i)
        if (static_cast<unsigned char>(data[i]) >= 0x80) return false;
    return true;
}

// Owns one iconv descriptor for the call.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// iconv_open searches the converter tables on every call, which cost more
// than the decode itself for the short texts of a picture's header: the two
// CP932 converters are opened once per thread and reset before each use.
Converter& cp932Converter(bool encoding) {
    thread_local Converter decoder("UTF-16LE", "CP932");
    thread_local Converter encoder("CP932", "UTF-16LE");
    Converter& conv = encoding ? encoder : decoder;
    if (conv.valid()) iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
    return conv;
}

// Any multibyte charset to QString; bad bytes become U+FFFD one byte at a time.
QString decodeWith(Converter& conv, const char* data, qsizetype size) {
    QString out;
    out.resize(size + 16);
    char* inPtr = const_cast<char*>(data);
    size_t inLeft = static_cast<size_t>(size);
    size_t used = 0;  // bytes of out already written
    auto room = [&]() { return static_cast<size_t>(out.size()) * 2 - used; };
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(out.data()) + used;
        size_t outLeft = room();
        const size_t r = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        const int err = errno;
        used = static_cast<size_t>(outPtr - reinterpret_cast<char*>(out.data()));
        if (r != static_cast<size_t>(-1)) break;
        if (err == E2BIG || room() < 2) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        if (err == EILSEQ || err == EINVAL) {
            // EILSEQ: invalid byte; EINVAL: a lead byte cut at the end.
            const char16_t replacement = 0xFFFD;
            memcpy(reinterpret_cast<char*>(out.data()) + used, &replacement, 2);
            used += 2;
            ++inPtr;
            --inLeft;
            iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        break;
    }
    out.resize(static_cast<qsizetype>(used / 2));
    return out;
}

}  // namespace

namespace Cp932 {

QString decode(const char* data, qsizetype size) {
    if (size <= 0) return QString();
    if (isAscii(data, size)) return QString::fromLatin1(data, size);
    Converter& conv = cp932Converter(false);
    if (!conv.valid()) return QString::fromLatin1(data, size);
    return decodeWith(conv, data, size);
}

QString decode(const QByteArray& bytes) { return decode(bytes.constData(), bytes.size()); }

QByteArray encode(const QString& text) {
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return text.toLatin1();

    Converter& conv = cp932Converter(true);
    QByteArray out;
    if (!conv.valid()) {
        for (QChar c : text) out.append(c.unicode() < 0x80 ? char(c.unicode()) : '?');
        return out;
    }
    out.resize(text.size() * 2 + 4);
    char* inPtr = reinterpret_cast<char*>(const_cast<QChar*>(text.constData()));
    size_t inLeft = static_cast<size_t>(text.size()) * 2;
    char* outPtr = out.data();
    size_t outLeft = static_cast<size_t>(out.size());
    while (inLeft > 0) {
        size_t r = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == EILSEQ || errno == EINVAL) {
            // Skip one character: a surrogate pair is two units.
            const char16_t unit = qFromLittleEndian<char16_t>(inPtr);
            size_t skip = 2;
            if (QChar::isHighSurrogate(unit) && inLeft >= 4) {
                const char16_t low = qFromLittleEndian<char16_t>(inPtr + 2);
                if (QChar::isLowSurrogate(low)) skip = 4;
            }
            if (outLeft < 1) break;
            *outPtr++ = '?';
            --outLeft;
            inPtr += skip;
            inLeft -= skip;
            iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        break;
    }
    out.resize(outPtr - out.data());
    return out;
}

QString decodeCharset(const QByteArray& bytes, const QString& charset, bool* known) {
    const QString name = charset.trimmed();
    const QString lower = name.toLower();
    if (known) *known = true;
    if (name.isEmpty()) return decode(bytes);
    if (lower == QLatin1String("utf-8") || lower == QLatin1String("utf8")) {
        Converter conv("UTF-16LE", "UTF-8");
        return conv.valid() ? decodeWith(conv, bytes.constData(), bytes.size()) : QString::fromUtf8(bytes);
    }
    if (lower == QLatin1String("shift_jis") || lower == QLatin1String("shift-jis") || lower == QLatin1String("sjis") ||
        lower == QLatin1String("x-sjis") || lower == QLatin1String("windows-31j") || lower == QLatin1String("cp932") ||
        lower == QLatin1String("ms932"))
        return decode(bytes);  // the Windows superset reads every Shift_JIS text
    const QByteArray latinName = name.toLatin1();
    Converter conv("UTF-16LE", latinName.constData());
    if (!conv.valid()) {
        if (known) *known = false;
        return decode(bytes);
    }
    if (bytes.isEmpty()) return QString();
    return decodeWith(conv, bytes.constData(), bytes.size());
}

}  // namespace Cp932
