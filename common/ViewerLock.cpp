#include "common/ViewerLock.h"

#include "common/ProgramDirectory.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

struct flock wholeFile(short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    fl.l_pid = 0;  // required to be 0 for open-file description locks
    return fl;
}

// Never follows a link planted at the path, never waits on a FIFO.
constexpr int kOpenFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;

bool heldOn(int fd) {
    // Asks whether a lock could be placed; it is not placed.
    struct flock fl = wholeFile(F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
}

bool sameFile(int fd, const QByteArray& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::lstat(path.constData(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

}  // namespace

ViewerLock::ViewerLock(const QString& dataDirectory) : file_(FileFor(dataDirectory)) {}

ViewerLock::~ViewerLock() { Release(); }

QString ViewerLock::FileFor(const QString& dataDirectory) { return dataDirectory + QStringLiteral("/.Vantomon.lock"); }

ViewerLock::Result ViewerLock::Acquire() {
    if (fd_ >= 0) return Result::Acquired;
    error_.clear();
    const QByteArray path = QFile::encodeName(file_);
    // A viewer that ends removes the file it locked; one that opened the
    // file just before that holds a name nobody else will find, and tries again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | kOpenFlags, 0666);
        if (fd < 0) {
            const int cause = errno;
            // Another user's viewer may hold a file this one may only read.
            const int reader = ::open(path.constData(), O_RDONLY | kOpenFlags);
            const bool held = reader >= 0 && heldOn(reader);
            if (reader >= 0) ::close(reader);
            if (held) return Result::HeldElsewhere;
            error_ = JapaneseErrorText(cause);
            return Result::Unavailable;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            error_ = JapaneseErrorText(EINVAL);
            return Result::Unavailable;
        }
        struct flock fl = wholeFile(F_WRLCK);
        if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
            const int cause = errno;
            ::close(fd);
            if (cause == EAGAIN || cause == EACCES) return Result::HeldElsewhere;
            error_ = JapaneseErrorText(cause);
            return Result::Unavailable;
        }
        if (sameFile(fd, path)) {
            fd_ = fd;
            return Result::Acquired;
        }
        ::close(fd);
    }
    error_ = JapaneseErrorText(EAGAIN);
    return Result::Unavailable;
}

void ViewerLock::Release() {
    if (fd_ < 0) return;
    // Removed while still held, so no viewer can take the old file after it.
    const QByteArray path = QFile::encodeName(file_);
    if (sameFile(fd_, path)) ::unlink(path.constData());
    ::close(fd_);  // closing the last descriptor drops the lock
    fd_ = -1;
}

bool ViewerLock::IsHeld(const QString& dataDirectory) {
    const QByteArray path = QFile::encodeName(FileFor(dataDirectory));
    const int fd = ::open(path.constData(), O_RDONLY | kOpenFlags);
    if (fd < 0) return false;  // no viewer of this folder runs
    const bool held = heldOn(fd);
    ::close(fd);
    return held;
}
