// Kills a viewer (or the updater) with SIGKILL at random moments while it
// writes its INI and its three list files (or ChannelList.txt) over and
// over, each time with a new generation mark. After every kill each file
// must be exactly the complete file of one generation, never older than the
// one found before: old or new, never a mix, never cut, never empty.
#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/Cp932.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

#include <map>

namespace {

const QStringList kFiles = {"Vantomon.ini", "ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"};

QString mark(long generation) { return QStringLiteral("gen%1").arg(generation, 6, 10, QLatin1Char('0')); }

// A program folder with a list big enough that a write takes a while.
void writeLists(const TempProgramDir& dir, int channels) {
    QString list =
        QStringLiteral("Node\t%1\tTrue\r\n\tChannelList\t\t局\t\tTrue\t\thttp://lists.example/a.txt\r\n").arg(mark(0));
    QString favorites = QStringLiteral("FavariteRoot\t\t%1\t\tTrue\r\n").arg(mark(0));
    QString folders =
        QStringLiteral("MultiMonitorRoot\t\t%1\t\tTrue\r\n\tMultiMonitorFolder\t\t監視\t\tTrue\r\n").arg(mark(0));
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
    dir.write("Favorite.txt", Cp932::encode(favorites));
    dir.write("MultiMonitor.txt", Cp932::encode(folders));
    dir.write("Vantomon.ini", "[General]\r\nProxy=" + mark(0).toLatin1() + "\r\n");
}

// Runs the writer; returns its standard output once it has ended.
QString runWriter(const QString& dir, const QStringList& extra, int killAfterReadyMs) {
    QProcess writer;
    writer.setProcessChannelMode(QProcess::SeparateChannels);
    writer.start(QStringLiteral(CRASH_WRITER), QStringList{dir} + extra);
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
    EXPECT_TRUE(writer.waitForFinished(30000));
    out += writer.readAllStandardOutput();
    const QByteArray err = writer.readAllStandardError();
    EXPECT_FALSE(err.contains("保存エラー")) << err.constData();
    return QString::fromLatin1(out);
}

// Writes generation 1 once without a kill, then kills the writer
// `rounds` times at random moments and checks every file after each kill.
void killRepeatedly(const TempProgramDir& dir, const QStringList& files, const QStringList& mode, int rounds) {
    // One complete write gives the files of generation 1; every generation
    // is the same bytes with its own mark.
    const QString firstRun = runWriter(dir.path(), mode + QStringList{"1"}, -1);
    ASSERT_TRUE(firstRun.contains("saved 1")) << qPrintable(firstRun);
    std::map<QString, QByteArray> templ;
    for (const QString& f : files) {
        templ[f] = dir.read(f);
        ASSERT_TRUE(templ[f].contains(mark(1).toLatin1())) << qPrintable(f);
        ASSERT_FALSE(templ[f].contains(mark(0).toLatin1())) << qPrintable(f);
    }
    ASSERT_GT(templ["ChannelList.txt"].size(), 100000);

    std::map<QString, long> lastSeen;
    for (const QString& f : files) lastSeen[f] = 1;
    const quint32 seed = QRandomGenerator::global()->generate();
    SCOPED_TRACE(seed);
    QRandomGenerator rng(seed);
    const QRegularExpression markRe(QStringLiteral("gen(\\d{6})"));
    int interrupted = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString out = runWriter(dir.path(), mode, int(rng.bounded(20, 400)));
        const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        if (lines.last().startsWith("saving")) ++interrupted;
        long highest = 0;  // the generation being written when killed
        if (lines.last().startsWith("sav")) highest = lines.last().section(' ', 1).toLong();
        for (const QString& f : files) {
            SCOPED_TRACE(qPrintable(QStringLiteral("round %1, %2").arg(round).arg(f)));
            const QByteArray bytes = dir.read(f);
            const QRegularExpressionMatch m = markRe.match(QString::fromLatin1(bytes));
            ASSERT_TRUE(m.hasMatch()) << "no generation mark in " << bytes.size() << " bytes";
            const long g = m.captured(1).toLong();
            QByteArray expected = templ[f];
            expected.replace(mark(1).toLatin1(), mark(g).toLatin1());
            ASSERT_EQ(bytes.size(), expected.size());
            ASSERT_TRUE(bytes == expected);
            EXPECT_GE(g, lastSeen[f]);  // never an older file
            if (highest > 0) {
                EXPECT_LE(g, highest);
            }
            lastSeen[f] = g;
        }
    }
    // Most kills must land inside a write, or the test proves nothing.
    EXPECT_GE(interrupted, rounds / 2);
    std::printf("%d of %d kills landed inside a write; generation reached %ld\n", interrupted, rounds,
                lastSeen["ChannelList.txt"]);
    // A kill in the instant between naming the finished temporary file and
    // renaming it leaves that file behind (name.XXXXXX). It is never one of
    // the files the programs read, and it is rare.
    QStringList escaped;
    for (const QString& f : files) escaped << QRegularExpression::escape(f);
    const QRegularExpression temporary(QStringLiteral("^(%1)\\.[A-Za-z0-9]{6}$").arg(escaped.join('|')));
    int stray = 0;
    for (const QString& f : dir.allFiles()) {
        if (files.contains(f) || f.startsWith("chach/")) continue;
        EXPECT_TRUE(temporary.match(f).hasMatch()) << qPrintable(f);
        ++stray;
    }
    EXPECT_LE(stray, rounds / 5);
    std::printf("%d temporary files left by kills\n", stray);
}

TEST(CrashSafeFiles, AKilledViewerLeavesEveryFileWholeOldOrNew) {
    TempProgramDir dir;
    writeLists(dir, 1500);
    killRepeatedly(dir, kFiles, {}, 25);
}

TEST(CrashSafeFiles, AKilledUpdaterLeavesChannelListWholeOldOrNew) {
    TempProgramDir dir;
    QString list =
        QStringLiteral("Node\t%1\tTrue\r\n\tChannelList\t\t局\t\tTrue\t\thttp://lists.example/a.txt\r\n").arg(mark(0));
    for (int i = 0; i < 1500; ++i)
        list += QStringLiteral(
                    "\t\tChannel\t\tVTR1\t\tjp.example.ch%1\t\t番組 %1\t\thttp://127.0.0.1:9/%1.txt\t\tFalse\r\n")
                    .arg(i, 5, 10, QLatin1Char('0'));
    dir.write("ChannelList.txt", Cp932::encode(list));
    killRepeatedly(dir, {"ChannelList.txt"}, {"--updater"}, 25);
}

}  // namespace
