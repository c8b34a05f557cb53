#include "common/mdlFunction.h"

#include "common/IniFile.h"
#include "common/Numeric.h"

#include <QLocale>

namespace mdlFunction {

namespace {

QString trimSpaces(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' ')) ++b;
    while (e > b && s[e - 1] == QLatin1Char(' ')) --e;
    return (b == 0 && e == s.size()) ? s : s.mid(b, e - b);
}

}  // namespace

QString TrimSpaces(const QString& Text) { return trimSpaces(Text); }

bool IsLocalFolderPath(const QString& path) {
    return path.startsWith(QLatin1Char('/')) && !path.contains(QLatin1Char('\\'));
}

QStringList SplitString(const QString& Text, const QString& Delimiter, bool IsTrim, bool IsSkipEmpty) {
    QStringList pieces;
    if (Text.isEmpty()) return pieces;
    if (Delimiter.isEmpty()) {
        pieces.append(IsTrim ? trimSpaces(Text) : Text);
        return pieces;
    }
    const qsizetype dl = Delimiter.size();
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = Text.indexOf(Delimiter, start);
        const qsizetype end = at < 0 ? Text.size() : at;
        pieces.append(Text.mid(start, end - start));
        if (at < 0) break;
        start = at + dl;
    }
    if (IsSkipEmpty && pieces.size() > 2) {
        // Collapsing runs of the delimiter leaves only the empty pieces at the
        // very start and end.
        QStringList kept;
        kept.reserve(pieces.size());
        for (qsizetype i = 0; i < pieces.size(); ++i)
            if (i == 0 || i == pieces.size() - 1 || !pieces[i].isEmpty()) kept.append(pieces[i]);
        pieces.swap(kept);
    }
    if (IsTrim)
        for (QString& p : pieces) p = trimSpaces(p);
    return pieces;
}

QStringList SplitString(const QString& Text, QChar Delimiter, bool IsTrim, bool IsSkipEmpty) {
    return SplitString(Text, QString(Delimiter), IsTrim, IsSkipEmpty);
}

int CountLeading(const QString& Text, QChar Pattern) {
    int count = 0;
    while (count < Text.size() && Text[count] == Pattern) ++count;
    return count;
}

QStringList LinesFromText(const QString& text, bool IsSkipEmpty) {
    QStringList lines = SplitTextLines(text);
    if (IsSkipEmpty) lines.removeIf([](const QString& l) { return l.isEmpty(); });
    lines.prepend(QString());
    return lines;
}

QStringList ReadLines(const QString& FileName, bool IsSkipEmpty, TextFileInfo* info) {
    TextFileInfo local;
    const QString text = ReadTextFile(FileName, &local);
    if (info) *info = local;
    if (!local.exists) return QStringList{QString()};
    return LinesFromText(text, IsSkipEmpty);
}

namespace {

// Converts a stored text to the requested type; false when it does not convert.
bool convert(const QString& text, int ValueType, QVariant* out) {
    switch (ValueType) {
        case IniInteger: {
            int v = 0;
            if (!Numeric::ToInt32(text, &v)) return false;
            *out = v;
            return true;
        }
        case IniDouble: {
            double v = 0;
            if (!Numeric::ParseDouble(text, &v)) return false;
            *out = v;
            return true;
        }
        case IniText:
            *out = text;
            return true;
        case IniBoolean: {
            bool v = false;
            if (!Numeric::ToBoolean(text, &v)) return false;
            *out = v;
            return true;
        }
        default:
            *out = 0;
            return true;
    }
}

QVariant zeroOf(int ValueType) {
    switch (ValueType) {
        case IniDouble:
            return 0.0;
        case IniText:
            return QString();
        case IniBoolean:
            return false;
        default:
            return 0;
    }
}

}  // namespace

QString IniValueText(const QVariant& Value) {
    switch (Value.typeId()) {
        case QMetaType::Bool:
            return Numeric::BooleanText(Value.toBool());
        case QMetaType::Double:
        case QMetaType::Float:
            return QLocale::c().toString(Value.toDouble(), 'g', 15);
        default:
            return Value.toString();
    }
}

QVariant GetIniFrom(const QString& iniPath, const QString& Section, const QString& Key, int ValueType,
                    const QVariant& Default) {
    if (ValueType < IniInteger || ValueType > IniBoolean) return 0;
    QString text;
    const bool found = IniFile(iniPath).read(Section, Key, &text);
    QVariant result;
    if (found && !text.isEmpty() && convert(text, ValueType, &result)) return result;
    const QString defaultText = Default.isValid() ? IniValueText(Default) : QString();
    if (!defaultText.isEmpty() && convert(defaultText, ValueType, &result)) return result;
    return zeroOf(ValueType);
}

bool SetIniTo(const QString& iniPath, const QString& Section, const QString& Key, const QVariant& Value) {
    return IniFile(iniPath).write(Section, Key, IniValueText(Value));
}

}  // namespace mdlFunction
