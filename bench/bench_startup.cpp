// The viewer's start-up (LoadSetting) and exit (SaveSetting) with 100 000
// channels in 1 000 lists, 1 000 favourites and 100 folders of 20 members,
// beside just reading and splitting the same three files, in one run.

#include "BenchUtil.h"

#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int kLists = 1000;
constexpr int kPerList = 100;
constexpr int kFavorites = 1000;
constexpr int kFolders = 100;
constexpr int kMembers = 20;

QString id(int list, int n) { return QStringLiteral("jp.group%1.list%2.ch%3").arg(list % 10).arg(list).arg(n); }

void writeFiles(const QString& dir) {
    QStringList channels;
    for (int g = 0; g < 10; ++g) {
        channels << QStringLiteral("Node\tグループ%1\tTrue").arg(g);
        for (int l = g; l < kLists; l += 10) {
            channels << QStringLiteral("\tChannelList\t\tリスト%1\t\tFalse\t\thttp://lists.example/%1.txt").arg(l);
            for (int n = 0; n < kPerList; ++n)
                channels
                    << QStringLiteral(
                           "\t\tChannel\t\tVNT1\t\t%1\t\t放送局 %2-%3\t\thttp://h%2.example/ch%3/info.txt\t\tFalse")
                           .arg(id(l, n))
                           .arg(l)
                           .arg(n);
        }
    }
    QStringList favorites{QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue")};
    for (int i = 0; i < kFavorites; ++i)
        favorites << QStringLiteral("\tFavariteChannel\t\t%1").arg(id(i, i % kPerList));
    QStringList folders{QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tTrue")};
    for (int f = 0; f < kFolders; ++f) {
        folders << QStringLiteral("\tMultiMonitorFolder\t\tフォルダー%1\t\tFalse").arg(f);
        for (int m = 0; m < kMembers; ++m)
            folders << QStringLiteral("\t\tMultiMonitorChannel\t\t%1").arg(id(f * 7 + m, m));
    }
    WriteTreeListFile(dir + "/ChannelList.txt", channels, TextEncoding::Cp932);
    WriteTreeListFile(dir + "/Favorite.txt", favorites, TextEncoding::Cp932);
    WriteTreeListFile(dir + "/MultiMonitor.txt", folders, TextEncoding::Cp932);
}

// What any reader must do at least: read, decode and split every line.
size_t readAndSplit(const QString& dir) {
    size_t pieces = 0;
    for (const char* name : {"/ChannelList.txt", "/Favorite.txt", "/MultiMonitor.txt"}) {
        const QStringList lines = mdlFunction::ReadLines(dir + QLatin1String(name), true);
        for (qsizetype i = 1; i < lines.size(); ++i) pieces += size_t(ParseTreeListLine(lines[i]).Pieces.size());
    }
    return pieces;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    writeFiles(dir.path());
    const int runs = 5;

    std::vector<double> baseline, startup, exits, rss;
    const double rssBefore = bench::rssMiB();
    for (int r = 0; r < runs; ++r) {
        size_t sink = 0;
        baseline.push_back(bench::timeMs([&] { sink = readAndSplit(dir.path()); }));
        if (sink == 0) return 1;

        // Each start from the files the previous exit wrote.
        QTemporaryDir run;
        for (const char* name : {"/ChannelList.txt", "/Favorite.txt", "/MultiMonitor.txt"})
            QFile::copy(dir.path() + QLatin1String(name), run.path() + QLatin1String(name));
        std::unique_ptr<frmMain> window;
        startup.push_back(bench::timeMs([&] {
            window = std::make_unique<frmMain>(run.path(), std::make_unique<frmSetting>());
            window->show();
            window->LoadSetting();
        }));
        rss.push_back(bench::rssMiB());
        exits.push_back(bench::timeMs([&] { window->close(); }));
        window.reset();
    }
    std::printf("viewer start-up and exit, %d channels, %d favourites, %d folders x %d members (median of %d)\n",
                kLists * kPerList, kFavorites, kFolders, kMembers, runs);
    const double base = bench::median(baseline);
    bench::row("read + split the three files", base, "ms");
    bench::row("start-up (window + LoadSetting)", bench::median(startup), "ms", base, "target <= 1000 ms, <= 10x");
    bench::row("exit (SaveSetting: INI + three files)", bench::median(exits), "ms", 0, "target <= 500 ms");
    // The first start's figure: later runs reuse memory the allocator kept.
    bench::row("resident memory after start-up", rss.front(), "MiB", 0, "target <= 400 MiB");
    bench::row("  of which before the first start", rssBefore, "MiB");
    return 0;
}
