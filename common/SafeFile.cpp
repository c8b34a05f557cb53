#include "common/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

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

// Temporary file and rename without fsync: atomic against a crash of the
// program, cheap enough for a picture every second per channel.
bool writeRenamed(const QString& path, const QByteArray& data, QString* error) {
    QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
    if (!temp.open()) {
        if (error) *error = temp.errorString();
        return false;
    }
    if (writeFault() && writeFault()(path)) {
        temp.write(data.constData(), data.size() / 2);
        if (error) *error = QStringLiteral("simulated write failure");
        return false;  // the temporary file removes itself
    }
    if (temp.write(data) != data.size() || !temp.flush()) {
        if (error) *error = temp.errorString();
        return false;
    }
    const QByteArray from = QFile::encodeName(temp.fileName());
    const QByteArray to = QFile::encodeName(path);
    if (::rename(from.constData(), to.constData()) != 0) {
        if (error) *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    temp.setAutoRemove(false);
    return true;
}

}  // namespace

bool WriteFileAtomically(const QString& path, const QByteArray& data, bool durable, QString* error) {
    if (!durable) return writeRenamed(path, data, error);
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
        const QByteArray hash =
            QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        QString head = out;
        while (head.toUtf8().size() > kMaxBytes - 17) head.chop(1);
        out = head + QLatin1Char('~') + QString::fromLatin1(hash);
    }
    return out;
}
