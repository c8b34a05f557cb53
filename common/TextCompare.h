#pragma once
// Identifiers, tags and record types are compared without regard to case.

#include <QString>

inline bool EqualsNoCase(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Key for hashed lookups that must agree with EqualsNoCase.
inline QString CaseKey(const QString& s) { return s.toCaseFolded(); }

// The tag pattern "Prefix_*": the tag begins with Prefix + "_".
inline bool TagMatches(const QString& tag, const QString& prefixWithUnderscore) {
    return tag.startsWith(prefixWithUnderscore, Qt::CaseInsensitive);
}

// The identifier of a tag is the text after its first "_" (it may hold "_").
inline QString TagIdentifier(const QString& tag) {
    const qsizetype i = tag.indexOf(QLatin1Char('_'));
    return i < 0 ? QString() : tag.mid(i + 1);
}

// The type of a tag is the text before its first "_".
inline QString TagType(const QString& tag) {
    const qsizetype i = tag.indexOf(QLatin1Char('_'));
    return i < 0 ? tag : tag.left(i);
}
