// Polling at scale: the demo publisher (a separate process) serves 500
// channels with a one-second reload; the viewer (offscreen) shows them all
// in open folder tabs and runs on its real one-second tick. Measured:
//  - how many due requests reach the server within one tick of the tick
//    that made them due, and the tick-to-arrival lateness;
//  - the viewer's CPU time per picture, beside a bare QImage decode of the
//    same bytes in the same run;
//  - how many connections the viewer opened per 1 000 requests (kept-alive
//    connections are reused across ticks and channels);
// each with the watch's display off (no badges, health view closed) and on
// (badges on every box, the health view open on every channel), in turns,
// with the two compared.

#include "BenchUtil.h"

#include "channel/HTTPTransfer.h"
#include "channel/PictureDecode.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "storage/TreeListFormat.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"
#include "watch/HealthView.h"

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <sys/resource.h>

#include <chrono>
#include <map>

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

qint64 steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QByteArray get(const QString& url) {
    CurlMulti curl;
    HTTPTransfer t(1, &curl);
    QEventLoop loop;
    QObject::connect(&t, &HTTPTransfer::StateChanged, &loop, &QEventLoop::quit);
    t.Execute(url);
    loop.exec();
    return t.Body();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int channels = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 500;
    const int seconds = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 20;
    // A third argument puts the cache elsewhere (e.g. on tmpfs), to tell the
    // file system's share from ours.
    const QString cacheDir = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const int perFolder = 20;
    QTemporaryDir dir;
    const QString log = dir.path() + "/requests.log";

    // The publisher: pre-rendered frames, so it stays cheap beside us.
    QProcess publisher;
    publisher.setProgram(QStringLiteral(VANTORA_BUILD_DIR "/tools/demo_publisher/demo_publisher"));
    publisher.setArguments({"--port", "0", "--channels", QString::number(channels), "--reload", "1", "--status-cycle",
                            "0", "--prerender", "4", "--keep-alive", "5", "--request-log", log});
    publisher.start();
    if (!publisher.waitForReadyRead(120000)) return 1;
    const int port = publisher.readLine().trimmed().toInt();
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);

    // The viewer's folder: every channel, in folders of twenty.
    const QStringList list =
        Cp932::decode(get(base + "/list.txt")).split(QRegularExpression("[\r\n]+"), Qt::SkipEmptyParts);
    QStringList channelLines{"Node\tdemo\tTrue", "\tChannelList\t\tdemo\t\tTrue\t\t" + base + "/list.txt"};
    QStringList folderLines{"MultiMonitorRoot\t\tマルチモニター\t\tTrue"};
    QStringList ids;
    for (const QString& line : list) {
        const QStringList f = line.split(',');
        if (f.size() < 3) continue;
        ids << f[0].trimmed();
        channelLines << QStringLiteral("\t\tChannel\t\t%1\t\t%2\t\t%2\t\t%3\t\tFalse")
                            .arg(f[1].trimmed(), f[0].trimmed(), f[2].trimmed());
    }
    for (int i = 0; i < ids.size(); ++i) {
        if (i % perFolder == 0) folderLines << QStringLiteral("\tMultiMonitorFolder\t\tF%1\t\tTrue").arg(i / perFolder);
        folderLines << "\t\tMultiMonitorChannel\t\t" + ids[i];
    }
    WriteTreeListFile(dir.path() + "/ChannelList.txt", channelLines, TextEncoding::Cp932);
    WriteTreeListFile(dir.path() + "/MultiMonitor.txt", folderLines, TextEncoding::Cp932);
    if (!cacheDir.isEmpty()) {
        QFile ini(dir.path() + "/Vantomon.ini");
        if (!ini.open(QIODevice::WriteOnly)) return 1;
        ini.write("[General]\r\nChachDirctory=" + QFile::encodeName(cacheDir) + "\r\n");
    }

    frmMain window(dir.path(), std::make_unique<frmSetting>());
    window.show();
    window.LoadSetting();
    clsChannelManeger* manager = window.ChannelManeger();
    const int n = manager->ChannelCount();
    for (int f = 1; f <= (n + perFolder - 1) / perFolder; ++f) window.OpenMultiMonitorTab(QString::number(f));

    // Our own tick, so each tick can be sampled just before and after the
    // window's handlers run: the channels' tick and the watch's.
    window.tmrCauseOneSecEvent()->stop();
    std::vector<bool> busy(size_t(n) + 1, false);
    // What one setting of the watch's display was measured at, over its turns.
    struct Phase {
        const char* name;
        bool watching;  // badges on the boxes and the health view open
        std::vector<double> tickMs;
        std::map<QString, std::vector<qint64>> dueAt;  // path -> ticks that issued a request for it
        std::vector<std::pair<qint64, qint64>> spans;  // measured stretches of time
        qint64 pictures = 0, requests = 0, connections = 0;
        double cpu = 0;
    };
    Phase phases[2] = {{"off", false, {}, {}, {}, 0, 0, 0, 0}, {"on", true, {}, {}, {}, 0, 0, 0, 0}};
    Phase* measuring = nullptr;
    QObject::connect(window.netChannelHTTP(), &HTTPTransferArray::StateChanged, &window, [&](int index, int state) {
        HTTPTransfer* t = window.netChannelHTTP()->Element(index);
        if (!measuring) return;
        ++measuring->requests;
        if (state == 12 && t->GetHeader("Content-Type").contains("image")) ++measuring->pictures;
    });
    const CurlMulti& curl = window.netChannelHTTP()->Multi();
    QTimer tick;
    tick.setInterval(1000);
    QObject::connect(&tick, &QTimer::timeout, &window, [&] {
        for (int i = 1; i <= n; ++i) busy[size_t(i)] = manager->ChannelAt(i)->HTTP()->StillExecuting();
        const qint64 at = steadyNs();
        window.tmrCauseOneSecEvent_Timer();
        window.WatchTick();
        if (!measuring) return;
        measuring->tickMs.push_back(double(steadyNs() - at) / 1e6);
        for (int i = 1; i <= n; ++i) {
            HTTPTransfer* t = manager->ChannelAt(i)->HTTP();
            if (!busy[size_t(i)] && t->StillExecuting()) measuring->dueAt[QUrl(t->LastAddress()).path()].push_back(at);
        }
    });
    tick.start();
    auto setWatching = [&](bool on) {
        window.Watch().StatusOverlay = on;
        window.ApplyWatchSettings();
        if (on) {
            window.mnuChannelHealth_Click();
        } else if (window.ChannelHealthView()) {
            window.ChannelHealthView()->hide();
        }
    };

    // Warm up (first information files, first pictures), then measure both
    // settings in turns, so that a drifting machine weighs on both alike.
    QEventLoop wait;
    QTimer::singleShot(5000, &wait, &QEventLoop::quit);
    wait.exec();
    const int turns = 2;
    for (int turn = 0; turn < turns; ++turn) {
        for (Phase& phase : phases) {
            setWatching(phase.watching);
            QTimer::singleShot(1500, &wait, &QEventLoop::quit);  // the switch settles
            wait.exec();
            measuring = &phase;
            const qint64 connections0 = curl.ConnectionsOpened();
            const double cpu0 = cpuSeconds();
            const qint64 start = steadyNs();
            QTimer::singleShot(seconds * 1000 / turns, &wait, &QEventLoop::quit);
            wait.exec();
            measuring = nullptr;
            phase.cpu += cpuSeconds() - cpu0;
            phase.spans.emplace_back(start, steadyNs());
            phase.connections += curl.ConnectionsOpened() - connections0;
        }
    }
    tick.stop();

    // The baseline: decoding the very bytes the viewer got, in this process.
    const QByteArray jpeg = get(manager->ChannelAt(1)->Infomation().ThumbnailURL);
    // The viewer's own decoder is shown beside it: the target is set against
    // QImage's decode, so a faster decoder counts as the viewer's gain.
    double decodeCpu = 0, ownDecodeCpu = 0;
    const int decodes = 400;
    if (!jpeg.isEmpty()) {
        double c0 = cpuSeconds();
        for (int i = 0; i < decodes; ++i) QImage::fromData(jpeg, "JPG");
        decodeCpu = (cpuSeconds() - c0) / decodes;
        c0 = cpuSeconds();
        for (int i = 0; i < decodes; ++i) DecodePicture(jpeg);
        ownDecodeCpu = (cpuSeconds() - c0) / decodes;
    }

    publisher.terminate();
    publisher.waitForFinished(20000);
    // The publisher writes its request log as it stops.
    // Match every due tick with the first arrival of its path after it.
    std::map<std::string, std::vector<qint64>> arrivals;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly)) std::fprintf(stderr, "no request log from the publisher\n");
    for (const QByteArray& line : file.readAll().split('\n')) {
        const int space = line.indexOf(' ');
        if (space > 0) arrivals[line.mid(space + 1).toStdString()].push_back(line.left(space).toLongLong());
    }
    std::printf(
        "polling: %d channels, reload 1 s, all in open folder tabs, %d s measured per setting of the watch's "
        "display (in %d turns each), cache in %s\n",
        n, seconds, turns, qPrintable(cacheDir.isEmpty() ? QStringLiteral("the program folder") : cacheDir));
    std::printf("off: no badges, health view closed; on: badges on every box, health view open on all %d channels\n",
                n);
    double perPicture[2] = {0, 0}, tickMedian[2] = {0, 0};
    for (int p = 0; p < 2; ++p) {
        Phase& phase = phases[p];
        std::vector<double> lateness;
        int due = 0, inTime = 0;
        for (const auto& [path, ticks] : phase.dueAt) {
            const std::vector<qint64>& seen = arrivals[path.toStdString()];
            for (qint64 t : ticks) {
                // Too close to the end of its stretch to judge.
                bool judged = false;
                for (const auto& [from, to] : phase.spans) judged = judged || (t >= from && t <= to - 2'000'000'000LL);
                if (!judged) continue;
                ++due;
                const auto it = std::lower_bound(seen.begin(), seen.end(), t);
                const double ms = it == seen.end() ? 1e9 : double(*it - t) / 1e6;
                lateness.push_back(ms);
                if (ms <= 1000) ++inTime;
            }
        }
        std::sort(lateness.begin(), lateness.end());
        auto pct = [&](double q) { return lateness.empty() ? 0 : lateness[size_t(q * double(lateness.size() - 1))]; };
        double measuredS = 0;
        for (const auto& [from, to] : phase.spans) measuredS += double(to - from) / 1e9;
        perPicture[p] = phase.pictures ? phase.cpu / double(phase.pictures) * 1000 : 0;
        tickMedian[p] = bench::median(phase.tickMs);

        std::printf("-- watch display %s\n", phase.name);
        bench::row("due requests that reached the server within 1 tick", due ? 100.0 * inTime / due : 0, "%", 0,
                   "target >= 99 %");
        bench::row("  due requests judged", due, "");
        bench::row("tick-to-arrival lateness p50", pct(0.5), "ms");
        bench::row("tick-to-arrival lateness p99", pct(0.99), "ms", 0, "target <= 100 ms");
        bench::row("one tick (the window's handlers), median", tickMedian[p], "ms");
        bench::row("pictures handled per second", double(phase.pictures) / measuredS, "/s");
        bench::row("viewer CPU per picture (all of it)", perPicture[p], "ms", decodeCpu * 1000, "target <= 2x");
        bench::row("connections opened per 1 000 requests",
                   phase.requests ? 1000.0 * double(phase.connections) / double(phase.requests) : 0, "");
        bench::row("  requests completed", double(phase.requests), "");
    }
    std::printf("-- on against off, this run\n");
    bench::row("one tick's handlers, median", tickMedian[1], "ms", tickMedian[0], "target <= 1.3x");
    bench::row("viewer CPU per picture", perPicture[1], "ms", perPicture[0], "target <= 1.1x");
    bench::row("bare QImage decode of the same bytes", decodeCpu * 1000, "ms");
    bench::row("the viewer's decoder on the same bytes", ownDecodeCpu * 1000, "ms");
    return 0;
}
