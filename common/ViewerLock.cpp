#include "common/ViewerLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

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

ViewerLock::ViewerLock(const QString& programDirectory) : file_(FileFor(programDirectory)) {}

ViewerLock::~ViewerLock() { Release(); }

QString ViewerLock::DefaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QDir(runtime).exists())
        return runtime + QStringLiteral("/vantora");
    return QDir::tempPath() + QStringLiteral("/vantora-") + QString::number(::getuid());
}

QString ViewerLock::FileFor(const QString& programDirectory) {
    const QFileInfo info(programDirectory);
    QString folder = info.canonicalFilePath();
    if (folder.isEmpty()) folder = QDir::cleanPath(info.absoluteFilePath());
    // A path can be longer than a file name may be: name the file by a hash.
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha256);
    return DefaultFolder() + QStringLiteral("/viewer-") + QString::fromLatin1(hash.toHex().left(32)) +
           QStringLiteral(".lock");
}

ViewerLock::Result ViewerLock::Acquire() {
    if (fd_ >= 0) return Result::Acquired;
    if (!preparePrivateFolder(QFileInfo(file_).path())) return Result::Unavailable;
    const QByteArray path = QFile::encodeName(file_);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Unavailable;
    struct flock fl = wholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EAGAIN || error == EACCES ? Result::HeldElsewhere : Result::Unavailable;
    }
    fd_ = fd;
    return Result::Acquired;
}

void ViewerLock::Release() {
    if (fd_ < 0) return;
    ::close(fd_);  // closing the last descriptor drops the lock
    fd_ = -1;
}

bool ViewerLock::IsHeld(const QString& programDirectory) {
    const QByteArray path = QFile::encodeName(FileFor(programDirectory));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;  // no viewer of this folder ever ran
    // Ask whether a lock could be placed; it is not placed.
    struct flock fl = wholeFile(F_WRLCK);
    const bool held = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}
