#pragma once
// An INI file with the semantics of the classic private-profile functions:
// sections and keys found without regard to case, a write changes the one
// line in place and keeps every other line byte for byte, a missing file is
// created by the first write. CP932 unless the file is UTF-8; CR LF.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include "common/TextFile.h"

#include <functional>

class IniDocument {
public:
    IniDocument() = default;
    static IniDocument fromBytes(const QByteArray& bytes);

    // Value of key in section; false when either is missing.
    bool value(const QString& section, const QString& key, QString* value) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    // Every key of the first such section with its value, in file order.
    QList<QPair<QString, QString>> entries(const QString& section) const;
    // Removes the lines of the section whose key drop() accepts.
    void removeKeys(const QString& section, const std::function<bool(const QString& key)>& drop);
    QByteArray toBytes() const;

private:
    struct Line {
        QByteArray raw;  // as in the file, without its line end
        QString text;    // decoded
    };
    static bool sectionName(const QString& text, QString* name);
    static bool keyValue(const QString& text, QString* key, QString* value);
    QByteArray encode(const QString& text) const;

    QList<Line> lines_;
    TextEncoding encoding_ = TextEncoding::Cp932;
};

class IniFile {
public:
    explicit IniFile(QString path) : path_(std::move(path)) {}
    const QString& path() const { return path_; }

    // Reads the file anew at every call, as the classic functions do.
    bool read(const QString& section, const QString& key, QString* value) const;
    // Read-modify-write, crash-safe. False when the file could not be written.
    bool write(const QString& section, const QString& key, const QString& value) const;

private:
    QString path_;
};
