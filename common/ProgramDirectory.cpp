#include "common/ProgramDirectory.h"

#include <QCoreApplication>

namespace {
QString& overrideDirectory() {
    static QString dir;
    return dir;
}
}  // namespace

QString ProgramDirectory() {
    if (!overrideDirectory().isEmpty()) return overrideDirectory();
    return QCoreApplication::applicationDirPath();
}

namespace ProgramDirectoryTesting {
void Override(const QString& directory) { overrideDirectory() = directory; }
}  // namespace ProgramDirectoryTesting
