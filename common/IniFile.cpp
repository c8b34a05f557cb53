#include "common/IniFile.h"

#include "common/SafeFile.h"

#include <QFile>

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

QString trimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b])) ++b;
    while (e > b && isBlank(s[e - 1])) --e;
    return s.mid(b, e - b);
}

QList<QByteArray> splitRawLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    const char* d = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (d[i] != '\r' && d[i] != '\n') continue;
        lines.append(QByteArray(d + start, i - start));
        if (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(QByteArray(d + start, n - start));
    return lines;
}

}  // namespace

IniDocument IniDocument::fromBytes(const QByteArray& bytes) {
    IniDocument doc;
    doc.encoding_ = DetectTextEncoding(bytes);
    QByteArray body = bytes;
    if (doc.encoding_ == TextEncoding::Utf8Bom) body = bytes.mid(3);
    const TextEncoding lineEncoding = doc.encoding_ == TextEncoding::Cp932 ? TextEncoding::Cp932 : TextEncoding::Utf8;
    // CR and LF never occur inside a CP932 or UTF-8 character, so lines can be
    // cut as bytes and every untouched line written back exactly.
    for (const QByteArray& raw : splitRawLines(body)) doc.lines_.append({raw, DecodeText(raw, lineEncoding)});
    return doc;
}

bool IniDocument::sectionName(const QString& text, QString* name) {
    const QString t = trimBlanks(text);
    if (!t.startsWith(QLatin1Char('['))) return false;
    qsizetype end = t.indexOf(QLatin1Char(']'));
    if (end < 0) end = t.size();
    *name = trimBlanks(t.mid(1, end - 1));
    return true;
}

bool IniDocument::keyValue(const QString& text, QString* key, QString* value) {
    const QString t = trimBlanks(text);
    if (t.isEmpty() || t.startsWith(QLatin1Char(';'))) return false;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq < 0) return false;
    *key = trimBlanks(t.left(eq));
    QString v = trimBlanks(t.mid(eq + 1));
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) && v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    *value = v;
    return true;
}

bool IniDocument::value(const QString& section, const QString& key, QString* value) const {
    bool inSection = false;
    for (const Line& line : lines_) {
        QString name;
        if (sectionName(line.text, &name)) {
            if (inSection) return false;  // only the first such section counts
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection) continue;
        QString k, v;
        if (keyValue(line.text, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            *value = v;
            return true;
        }
    }
    return false;
}

QByteArray IniDocument::encode(const QString& text) const {
    return EncodeText(text, encoding_ == TextEncoding::Cp932 ? TextEncoding::Cp932 : TextEncoding::Utf8);
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
    // A line end inside a value would split the entry in two.
    QString oneLine = value;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString entry = key + QLatin1Char('=') + oneLine;
    qsizetype sectionLine = -1;
    qsizetype lastEntry = -1;  // last non-blank line of the section
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        QString name;
        if (sectionName(lines_[i].text, &name)) {
            if (sectionLine >= 0) break;
            if (name.compare(section, Qt::CaseInsensitive) == 0) sectionLine = lastEntry = i;
            continue;
        }
        if (sectionLine < 0) continue;
        QString k, v;
        if (keyValue(lines_[i].text, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            lines_[i] = {encode(entry), entry};
            return;
        }
        if (!trimBlanks(lines_[i].text).isEmpty()) lastEntry = i;
    }
    if (sectionLine >= 0) {
        lines_.insert(lastEntry + 1, {encode(entry), entry});
        return;
    }
    if (!lines_.isEmpty() && !trimBlanks(lines_.back().text).isEmpty()) lines_.append({QByteArray(), QString()});
    const QString header = QLatin1Char('[') + section + QLatin1Char(']');
    lines_.append({encode(header), header});
    lines_.append({encode(entry), entry});
}

QList<QPair<QString, QString>> IniDocument::entries(const QString& section) const {
    QList<QPair<QString, QString>> out;
    bool inSection = false;
    for (const Line& line : lines_) {
        QString name;
        if (sectionName(line.text, &name)) {
            if (inSection) break;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString k, v;
        if (inSection && keyValue(line.text, &k, &v)) out.append({k, v});
    }
    return out;
}

void IniDocument::removeKeys(const QString& section, const std::function<bool(const QString& key)>& drop) {
    bool inSection = false;
    for (qsizetype i = 0; i < lines_.size();) {
        QString name;
        if (sectionName(lines_[i].text, &name)) {
            if (inSection) return;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            ++i;
            continue;
        }
        QString k, v;
        if (inSection && keyValue(lines_[i].text, &k, &v) && drop(k)) {
            lines_.removeAt(i);
        } else {
            ++i;
        }
    }
}

QByteArray IniDocument::toBytes() const {
    QByteArray out;
    if (encoding_ == TextEncoding::Utf8Bom) out += "\xEF\xBB\xBF";
    for (const Line& line : lines_) {
        out += line.raw;
        out += "\r\n";
    }
    return out;
}

bool IniFile::read(const QString& section, const QString& key, QString* value) const {
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return IniDocument::fromBytes(file.readAll()).value(section, key, value);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) const {
    QByteArray bytes;
    QFile file(path_);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) return false;  // never replace what we cannot read
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) return false;
        file.close();
    }
    IniDocument doc = IniDocument::fromBytes(bytes);
    doc.setValue(section, key, value);
    return WriteFileAtomically(path_, doc.toBytes());
}
