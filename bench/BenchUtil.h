#pragma once
// Small helpers shared by the plain-main benchmarks: wall clocks, medians,
// resident memory, a temporary program folder.

#include <QElapsedTimer>
#include <QFile>
#include <QString>

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

}  // namespace bench
