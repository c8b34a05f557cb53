#include "common/ProgramDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace {

// $HOME when it is an absolute path, else the home the user database names
// (a session started without HOME would otherwise write under "/").
QString homeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home)) return QDir::cleanPath(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/')
        return QDir::cleanPath(QFile::decodeName(pw->pw_dir));
    return QString();
}

// $XDG_DATA_HOME when it is an absolute path (a relative one is invalid and
// ignored), else ~/.local/share.
QString userDataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
    const QString home = homeFolder();
    return home.isEmpty() ? QString() : home + QStringLiteral("/.local/share");
}

}  // namespace

QString ProgramFileDirectory() { return QCoreApplication::applicationDirPath(); }

QString DataDirectoryFor(const QString& programFileDirectory) {
    // A portable folder: not an installed package's, and the kernel lets
    // this user write it (permission bits, ACLs and a read-only mount all
    // count).
    const bool installed = QFileInfo::exists(programFileDirectory + QLatin1Char('/') + InstalledPackageMarker());
    if (!installed && ::access(QFile::encodeName(programFileDirectory).constData(), W_OK) == 0)
        return programFileDirectory;
    const QString base = userDataHome();
    if (base.isEmpty()) return QStringLiteral("~/.local/share/vantora");  // said at start: it cannot be made
    const QString data = base + QStringLiteral("/vantora");
    // Private to the user, as the base directory rules ask. A folder that
    // cannot be made is said at start (DataDirectoryProblem).
    QDir().mkpath(base);
    ::mkdir(QFile::encodeName(data).constData(), 0700);
    return data;
}

QString ProgramDirectory() {
    static const QString directory = DataDirectoryFor(ProgramFileDirectory());
    return directory;
}

QString JapaneseErrorText(int error) {
    switch (error) {
        case ENOENT:
            return QStringLiteral("ありません");
        case EACCES:
        case EPERM:
            return QStringLiteral("権限がありません");
        case EROFS:
            return QStringLiteral("読み取り専用です");
        case ENOTDIR:
            return QStringLiteral("フォルダーではありません");
        case ELOOP:
            return QStringLiteral("シンボリックリンクです");
        case EISDIR:
            return QStringLiteral("フォルダーです");
        case EINVAL:
            return QStringLiteral("普通のファイルではありません");
        case ENOSPC:
            return QStringLiteral("ディスクに空きがありません");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("開かれたファイルが多すぎます");
        default:
            return QStringLiteral("エラー %1").arg(error);
    }
}

QString DataDirectoryProblem(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    QString why;
    if (!QDir::isAbsolutePath(folder))
        why = QStringLiteral("ホームフォルダーが分かりません");
    else if (::stat(path.constData(), &st) != 0)
        why = JapaneseErrorText(errno);
    else if (!S_ISDIR(st.st_mode))
        why = JapaneseErrorText(ENOTDIR);
    else if (::access(path.constData(), W_OK | X_OK) != 0)
        why = JapaneseErrorText(errno);
    if (why.isEmpty()) return QString();
    return QStringLiteral("データフォルダー %1 を使えません（%2）。\n設定とリストは保存できません。").arg(folder, why);
}
