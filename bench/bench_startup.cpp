// The viewer's start-up (LoadSetting) and exit (SaveSetting) with 100 000
// channels in 1 000 lists, 1 000 favourites and 100 folders of 20 members,
// beside just reading and splitting the same three files, in one run. The
// channel side is also measured alone (the channel list's records made into
// channels, no window), so its share of time and memory shows apart from the
// tree's.

#include "BenchUtil.h"

#include "channel/CurlMulti.h"
#include "channel/HTTPTransfer.h"
#include "channel/PictureElement.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <malloc.h>
#include <time.h>

#include <functional>
#include <memory>

namespace {

constexpr int kLists = 1000;
constexpr int kPerList = 100;
constexpr int kFavorites = 1000;
constexpr int kFolders = 100;
constexpr int kMembers = 20;

void writeFiles(const QString& dir) {
    QStringList channels = bench::groupedChannelLines(kLists, kPerList);
    QStringList favorites{QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue")};
    for (int i = 0; i < kFavorites; ++i)
        favorites << QStringLiteral("\tFavariteChannel\t\t%1").arg(bench::channelId(i, i % kPerList));
    QStringList folders{QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tTrue")};
    for (int f = 0; f < kFolders; ++f) {
        folders << QStringLiteral("\tMultiMonitorFolder\t\tフォルダー%1\t\tFalse").arg(f);
        for (int m = 0; m < kMembers; ++m)
            folders << QStringLiteral("\t\tMultiMonitorChannel\t\t%1").arg(bench::channelId(f * 7 + m, m));
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

// CPU time of this thread over one call: on a machine shared with other
// work it moves less than the wall clock.
double cpuMs(const std::function<void()>& f) {
    auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    };
    const double start = now();
    f();
    return now() - start;
}

// Bytes the program holds on the heap.
double heapMiB() { return double(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// The channel list's Channel records made into channels as the loader makes
// them (show boxes and transfer objects reserved), without a window or tree.
struct ChannelsAlone {
    double ms = 0, heap = 0;
    int channels = 0;
};
ChannelsAlone channelsAlone(const QString& dir) {
    ChannelsAlone out;
    const double before = heapMiB();
    ProgramSettings settings;
    CurlMulti curl;
    HTTPTransferArray http(curl);
    PictureElementArray pictures;
    clsChannelManeger manager(settings, http);
    out.ms = bench::timeMs([&] {
        const TreeListFile file = ReadTreeListFile(dir + QStringLiteral("/ChannelList.txt"));
        manager.MakeRoomFor(int(file.Lines.size()));
        int spare = pictures.Reserve();
        for (qsizetype i = 1; i < file.Lines.size(); ++i) {
            const TreeListLine line = ParseTreeListLine(file.Lines[i]);
            if (line.RecordType() != QLatin1String("Channel")) continue;
            if (manager.ChannelInitialize(ShowBoxElement(pictures, spare), line.Pieces)) spare = pictures.Reserve();
        }
        pictures.UnloadLast();
    });
    malloc_trim(0);
    out.heap = heapMiB() - before;
    out.channels = manager.ChannelCount();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    writeFiles(dir.path());
    const int runs = 5;

    std::vector<double> baseline, startup, exits, exitCpu, teardown, rss, heap, channelTime, channelHeap;
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
        const double heapBefore = heapMiB();
        startup.push_back(bench::timeMs([&] {
            window = std::make_unique<frmMain>(run.path(), std::make_unique<frmSetting>());
            window->show();
            window->LoadSetting();
        }));
        rss.push_back(bench::rssMiB());
        heap.push_back(heapMiB() - heapBefore);
        exitCpu.push_back(cpuMs([&] { exits.push_back(bench::timeMs([&] { window->close(); })); }));
        teardown.push_back(bench::timeMs([&] { window.reset(); }));
    }
    // After the windows, so their first start's memory is not the allocator's leftovers.
    for (int r = 0; r < runs; ++r) {
        const ChannelsAlone alone = channelsAlone(dir.path());
        if (alone.channels != kLists * kPerList) return 1;
        channelTime.push_back(alone.ms);
        channelHeap.push_back(alone.heap);
    }
    std::printf("viewer start-up and exit, %d channels, %d favourites, %d folders x %d members (median of %d)\n",
                kLists * kPerList, kFavorites, kFolders, kMembers, runs);
    const double base = bench::median(baseline);
    bench::row("read + split the three files", base, "ms");
    bench::row("start-up (window + LoadSetting)", bench::median(startup), "ms", base, "target <= 2.5x");
    bench::row("  channels alone (read, split, make them)", bench::median(channelTime), "ms", base);
    bench::row("exit (SaveSetting: INI + three files)", bench::median(exits), "ms", 0, "target <= 150 ms");
    bench::row("  its CPU time (the files' syncs not counted)", bench::median(exitCpu), "ms");
    bench::row("  then the window and channels freed", bench::median(teardown), "ms");
    // The first start's figure: later runs reuse memory the allocator kept.
    bench::row("resident memory after start-up", rss.front(), "MiB", 0, "target <= 160 MiB");
    bench::row("  of which before the first start", rssBefore, "MiB");
    bench::row("heap held after start-up", heap.front(), "MiB");
    bench::row("  by the channels alone", bench::median(channelHeap), "MiB");
    return 0;
}
