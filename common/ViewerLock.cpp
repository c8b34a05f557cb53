#include "common/ViewerLock.h"

#include <QDir>

#include <cerrno>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString& overrideFolder() {
    static QString folder;
    return folder;
}

// Creates the folder private to this user, or accepts an existing one only
// when this user owns it and nobody else may write into it (a folder under
// /tmp could have been planted by someone else).
bool preparePrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        if (!QDir().mkpath(folder)) return false;
    }
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

struct flock wholeFile(short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    fl.l_pid = 0;  // required to be 0 for open-file description locks
    return fl;
}

}  // namespace

ViewerLock::ViewerLock(const QString& folder) : folder_(folder.isEmpty() ? DefaultFolder() : folder) {}

ViewerLock::~ViewerLock() { Release(); }

QString ViewerLock::DefaultFolder() {
    if (!overrideFolder().isEmpty()) return overrideFolder();
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + QStringLiteral("/vantora");
    return QDir::tempPath() + QStringLiteral("/vantora-") + QString::number(::getuid());
}

QString ViewerLock::FileIn(const QString& folder) { return folder + QStringLiteral("/viewer.lock"); }

bool ViewerLock::Acquire() {
    if (fd_ >= 0) return true;
    if (!preparePrivateFolder(folder_)) return false;
    const QByteArray path = QFile::encodeName(FileIn(folder_));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    // A shared lock: a second viewer may hold it too. Waiting (F_OFD_SETLKW)
    // only ever waits for an exclusive holder, which nothing here takes.
    struct flock fl = wholeFile(F_RDLCK);
    if (::fcntl(fd, F_OFD_SETLKW, &fl) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void ViewerLock::Release() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the last descriptor drops the lock
    fd_ = -1;
}

bool ViewerLock::IsHeld(const QString& folder) {
    const QString dir = folder.isEmpty() ? DefaultFolder() : folder;
    const QByteArray path = QFile::encodeName(FileIn(dir));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;  // no viewer ever ran here
    // Ask whether an exclusive lock could be placed; it is not placed.
    struct flock fl = wholeFile(F_WRLCK);
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

namespace ViewerLockTesting {
void OverrideFolder(const QString& folder) { overrideFolder() = folder; }
}  // namespace ViewerLockTesting
