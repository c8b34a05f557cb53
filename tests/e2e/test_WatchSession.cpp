// The condition on the real viewer's boxes under Xvfb: a member that starts
// answering 404 shows why in its cell, and a publisher that stops (SIGSTOP:
// connections are taken, nothing is answered) leaves every tile stale
// within its time, until it goes on again. Screenshots stay in
// build/test-artifacts/.

#include <gtest/gtest.h>

#include "ViewerSession.h"
#include "common/mdlFunction.h"
#include "navigation/NodeTag.h"
#include "view/ShowAreaWidget.h"
#include "view/ThumbnailGrid.h"

#include <QElapsedTimer>
#include <QLabel>

#include <csignal>
#include <functional>

namespace {

int count(const QImage& shot, const QRect& area, const std::function<bool(QColor)>& test) {
    int n = 0;
    const QRect r = area.intersected(shot.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += test(shot.pixelColor(x, y));
    return n;
}
std::function<bool(QColor)> near(QColor colour, int tolerance) {
    return [=](QColor c) {
        return qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance &&
               qAbs(c.blue() - colour.blue()) <= tolerance;
    };
}
bool light(QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; }

const QColor kRed(210, 30, 30);
const QColor kGreen(30, 200, 60);
const QColor kPlaceholder(48, 48, 54);
const QColor kAmber(232, 172, 30);

// The boxes of a folder of n members whose pictures (w x h) are smaller
// than their cells, on the screen.
QList<QRect> boxesOnScreen(const ViewerSession& s, frmMain& twin, int n, QSize picture) {
    const QRect area = twin.cntShowBox()->geometry().translated(twin.ClientArea()->mapTo(&twin, QPoint()));
    const ThumbnailGrid grid = ChooseThumbnailGrid(n, area.width(), area.height());
    QList<QRect> boxes;
    for (int i = 1; i <= n; ++i) boxes << QRect(s.windowRect.topLeft() + area.topLeft() + grid.CellOrigin(i), picture);
    return boxes;
}

TEST(WatchSession, AMemberThatStartsAnswering404ShowsWhyInItsCell) {
    ChannelPublisher pub;
    ViewerSession s;
    ASSERT_TRUE(s.x.Ok()) << "Xvfb did not start";
    pub.add({"demo.red", QStringLiteral("赤の局"), "1", 0, 2, kRed, {160, 120}, {120, 90}, {}});
    pub.add({"demo.green", QStringLiteral("緑の局"), "2", 0, 2, kGreen, {160, 120}, {120, 90}, {}});
    s.dir.write("ChannelList.txt", ListFileBytes({"Node\tデモ\tTrue", "\tChannelList\t\t一覧\t\tTrue\t\thttp://lists/",
                                                  pub.record("demo.red", 2), pub.record("demo.green", 2)}));
    s.dir.write("MultiMonitor.txt",
                ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
                               "\t\tMultiMonitorChannel\t\tdemo.red", "\t\tMultiMonitorChannel\t\tdemo.green"}));
    s.dir.write("Favorite.txt", ListFileBytes({"FavariteRoot\t\tお気に入り\t\tTrue"}));
    std::unique_ptr<frmMain> twin = s.twin();
    const QPoint folderNode = s.nodeOnScreen(
        *twin, ViewerSession::nodeWithTag(*twin, MakeTag(NodeKind::MultiMonitorFolder, QStringLiteral("1"))));
    const QLabel* counts = twin->sbrMainMessage();
    const QPoint countsAt = counts->mapTo(twin.get(), counts->rect().center());
    ASSERT_TRUE(s.start());
    const QList<QRect> boxes = boxesOnScreen(s, *twin, 2, {120, 90});
    const QRect red = boxes[0], green = boxes[1];

    s.x.Click(folderNode);
    QImage shot;
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        shot = s.x.Screenshot();
        return count(shot, red, near(kRed, 40)) > 4000 && count(shot, green, near(kGreen, 40)) > 4000 &&
               count(shot, green.adjusted(0, 70, -60, 0), light) > 10;  // the age badge's words
    })) << "both members live, with their age";
    ViewerSession::keepArtifact(shot.copy(s.windowRect), "watch-live.png");

    pub.setMissing("demo.green", true);
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        shot = s.x.Screenshot();
        return count(shot, green, near(kGreen, 40)) < 200;
    })) << "the failing member's cell kept its picture as if nothing happened";
    ViewerSession::keepArtifact(shot.copy(s.windowRect), "watch-failing-placeholder.png");
    // Not blank: the placeholder over the old picture, and words in it.
    EXPECT_GT(count(shot, green, near(kPlaceholder, 30)), 120 * 90 / 2);
    EXPECT_GT(count(shot, green, light), 60);
    EXPECT_GT(count(shot, red, near(kRed, 40)), 4000) << "the other member is untouched";

    // The status bar's counts open the health view.
    s.x.Click(s.windowRect.topLeft() + countsAt);
    const quint32 health = s.x.WaitForWindow(QStringLiteral("^チャンネルの状態$"));
    ASSERT_NE(health, 0u) << "the health view did not open";
    QTest::qWait(1500);  // one tick fills it
    ViewerSession::keepArtifact(s.x.Screenshot(health), "watch-health-view.png");
    ASSERT_TRUE(s.close());
}

// Stops and resumes a process; resumes it for good when the test ends early.
class Paused {
public:
    explicit Paused(qint64 pid) : pid_(pid) { ::kill(pid_t(pid_), SIGSTOP); }
    ~Paused() { resume(); }
    void resume() {
        if (pid_) ::kill(pid_t(pid_), SIGCONT);
        pid_ = 0;
    }

private:
    qint64 pid_;
};

TEST(WatchSession, APublisherThatStopsLeavesEveryTileStaleAndTheyComeBackLive) {
    ViewerSession s;
    ASSERT_TRUE(s.x.Ok()) << "Xvfb did not start";
    QProcess publisher;
    publisher.setProgram(QStringLiteral(VANTORA_BUILD_DIR "/tools/demo_publisher/demo_publisher"));
    publisher.setArguments(
        {"--port", "0", "--channels", "4", "--reload", "2", "--status-cycle", "0", "--prepare", s.dir.path()});
    publisher.start();
    ASSERT_TRUE(publisher.waitForReadyRead(30000)) << "the demo publisher did not start";
    // A window the offscreen twin's screen holds too, so both lay out alike.
    for (const auto& [key, pixels] : {std::pair{"Width", 760}, {"Height", 560}})
        mdlFunction::SetIniTo(s.dir.file("Vantomon.ini"), "MainWindow", key, pixels * 15);
    std::unique_ptr<frmMain> twin = s.twin();
    const QPoint folderNode = s.nodeOnScreen(
        *twin, ViewerSession::nodeWithTag(*twin, MakeTag(NodeKind::MultiMonitorFolder, QStringLiteral("1"))));
    ASSERT_TRUE(s.start());
    const QList<QRect> boxes = boxesOnScreen(s, *twin, 4, {160, 120});
    s.x.Click(folderNode);
    auto everyBox = [&](const std::function<bool(const QImage&, const QRect&)>& test) {
        const QImage shot = s.x.Screenshot();
        for (const QRect& box : boxes)
            if (!test(shot, box)) return false;
        return true;
    };
    auto stale = [](const QImage& shot, const QRect& box) { return count(shot, box, near(kAmber, 12)) > 100; };
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        return everyBox([&](const QImage& shot, const QRect& box) {
            return count(shot, box, light) > 10 && !stale(shot, box);  // a picture and its age
        });
    })) << "the demo tiles did not come up live";
    ViewerSession::keepArtifact(s.x.Screenshot(s.window), "watch-demo-live.png");

    QElapsedTimer stopped;
    stopped.start();
    Paused pause(publisher.processId());
    // max(3 x 2 s, 30 s) after the last new picture, which came at most one
    // reload before the stop; a few seconds more for the tick and the shot.
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return everyBox(stale); }, 45000))
        << "not every tile went stale; after " << stopped.elapsed() << " ms";
    EXPECT_GE(stopped.elapsed(), 28000) << "stale before its time";
    ViewerSession::keepArtifact(s.x.Screenshot(s.window), "watch-demo-stale.png");

    pause.resume();
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        return everyBox([&](const QImage& shot, const QRect& box) { return !stale(shot, box); });
    })) << "the tiles did not come back live";
    ViewerSession::keepArtifact(s.x.Screenshot(s.window), "watch-demo-live-again.png");
    ASSERT_TRUE(s.close());
    publisher.terminate();
    publisher.waitForFinished(10000);
}

}  // namespace
