#include "common/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
std::function<bool(const QString&)>& writeFault() {
    static std::function<bool(const QString&)> fault;
    return fault;
}
}  // namespace

namespace SafeFileTesting {
void SetWriteFault(std::function<bool(const QString& path)> fault) { writeFault() = std::move(fault); }
}  // namespace SafeFileTesting

namespace {

// Cache pictures, one every second per channel, without fsync. The new data
// is written in place into a spare file kept beside the target, and the two
// are swapped by one renameat2(RENAME_EXCHANGE): a reader finds the old file
// or the new one, never part of one, and no inode is made or freed per write.
// (A temporary file per write made inode allocation the largest cost of a
// picture on ext4 without a journal, which scans recently freed inodes; a
// rename over the old file also makes ext4 write the new data back at once.)
QString spareFor(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return path.left(slash + 1) + QLatin1Char('.') + path.mid(slash + 1) + QStringLiteral(".spare");
}

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= n;
    }
    return ::ftruncate(fd, off_t(data.size())) == 0;
}

bool writeSwapped(const QString& path, const QByteArray& data, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QByteArray spare = QFile::encodeName(spareFor(path));
    const QByteArray target = QFile::encodeName(path);
    // The exchange would move whatever stands at path: only ever a file.
    struct stat st {};
    if (::lstat(target.constData(), &st) == 0 && !S_ISREG(st.st_mode)) return fail(QStringLiteral("not a file"));
    const int fd = ::open(spare.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return fail(QString::fromLocal8Bit(strerror(errno)));
    if (writeFault() && writeFault()(path)) {
        [[maybe_unused]] const ssize_t n = ::write(fd, data.constData(), size_t(data.size() / 2));
        ::close(fd);
        return fail(QStringLiteral("simulated write failure"));
    }
    const bool written = writeAll(fd, data);
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) return fail(QString::fromLocal8Bit(strerror(written ? errno : writeErrno)));
    if (::renameat2(AT_FDCWD, spare.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) return true;
    // No old file yet, or a file system without the exchange: a plain
    // rename is just as whole for a reader (the spare is made again next time).
    if (::rename(spare.constData(), target.constData()) != 0) return fail(QString::fromLocal8Bit(strerror(errno)));
    return true;
}

}  // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& data, bool durable, QString* error) {
    if (!durable) return writeSwapped(path, data, error);
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error) *error = file.errorString();
        return false;
    }
    if (writeFault() && writeFault()(path)) {
        file.write(data.constData(), data.size() / 2);
        file.cancelWriting();
        if (error) *error = QStringLiteral("simulated write failure");
        return false;
    }
    // QSaveFile keeps up to 16 KiB in its buffer and flushes it inside
    // commit(), where a failure (disk full, file size limit) is not seen and
    // the short file replaces the old one. Flush and sync here, where a
    // failure can still cancel. A short write leaves no error text of Qt's
    // own: errno says why.
    errno = 0;
    if (file.write(data) != data.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        const int cause = errno;
        if (error) *error = cause != 0 ? QString::fromLocal8Bit(strerror(cause)) : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

QString SafeFileName(const QString& name) {
    if (name == QLatin1String(".")) return QStringLiteral("_");
    if (name == QLatin1String("..")) return QStringLiteral("__");
    QString out = name;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || u == u'/' || u == u'\\') c = QLatin1Char('_');
    }
    // A name the file system cannot hold (NAME_MAX bytes, with room for
    // "_thumbnail.jpg") is shortened and kept unique by a hash.
    constexpr qsizetype kMaxBytes = 200;
    if (out.toUtf8().size() > kMaxBytes) {
        const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        QString head = out;
        while (head.toUtf8().size() > kMaxBytes - 17) head.chop(1);
        out = head + QLatin1Char('~') + QString::fromLatin1(hash);
    }
    return out;
}
