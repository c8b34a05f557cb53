// The viewer's INI and lists (the updater's ChannelList.txt), written over
// and over with a generation mark: after SIGKILL, a file-size limit or a full
// disk each file is one whole generation, and every old one is reported.
#include "Rows.h"
#include "TempProgramDir.h"
#include "common/Cp932.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#include <functional>
#include <map>

namespace {

const QStringList kViewerFiles = {"Vantomon.ini", "ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"};

QByteArray mark(long generation) { return QByteArray("gen") + QByteArray::number(generation).rightJustified(6, '0'); }

// Lists big enough that a write takes a while, the mark in every file.
QStringList writeLists(const TempProgramDir& dir, int channels, bool updater) {
    QString list = QStringLiteral("Node\t%1\tTrue\r\n\tChannelList\t\t局\t\tTrue\t\thttp://lists.example/a.txt\r\n")
                       .arg(QString::fromLatin1(mark(0)));
    QString favorites = QStringLiteral("FavariteRoot\t\t%1\t\tTrue\r\n").arg(QString::fromLatin1(mark(0)));
    QString folders = QStringLiteral(
                          "MultiMonitorRoot\t\t%1\t\tTrue\r\n\tMultiMonitorFolder\t\t空\t\tFalse\r\n"
                          "\tMultiMonitorFolder\t\t監視\t\tTrue\r\n")
                          .arg(QString::fromLatin1(mark(0)));
    for (int i = 0; i < channels; ++i) {
        const QString id = QStringLiteral("jp.example.ch%1").arg(i, 5, 10, QLatin1Char('0'));
        list += QStringLiteral("\t\tChannel\t\tVTR1\t\t%1\t\t番組 %2\t\thttp://127.0.0.1:9/%1/info.txt\t\t%3\r\n")
                    .arg(id)
                    .arg(i)
                    .arg(i % 3 == 0 ? "True" : "False");
        if (i % 10 == 0) favorites += QStringLiteral("\tFavariteChannel\t\t%1\r\n").arg(id);
        if (i % 20 == 0) folders += QStringLiteral("\t\tMultiMonitorChannel\t\t%1\r\n").arg(id);
    }
    dir.write("ChannelList.txt", Cp932::encode(list));
    if (updater) return {"ChannelList.txt"};
    dir.write("Favorite.txt", Cp932::encode(favorites));
    dir.write("MultiMonitor.txt", Cp932::encode(folders));
    dir.write("Vantomon.ini", "[General]\r\nProxy=" + mark(0) + "\r\n");
    return kViewerFiles;
}

struct WriterRun {
    QString out;     // standard output: "ready", "saving N", "saved N"
    QByteArray err;  // the reports ("保存エラー: ...")
};

// Runs crash_writer and kills it killAfterReadyMs after "ready" (-1: lets it
// end); childSetup runs in the child, wrapper makes it another user.
WriterRun runWriter(const QString& dir, bool updater, const QStringList& extra, int killAfterReadyMs,
                    const std::function<void()>& childSetup = {}, const QStringList& wrapper = {}) {
    QProcess writer;
    if (childSetup) writer.setChildProcessModifier(childSetup);
    const QStringList command = wrapper + QStringList{QStringLiteral(CRASH_WRITER), dir} + extra +
                                (updater ? QStringList{"--updater"} : QStringList{});
    writer.start(command.first(), command.mid(1));
    EXPECT_TRUE(writer.waitForStarted(10000));
    QByteArray out;
    while (!out.contains("ready") && writer.state() == QProcess::Running) {
        writer.waitForReadyRead(100);
        out += writer.readAllStandardOutput();
    }
    if (killAfterReadyMs >= 0) {
        QThread::msleep(ulong(killAfterReadyMs));
        writer.kill();  // SIGKILL
    }
    EXPECT_TRUE(writer.state() == QProcess::NotRunning || writer.waitForFinished(30000));
    out += writer.readAllStandardOutput();
    return {QString::fromLatin1(out), writer.readAllStandardError()};
}

std::map<QString, QByteArray> writeFirstGeneration(const TempProgramDir& dir, const QStringList& files, bool updater) {
    const WriterRun first = runWriter(dir.path(), updater, {"1"}, -1);
    EXPECT_TRUE(first.out.contains("saved 1") && !first.err.contains("保存エラー")) << first.err.constData();
    std::map<QString, QByteArray> written;
    for (const QString& f : files) {
        written[f] = dir.read(f);
        EXPECT_TRUE(written[f].contains(mark(1)) && !written[f].contains(mark(0))) << qPrintable(f);
    }
    return written;
}

// The generation of a file that is its first generation, whole, with another mark; else -1.
long generationOf(const QByteArray& bytes, const QByteArray& first) {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("gen(\\d{6})")).match(QString::fromLatin1(bytes));
    const long g = m.hasMatch() ? m.captured(1).toLong() : -1;
    return bytes == QByteArray(first).replace(mark(1), mark(g)) ? g : -1;
}

class KillTest : public ::testing::TestWithParam<bool> {};

TEST_P(KillTest, EveryFileStaysWholeOldOrNew) {
    const int rounds = 20;
    TempProgramDir dir;
    const QStringList files = writeLists(dir, 1500, GetParam());
    std::map<QString, QByteArray> templ = writeFirstGeneration(dir, files, GetParam());
    ASSERT_FALSE(HasFailure());
    ASSERT_GT(templ["ChannelList.txt"].size(), 100000);
    std::map<QString, long> lastSeen;
    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE(seed);
    QRandomGenerator rng(seed);
    int interrupted = 0;
    for (int round = 0; round < rounds; ++round) {
        const WriterRun run = runWriter(dir.path(), GetParam(), {}, int(rng.bounded(20, 400)));
        EXPECT_FALSE(run.err.contains("保存エラー")) << run.err.constData();
        const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        const QString last = lines.last();
        interrupted += last.startsWith("saving");
        const long highest = last.startsWith("sav") ? last.section(' ', 1).toLong() : 0;  // being written when killed
        for (const QString& f : files) {
            const long g = generationOf(dir.read(f), templ[f]);
            ASSERT_GE(g, std::max(lastSeen[f], 1L)) << qPrintable(f) << " round " << round;  // whole, never older
            EXPECT_TRUE(highest == 0 || g <= highest) << qPrintable(f);
            lastSeen[f] = g;
        }
    }
    EXPECT_GE(interrupted, rounds / 2);  // most kills must land inside a write, or this proves nothing
    // A kill just before the rename leaves a rare name.XXXXXX the programs never read.
    const QStringList stray = dir.allFiles().filter(QRegularExpression(QStringLiteral("^(?!chach/)")));
    for (const QString& f : stray)
        EXPECT_TRUE(files.contains(f) || (files.contains(f.left(f.size() - 7)) && f[f.size() - 7] == '.'))
            << qPrintable(f);
    EXPECT_LE(stray.size() - files.size(), rounds / 5);
}

INSTANTIATE_TEST_SUITE_P(, KillTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Updater" : "Viewer"; });

// Generation 2 on a disk that refuses part of it; returns the files left old.
QStringList writeOnAFullDisk(const TempProgramDir& dir, const QStringList& files, bool updater,
                             const std::map<QString, QByteArray>& first, const std::function<void()>& childSetup) {
    const WriterRun run = runWriter(dir.path(), updater, {"1"}, -1, childSetup);
    EXPECT_TRUE(run.out.contains("saved 2")) << qPrintable(run.out);
    QStringList old;
    for (const QString& f : files) {
        const long g = generationOf(dir.read(f), first.at(f));
        EXPECT_TRUE(g == 1 || g == 2) << qPrintable(f) << ": neither generation 1 nor 2";
        if (g != 1) continue;
        old << f;
        EXPECT_TRUE(run.err.contains("保存エラー") && run.err.contains(f.toUtf8())) << run.err.constData();
    }
    EXPECT_TRUE(!old.isEmpty() || !run.err.contains("保存エラー")) << run.err.constData();
    return old;
}

// A file-size limit one byte below a file's size: small files fail at the
// final flush, large ones on the way; exactly the longer files stay old.
struct LimitRow {
    const char* name;
    bool updater;
    int channels;
    const char* target;
};
class FileSizeLimitTest : public ::testing::TestWithParam<LimitRow> {};

TEST_P(FileSizeLimitTest, KeepsEveryFileOldOrNewAndReportsTheOldOnes) {
    const LimitRow& row = GetParam();
    TempProgramDir dir;
    const QStringList files = writeLists(dir, row.channels, row.updater);
    const std::map<QString, QByteArray> first = writeFirstGeneration(dir, files, row.updater);
    const rlim_t limit = rlim_t(first.at(row.target).size() - 1);
    ASSERT_EQ(first.at(row.target).size() > 16384, row.channels > 1000);
    const QStringList old = writeOnAFullDisk(dir, files, row.updater, first, [limit] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit l{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &l);
    });
    QStringList longer;
    for (const QString& f : files)
        if (rlim_t(first.at(f).size()) > limit) longer << f;
    EXPECT_EQ(old, longer);
}

// clang-format off
const LimitRow kLimits[] = {
    {"ini", false, 40, "Vantomon.ini"}, {"channel_list_over_16_KiB", false, 1500, "ChannelList.txt"},
    {"updater_under_16_KiB", true, 40, "ChannelList.txt"}, {"updater_over_16_KiB", true, 1500, "ChannelList.txt"}};
// clang-format on
VANTORA_ROWS(FileSizeLimitTest, kLimits);

// A real full disk (root only): a tmpfs with one free page left; the channel list needs three.
TEST(CrashSafeFiles, AFullTmpfsKeepsTheChannelListAndSaysSo) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    TempProgramDir dir;
    const QByteArray where = dir.path().toLocal8Bit();
    if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { ::umount2(path.constData(), MNT_DETACH); }
    } unmount{where};
    const QStringList files = writeLists(dir, 100, false);
    const std::map<QString, QByteArray> first = writeFirstGeneration(dir, files, false);
    ASSERT_GT(first.at("ChannelList.txt").size(), 2 * 4096);
    const QByteArray filler = dir.file("filler").toLocal8Bit();
    const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    const QByteArray page(4096, 'x');
    off_t size = 0;
    while (::write(fd, page.constData(), size_t(page.size())) == page.size()) size += page.size();
    ASSERT_EQ(::ftruncate(fd, size - page.size()), 0);
    ::close(fd);
    EXPECT_TRUE(writeOnAFullDisk(dir, files, false, first, {}).contains("ChannelList.txt"));
}

// ChannelList.txt missing, a directory, or unreadable: the favourites and
// folders come back whole at every exit; an unread list is left and reported.
enum class Unread { Missing, Directory, Unreadable };
struct UnreadRow {
    const char* name;
    Unread kind;
};
class UnreadListTest : public ::testing::TestWithParam<UnreadRow> {};

TEST_P(UnreadListTest, KeepsTheOtherListsWhole) {
    const Unread kind = GetParam().kind;
    QStringList asUser;  // as root, the unreadable file is tried by another user
    if (kind == Unread::Unreadable && ::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (setpriv.isEmpty()) GTEST_SKIP() << "no other user to be";
        asUser = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    TempProgramDir dir;
    writeLists(dir, 40, false);
    const QByteArray list = dir.read("ChannelList.txt"), favorites = dir.read("Favorite.txt"),
                     folders = dir.read("MultiMonitor.txt");
    QFile::remove(dir.file("Vantomon.ini"));
    if (kind != Unread::Unreadable) QFile::remove(dir.file("ChannelList.txt"));
    if (kind == Unread::Directory) QDir().mkpath(dir.file("ChannelList.txt"));
    if (kind == Unread::Unreadable) {
        QFile::setPermissions(dir.file("ChannelList.txt"), QFileDevice::Permissions());
        QFile::setPermissions(dir.path(), QFileDevice::Permissions(0x7777));
    }
    for (int start = 0; start < 2; ++start) {
        const WriterRun run = runWriter(dir.path(), false, {"0"}, -1, {}, asUser);
        EXPECT_EQ(dir.read("Favorite.txt"), favorites);
        EXPECT_EQ(dir.read("MultiMonitor.txt"), folders);
        EXPECT_TRUE(dir.exists("Vantomon.ini"));  // the exit did write
        EXPECT_EQ(run.err.contains("保存エラー") && run.err.contains("ChannelList.txt"), kind != Unread::Missing)
            << run.err.constData();
    }
    EXPECT_EQ(QFileInfo(dir.file("ChannelList.txt")).isDir(), kind == Unread::Directory);
    EXPECT_EQ(dir.read("ChannelList.txt"), kind == Unread::Unreadable ? list : QByteArray());
}

const UnreadRow kUnread[] = {
    {"missing", Unread::Missing}, {"directory", Unread::Directory}, {"unreadable", Unread::Unreadable}};
VANTORA_ROWS(UnreadListTest, kUnread);

}  // namespace
