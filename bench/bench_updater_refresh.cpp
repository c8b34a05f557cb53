// Listmender's チャンネル情報を更新する over 1 000 channels of the demo
// publisher (a separate process), one request at a time as the updater
// must, beside the bare floor of the same work in the same run: the same
// 1 000 information files fetched one after another with the same transfer
// object and decoded, without any tree.

#include "BenchUtil.h"

#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"
#include "updater/frmMain.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const int channels = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 1000;

    QProcess publisher;
    publisher.setProgram(QStringLiteral(VANTORA_BUILD_DIR "/tools/demo_publisher/demo_publisher"));
    publisher.setArguments({"--port", "0", "--channels", QString::number(channels), "--prerender", "1", "--size",
                            "32x24", "--thumbnail-size", "16x16"});
    publisher.start();
    if (!publisher.waitForReadyRead(60000)) return 1;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(publisher.readLine().trimmed().toInt());

    QTemporaryDir dir;
    updater::frmMain w(dir.path());
    w.ViewerRunning = [] { return false; };
    w.InputBox = [&](QWidget*, const QString&, const QString&) { return base + "/list.txt"; };
    if (!w.Form_Load()) return 1;
    w.mnuAddChannelList_Click();
    if (!bench::waitUntil([&] { return w.UpdateState() == updater::UpdaterState::Idle; }, 60000)) return 1;

    // The list nodes (one per city group) and their channels' addresses.
    QList<TreeNode*> lists;
    QStringList addresses;
    w.TreeModel()->Walk([&](TreeNode* n) {
        const updater::NodeTag tag = updater::frmMain::Tag(n);
        if (tag.Kind == updater::NodeKind::ChannelList) lists << n;
        if (tag.Kind == updater::NodeKind::Channel) addresses << tag.InfoAddress();
        return true;
    });

    const int runs = 3;
    std::vector<double> refresh, floor, chained;
    for (int r = 0; r < runs; ++r) {
        refresh.push_back(bench::timeMs([&] {
            for (TreeNode* list : lists) {
                w.tvwChannelSelect->SetCurrentNode(list);
                w.mnuUpdateChannel_Click();
                if (!bench::waitUntil([&] { return w.UpdateState() == updater::UpdaterState::Idle; }, 120000))
                    std::abort();
            }
        }));
        CurlMulti curl;
        HTTPTransfer t(1, &curl);
        floor.push_back(bench::timeMs([&] {
            for (const QString& a : addresses) {
                QSignalSpy done(&t, &HTTPTransfer::StateChanged);
                t.Execute(a, "GET");
                done.wait(10000);
                if (t.BodyText().isEmpty()) std::abort();
            }
        }));
        // The same, each request started from the previous one's completion
        // handler, as the updater does.
        chained.push_back(bench::timeMs([&] {
            int next = 0;
            QObject::connect(&t, &HTTPTransfer::StateChanged, &t, [&] {
                if (++next < addresses.size()) t.Execute(addresses[next], "GET");
            });
            t.Execute(addresses[0], "GET");
            if (!bench::waitUntil([&] { return next >= addresses.size(); }, 120000)) std::abort();
            t.disconnect();
        }));
    }
    publisher.terminate();
    publisher.waitForFinished(20000);

    const double ms = bench::median(refresh);
    std::printf("updater: チャンネル情報を更新する over %lld channels in %lld lists (median of %d)\n",
                static_cast<long long>(addresses.size()), static_cast<long long>(lists.size()), runs);
    bench::row("refresh, all lists", ms, "ms", bench::median(floor));
    bench::row("  baseline: the same fetches, one at a time, no tree", bench::median(floor), "ms");
    bench::row("  the same, chained from the completion handler", bench::median(chained), "ms");
    bench::row("channels per second", double(addresses.size()) / (ms / 1000), "/s", 0, "target >= 200 /s");
    return 0;
}
