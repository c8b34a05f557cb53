#include "common/Numeric.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Numeric {

bool ParseDouble(const QString& text, double* value) {
    // Validate the shape ourselves; strtod alone would accept hex, inf and nan.
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto isSpace = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    while (i < n && isSpace(text[i])) ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    qsizetype digits = 0;
    while (i < n && isDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-'))) ++j;
        qsizetype expDigits = 0;
        while (j < n && isDigit(text[j])) ++j, ++expDigits;
        if (expDigits == 0) return false;
        i = j;
    }
    const qsizetype end = i;
    while (i < n && isSpace(text[i])) ++i;
    if (i != n) return false;
    // from_chars ignores the process locale (Qt sets LC_ALL from the user's).
    QByteArray latin = text.mid(start, end - start).toLatin1();
    if (latin.startsWith('+')) latin.remove(0, 1);
    double d = 0;
    const auto res = std::from_chars(latin.constData(), latin.constData() + latin.size(), d);
    if (res.ec == std::errc::result_out_of_range) return false;
    if (res.ec != std::errc() || !std::isfinite(d)) return false;
    if (value) *value = d;
    return true;
}

bool RoundToInt32(double value, int* result) {
    if (!std::isfinite(value)) return false;
    const double r = std::nearbyint(value);  // default rounding: halves to even
    if (r < static_cast<double>(std::numeric_limits<int>::min()) ||
        r > static_cast<double>(std::numeric_limits<int>::max()))
        return false;
    if (result) *result = static_cast<int>(r);
    return true;
}

bool ToInt32(const QString& text, int* value) {
    double d = 0;
    if (!ParseDouble(text, &d)) return false;
    return RoundToInt32(d, value);
}

bool IsNumeric(const QString& text) { return ParseDouble(text); }

bool ToBoolean(const QString& text, bool* value) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        if (value) *value = true;
        return true;
    }
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        if (value) *value = false;
        return true;
    }
    double d = 0;
    if (!ParseDouble(text, &d)) return false;
    if (value) *value = d != 0.0;
    return true;
}

}  // namespace Numeric
