#pragma once
// A real, empty program folder per test, handed to the window under test.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The bytes of a list file as the programs write it: CP932, CR LF after
// every line.
QByteArray ListFileBytes(const QStringList& lines);

class TempProgramDir {
public:
    TempProgramDir() = default;
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    bool exists(const QString& name) const;

    // Every file below the folder, relative paths, sorted.
    QStringList allFiles() const;

private:
    QTemporaryDir dir_;
};
