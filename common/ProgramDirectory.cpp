#include "common/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// $XDG_DATA_HOME when it is an absolute path (a relative one is invalid and
// ignored), else ~/.local/share.
QString userDataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/share");
}
}  // namespace

QString ProgramFileDirectory() { return QCoreApplication::applicationDirPath(); }

QString DataDirectoryFor(const QString& programFileDirectory) {
    // The kernel's own answer for this user: permission bits, ACLs and a
    // read-only mount all count.
    if (::access(QFile::encodeName(programFileDirectory).constData(), W_OK) == 0) return programFileDirectory;
    const QString data = userDataHome() + QStringLiteral("/vantora");
    // Private to the user, as the base directory rules ask. A folder that
    // cannot be made shows up later as a failed save, which the user is told.
    QDir().mkpath(userDataHome());
    ::mkdir(QFile::encodeName(data).constData(), 0700);
    return data;
}

QString ProgramDirectory() {
    static const QString directory = DataDirectoryFor(ProgramFileDirectory());
    return directory;
}
