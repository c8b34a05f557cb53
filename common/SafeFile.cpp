#include "common/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>
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
    return true;
}

// A call the file system does not have (ftruncate to the same size on a
// FAT mount through FUSE answers EPERM).
bool unsupported(int error) {
    return error == EPERM || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTTY;
}

QString errorText(int error) { return QString::fromLocal8Bit(strerror(error)); }

// The spare holds the new data and nothing after it. Overwritten in place,
// it is cut to length; where the file system cannot cut, it is made anew.
bool fillSpare(const QString& path, const QByteArray& spare, const QByteArray& data, QString* why) {
    int fd = ::open(spare.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return *why = errorText(errno), false;
    struct stat st {};
    const bool longer = ::fstat(fd, &st) == 0 && st.st_size > data.size();
    if (writeFault() && writeFault()(path)) {
        [[maybe_unused]] const ssize_t n = ::write(fd, data.constData(), size_t(data.size() / 2));
        ::close(fd);
        return *why = QStringLiteral("simulated write failure"), false;
    }
    bool written = writeAll(fd, data);
    int error = errno;
    if (written && longer && ::ftruncate(fd, off_t(data.size())) != 0) {
        error = errno;
        written = false;
        if (unsupported(error)) {
            ::close(fd);
            ::unlink(spare.constData());
            fd = ::open(spare.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd < 0) return *why = errorText(errno), false;
            written = writeAll(fd, data);
            error = errno;
        }
    }
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) *why = errorText(error);
    return written;
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
    QString why;
    if (!fillSpare(path, spare, data, &why)) {
        // Part of a picture is worth nothing, and on a full disk the space
        // is better free.
        ::unlink(spare.constData());
        return fail(why);
    }
    if (::renameat2(AT_FDCWD, spare.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) return true;
    // No old file yet, or a file system without the exchange: a plain
    // rename is just as whole for a reader (the spare is made again next time).
    if (::rename(spare.constData(), target.constData()) != 0) {
        const int cause = errno;
        ::unlink(spare.constData());
        return fail(errorText(cause));
    }
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

bool WriteNewFile(const QString& path, const QByteArray& data, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QByteArray temporary =
        QFile::encodeName(path.left(slash + 1) + QLatin1Char('.') + path.mid(slash + 1) + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return fail(errorText(errno));
    bool written = false;
    int cause = 0;
    if (writeFault() && writeFault()(path)) {
        [[maybe_unused]] const ssize_t n = ::write(fd, data.constData(), size_t(data.size() / 2));
        ::close(fd);
    } else {
        written = writeAll(fd, data);
        cause = errno;
        if (::close(fd) != 0 && written) {
            written = false;
            cause = errno;
        }
        // mkstemp makes the file private; a picture is as readable as any other file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (written) ::chmod(temporary.constData(), 0666 & ~mask);
        if (written && ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0) {
            written = false;
            cause = errno;
        }
    }
    if (written) return true;
    ::unlink(temporary.constData());
    return fail(cause != 0 ? errorText(cause) : QStringLiteral("simulated write failure"));
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

namespace {

// Characters FAT and SMB refuse in a name.
bool refusedSomewhere(QChar c) {
    switch (c.unicode()) {
        case u':':
        case u'?':
        case u'*':
        case u'<':
        case u'>':
        case u'"':
        case u'|':
            return true;
        default:
            return false;
    }
}

// A UTF-16 unit that is half of a pair without its other half: a byte that
// did not decode, which the file system would get as U+FFFD.
bool loneSurrogate(const QString& s, qsizetype i) {
    const QChar c = s[i];
    if (c.isHighSurrogate()) return i + 1 >= s.size() || !s[i + 1].isLowSurrogate();
    if (c.isLowSurrogate()) return i == 0 || !s[i - 1].isHighSurrogate();
    return false;
}

bool portable(const QString& safeName, const QString& suffix) {
    for (qsizetype i = 0; i < safeName.size(); ++i)
        if (refusedSomewhere(safeName[i]) || loneSurrogate(safeName, i)) return false;
    const QString whole = safeName + suffix;
    return !whole.endsWith(QLatin1Char('.')) && !whole.endsWith(QLatin1Char(' '));
}

// Whether directory holds an entry of exactly this name. Asking for the name
// itself would not do: a FAT mount finds "a." under the name "a".
bool hasEntry(const QString& directory, const QString& name) {
    const QByteArray wanted = QFile::encodeName(name);
    DIR* dir = ::opendir(QFile::encodeName(directory).constData());
    if (!dir) return false;
    bool found = false;
    while (const dirent* entry = ::readdir(dir))
        if (wanted == entry->d_name) {
            found = true;
            break;
        }
    ::closedir(dir);
    return found;
}

}  // namespace

QString PortableFileName(const QString& name) {
    QString out = SafeFileName(name);
    for (qsizetype i = 0; i < out.size(); ++i)
        if (refusedSomewhere(out[i]) || loneSurrogate(out, i)) out[i] = QLatin1Char('_');
    // The hash is over the UTF-16 units, so names that differ only in bytes
    // that did not decode stay apart.
    const QByteArray units(reinterpret_cast<const char*>(name.utf16()), name.size() * qsizetype(sizeof(char16_t)));
    const QByteArray hash = QCryptographicHash::hash(units, QCryptographicHash::Sha1).toHex().left(12);
    constexpr qsizetype kMaxBytes = 200 - 13;
    while (out.toUtf8().size() > kMaxBytes) out.chop(1);
    return out + QLatin1Char('~') + QString::fromLatin1(hash);
}

QString FileNameIn(const QString& directory, const QString& name, const QString& suffix) {
    const QString safe = SafeFileName(name);
    if (portable(safe, suffix)) return safe + suffix;
    bool decodes = true;
    for (qsizetype i = 0; i < safe.size(); ++i) decodes = decodes && !loneSurrogate(safe, i);
    if (decodes && hasEntry(directory, safe + suffix)) return safe + suffix;
    return PortableFileName(name) + suffix;
}
