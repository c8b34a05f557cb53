#pragma once
// Small helpers shared by the plain-main benchmarks: wall clocks, medians,
// resident memory, a temporary program folder.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

// Milliseconds of one call.
inline double timeMs(const std::function<void()>& f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// Runs the event loop until pred() holds or the time is up. Unlike
// QTest::qWaitFor it never sleeps between events, so a chain of quick
// network round trips is not padded by 10 ms per wake-up.
inline bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    QTimer wake;  // bounds each blocking wait so the deadline is seen
    wake.start(50);
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Resident set size of this process in MiB.
inline double rssMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

inline void row(const char* what, double value, const char* unit, double baseline = 0, const char* target = "") {
    if (baseline > 0)
        std::printf("%-48s %10.2f %-4s  baseline %9.2f  ratio %6.2f  %s\n", what, value, unit, baseline,
                    value / baseline, target);
    else
        std::printf("%-48s %10.2f %-4s  %s\n", what, value, unit, target);
}

// The ID of channel n of list `list` in the benchmarks' channel lists.
inline QString channelId(int list, int n) {
    return QStringLiteral("jp.group%1.list%2.ch%3").arg(list % 10).arg(list).arg(n);
}

// ChannelList.txt records of `lists` lists of `perList` channels each,
// under ten groups (list l in group l % 10).
inline QStringList groupedChannelLines(int lists, int perList) {
    QStringList lines;
    for (int g = 0; g < 10; ++g) {
        lines << QStringLiteral("Node\tグループ%1\tTrue").arg(g);
        for (int l = g; l < lists; l += 10) {
            lines << QStringLiteral("\tChannelList\t\tリスト%1\t\tFalse\t\thttp://lists.example/%1.txt").arg(l);
            for (int n = 0; n < perList; ++n)
                lines << QStringLiteral(
                             "\t\tChannel\t\tVNT1\t\t%1\t\t放送局 %2-%3\t\thttp://h%2.example/ch%3/info.txt\t\tFalse")
                             .arg(channelId(l, n))
                             .arg(l)
                             .arg(n);
        }
    }
    return lines;
}

}  // namespace bench
