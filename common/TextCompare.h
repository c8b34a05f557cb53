#pragma once
// Identifiers, tags and record types are compared without regard to case.

#include <QString>

inline bool EqualsNoCase(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Key for hashed lookups that must agree with EqualsNoCase. Qt's case
// conversion turns a lone surrogate (a byte a list file kept, see
// DecodeText) into U+FFFD, which would make "ID" + byte and "id" + byte two
// keys: the text around lone surrogates is folded piece by piece.
inline QString CaseKey(const QString& s) {
    const QChar* d = s.constData();
    const qsizetype n = s.size();
    auto lone = [d, n](qsizetype i) {
        if (d[i].isHighSurrogate()) return i + 1 >= n || !d[i + 1].isLowSurrogate();
        return d[i].isLowSurrogate() && (i == 0 || !d[i - 1].isHighSurrogate());
    };
    QString key;
    qsizetype from = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (!lone(i)) continue;
        key += QStringView(d + from, i - from).toString().toCaseFolded();
        key += d[i];
        from = i + 1;
    }
    if (from == 0) return s.toCaseFolded();
    return key + QStringView(d + from, n - from).toString().toCaseFolded();
}
