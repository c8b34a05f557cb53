// demo_load: polls the pictures of every channel of a channel list the way
// the viewer does (one transfer object per channel, the next request one
// reload period after the last answer), with the viewer's own transfer
// objects and picture check, and reports how the server kept up. Given the
// server's pid it also reports the server's CPU time over the run.
//
//   demo_load --list http://127.0.0.1:PORT/list.txt --duration 30 [--thumbnail] [--pid PID]

#include "channel/ChannelInfomation.h"
#include "channel/HTTPTransfer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// User + system CPU seconds of a process, from /proc; -1 when unknown.
double processCpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which may hold spaces: state is field 3.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

double ownCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One GET, waited for; the body as text, or empty on failure.
QString fetchText(HTTPTransfer* t, const QString& url) {
    QEventLoop loop;
    QObject::connect(t, &HTTPTransfer::StateChanged, &loop, &QEventLoop::quit);
    t->Execute(url, QStringLiteral("GET"));
    loop.exec();
    return t->GetHeader().contains(QLatin1String(" 200 ")) ? t->BodyText() : QString();
}

struct Channel {
    QString info;
    QString picture;
    int reloadMs = 0;
    qint64 dueMs = 0;
    qint64 sentMs = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addHelpOption();
    const QCommandLineOption list(QStringLiteral("list"), QStringLiteral("Channel list address."),
                                  QStringLiteral("url"));
    const QCommandLineOption duration(QStringLiteral("duration"), QStringLiteral("Seconds of polling (30)."),
                                      QStringLiteral("s"), QStringLiteral("30"));
    const QCommandLineOption thumbnail(QStringLiteral("thumbnail"), QStringLiteral("Poll thumbnails, as folders do."));
    const QCommandLineOption pid(QStringLiteral("pid"), QStringLiteral("Server process to measure."),
                                 QStringLiteral("pid"));
    p.addOptions({list, duration, thumbnail, pid});
    p.process(app);
    if (!p.isSet(list)) p.showHelp(2);

    CurlMulti curl;

    HTTPTransferArray array{curl};
    HTTPTransfer* probe = array.getNewHTTPObject(60, QString(), false);
    std::vector<Channel> channels;
    for (const QString& line : fetchText(probe, p.value(list)).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.trimmed().split(QLatin1Char(','));
        if (fields.size() >= 3) channels.push_back({fields[2].trimmed(), {}, 0, 0, 0});
    }
    if (channels.empty()) {
        std::fprintf(stderr, "demo_load: no channels in %s\n", qPrintable(p.value(list)));
        return 1;
    }
    // The information files, one after the other (as the updater reads them).
    for (Channel& c : channels) {
        ChannelInfomation i;
        if (!AnalyzeInfomationFile(fetchText(probe, c.info), i)) continue;
        c.picture = p.isSet(thumbnail) && !i.ThumbnailURL.isEmpty() ? i.ThumbnailURL : i.URL;
        c.reloadMs = qMax(1, i.ReloadTime) * 1000;
    }

    const int n = int(channels.size());
    std::vector<HTTPTransfer*> transfers;
    for (int k = 0; k < n; ++k) transfers.push_back(array.getNewHTTPObject(60, QString(), false));

    QElapsedTimer clock;
    clock.start();
    // Spread the first requests over one period, as viewers opened at
    // different moments are.
    for (int k = 0; k < n; ++k) channels[k].dueMs = channels[k].reloadMs ? qint64(k) * channels[k].reloadMs / n : -1;

    qint64 sent = 0, accepted = 0, rejected = 0, failed = 0, bytes = 0;
    std::vector<qint64> latencies;
    QObject::connect(&array, &HTTPTransferArray::StateChanged, &app, [&](int index, int state) {
        const int k = index - 2;  // element 1 is the probe
        if (k < 0 || k >= n) return;
        Channel& c = channels[k];
        const qint64 now = clock.elapsed();
        latencies.push_back(now - c.sentMs);
        HTTPTransfer* t = transfers[k];
        int reloadMs = c.reloadMs;
        if (state == HTTPTransfer::StateResponseCompleted && t->GetHeader().contains(QLatin1String(" 200 "))) {
            PictureInfomation record;
            bytes += t->Body().size();
            if (AnalyzePicture(t->Body(), record).isEmpty()) {
                ++rejected;
            } else {
                ++accepted;
                if (record.ReloadTime > 0) reloadMs = record.ReloadTime * 1000;
            }
        } else {
            ++failed;
        }
        c.dueMs = now + reloadMs;
    });

    const double serverStart = processCpuSeconds(p.value(pid).toLongLong());
    const double ownStart = ownCpuSeconds();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.elapsed();
        for (int k = 0; k < n; ++k) {
            Channel& c = channels[k];
            if (c.picture.isEmpty() || c.dueMs < 0 || c.dueMs > now || transfers[k]->StillExecuting()) continue;
            c.sentMs = now;
            c.dueMs = -1;  // until the answer
            transfers[k]->Execute(c.picture, QStringLiteral("GET"));
            ++sent;
        }
    });
    tick.start(20);
    const int seconds = qMax(1, p.value(duration).toInt());
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    const double wall = clock.elapsed() / 1000.0;
    std::sort(latencies.begin(), latencies.end());
    auto percentile = [&](double q) {
        return latencies.empty() ? 0 : latencies[std::min(latencies.size() - 1, size_t(q * latencies.size()))];
    };
    std::printf("channels %d, %.1f s: %lld requests, %lld pictures accepted, %lld rejected, %lld failed, %.1f MB\n", n,
                wall, static_cast<long long>(sent), static_cast<long long>(accepted), static_cast<long long>(rejected),
                static_cast<long long>(failed), bytes / 1e6);
    std::printf("latency ms: median %lld, p99 %lld, max %lld\n", static_cast<long long>(percentile(0.5)),
                static_cast<long long>(percentile(0.99)),
                static_cast<long long>(latencies.empty() ? 0 : latencies.back()));
    std::printf("client CPU %.2f s (%.0f %% of one core)\n", ownCpuSeconds() - ownStart,
                100 * (ownCpuSeconds() - ownStart) / wall);
    const double serverEnd = processCpuSeconds(p.value(pid).toLongLong());
    if (serverStart >= 0 && serverEnd >= 0)
        std::printf("server CPU %.2f s (%.0f %% of one core)\n", serverEnd - serverStart,
                    100 * (serverEnd - serverStart) / wall);
    return 0;
}
