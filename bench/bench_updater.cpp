// Listmender with a large channel list: the list parsed into the tree as a
// new list (state 7) and ChannelList.txt saved, against the floor of the
// same work, reading the file and splitting it into lines and fields.
// Prints both times and their ratio; each is the median of several runs.

#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "updater/frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList bodyLines(const QByteArray& bytes) {
    QString text = Cp932::decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return mdlFunction::SplitString(text, QChar(u'\n'), true, true);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    // 20 organisations x 50 groups, 100 channels each at 100 000 lines.
    QTemporaryDir dir;
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("org%1.grp%2.ch%3 , SIG_%4 , http://127.0.0.1/info/%3.txt\r\n")
                    .arg(i % 20)
                    .arg((i / 20) % 50)
                    .arg(i)
                    .arg(i % 7);
    const QString listPath = dir.path() + QStringLiteral("/list.txt");
    {
        QFile f(listPath);
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(Cp932::encode(text));
    }

    std::vector<double> baseline, parsed, saved;
    qsizetype fields = 0;
    int nodes = 0;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        const QStringList split = bodyLines(readAll(listPath));
        for (const QString& l : split) fields += mdlFunction::SplitString(l, QChar(u','), true, false).size();
        baseline.push_back(t.nsecsElapsed() / 1e6);

        QTemporaryDir programDir;
        updater::frmMain window(programDir.path());
        t.restart();
        // The list as it arrives: the answer to チャンネルリストの追加.
        window.StartAddChannelList(QStringLiteral("http://127.0.0.1:9/list.txt"));
        window.netHTTP->Cancel();
        window.ParseChannelList(bodyLines(readAll(listPath)));
        parsed.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        if (!window.SaveChannelList()) return 2;
        saved.push_back(t.nsecsElapsed() / 1e6);
        nodes = window.NodeCount();
    }

    // A list node updated with the same list twice (state 5): the second
    // update first removes the 100 000 channels of the first.
    std::vector<double> updated;
    for (int r = 0; r < runs; ++r) {
        QTemporaryDir programDir;
        updater::frmMain window(programDir.path());
        window.LoadChannelList({QString(), QStringLiteral("ChannelList\t\tbig\t\tTrue\t\thttp://127.0.0.1:9/l")});
        window.tvwChannelSelect->SetCurrentNode(window.TreeModel()->Root(0));
        QElapsedTimer t;
        t.start();
        for (int pass = 0; pass < 2; ++pass) {
            window.mnuUpdateChannelList_Click();
            window.netHTTP->Cancel();
            window.ParseChannelList(bodyLines(readAll(listPath)));
        }
        updated.push_back(t.nsecsElapsed() / 1e6);
    }

    std::vector<double> total;
    for (int r = 0; r < runs; ++r) total.push_back(parsed[r] + saved[r]);
    const double base = median(baseline);
    const double work = median(total);
    std::printf("bench_updater: %d list lines, %d tree nodes, %d runs (fields %lld)\n", lines, nodes, runs,
                static_cast<long long>(fields));
    std::printf("  baseline  read + split lines and fields : %9.1f ms\n", base);
    std::printf("  parse into the tree (state 7)          : %9.1f ms\n", median(parsed));
    std::printf("  save ChannelList.txt                    : %9.1f ms\n", median(saved));
    std::printf("  parse + save                            : %9.1f ms\n", work);
    std::printf("  ratio (parse + save) / baseline         : %9.1f\n", work / base);
    std::printf("  update one list node twice (state 5)    : %9.1f ms, ratio %.1f\n", median(updated),
                median(updated) / base);
    return 0;
}
