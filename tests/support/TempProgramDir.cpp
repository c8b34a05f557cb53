#include "TempProgramDir.h"
#include "common/Cp932.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

void TempProgramDir::write(const QString& name, const QByteArray& bytes) const {
    const QString p = file(name);
    QDir().mkpath(QFileInfo(p).path());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray TempProgramDir::read(const QString& name) const {
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool TempProgramDir::exists(const QString& name) const { return QFileInfo::exists(file(name)); }

QStringList TempProgramDir::allFiles() const {
    QStringList out;
    QDirIterator it(dir_.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(dir_.path()).relativeFilePath(it.next());
    out.sort();
    return out;
}

QByteArray ListFileBytes(const QStringList& lines) { return Cp932::encode(lines.join("\r\n") + "\r\n"); }
