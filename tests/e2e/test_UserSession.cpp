#include <gtest/gtest.h>

#include "ViewerSession.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/mdlFunction.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"
#include "view/WindowVocabulary.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QToolBar>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace {

const QColor kRed(210, 30, 30);
const QColor kGreen(30, 200, 60);

class UserSession : public ::testing::Test {
protected:
    ChannelPublisher pub;
    ViewerSession s;

    void SetUp() override {
        ASSERT_TRUE(s.x.Ok()) << "Xvfb did not start";
        pub.add({"demo.red", QStringLiteral("赤の局"), "1", 0, 2, kRed, {160, 120}, {120, 90}, {}});
        pub.add({"demo.green", QStringLiteral("緑の局"), "2", 0, 2, kGreen, {160, 120}, {120, 90}, {}});
        s.dir.write("ChannelList.txt",
                    ListFileBytes({"Node\tデモ\tTrue", "\tChannelList\t\t一覧\t\tTrue\t\thttp://lists/",
                                   pub.record("demo.red", 2), pub.record("demo.green", 2)}));
        s.dir.write("MultiMonitor.txt", ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue"}));
        s.dir.write("Favorite.txt", ListFileBytes({"FavariteRoot\t\tお気に入り\t\tTrue"}));
    }
};

TEST_F(UserSession, ClickingAChannelShowsItsPictureAndClosingWritesTheFiles) {
    std::unique_ptr<frmMain> model = s.twin();
    const QPoint red =
        s.nodeOnScreen(*model, ViewerSession::nodeWithTag(*model, MakeTag(NodeKind::Channel, "demo.red")));
    const QRect area = model->cntShowBox()->geometry().translated(model->ClientArea()->mapTo(model.get(), QPoint()));
    ASSERT_TRUE(s.start());

    s.x.Click(red);
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return pub.count("/demo.red/full.jpg") >= 1; }))
        << "the viewer did not request the picture";
    EXPECT_GE(pub.count("/demo.red/info.txt"), 1);
    EXPECT_EQ(pub.count("/demo.green/info.txt"), 0);  // an unopened channel stays quiet
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return s.dir.exists("chach/demo.red.jpg"); }));

    // The picture refreshes: a second one arrives after its reload time.
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return pub.count("/demo.red/full.jpg") >= 2; }));
    QImage shot;
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        shot = s.x.Screenshot(s.window);
        return ViewerSession::countColour(shot, area, kRed) > 160 * 120 / 2;
    })) << "no red picture in the show area";
    ViewerSession::keepArtifact(shot, "viewer-channel.png");

    ASSERT_TRUE(s.close());
    EXPECT_TRUE(s.dir.exists("Vantomon.ini"));
    EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("ResizeX=128"));
    EXPECT_TRUE(s.dir.read("ChannelList.txt").contains("Channel\t\tVNT1\t\tdemo.red\t\t"));
    EXPECT_TRUE(s.dir.read("MultiMonitor.txt").startsWith("MultiMonitorRoot\t\t"));
}

// Red (a favourite) and green open in tabs, green selected, in the viewer
// and in its twin.
class TabSession : public UserSession {
protected:
    std::unique_ptr<frmMain> model;
    QRect area, folderButton;  // the show area and the toolbar's folder button in the window

    void SetUp() override {
        UserSession::SetUp();
        s.dir.write("Favorite.txt",
                    ListFileBytes({"FavariteRoot\t\tお気に入り\t\tTrue", "\tFavariteChannel\t\tdemo.red"}));
        model = s.twin();
        area = inWindow(model->cntShowBox());
        folderButton = inWindow(model->tbrNormal()->widgetForAction(model->ToolbarButton(ToolbarKey::Folder)));
        const QPoint red =
            s.nodeOnScreen(*model, ViewerSession::nodeWithTag(*model, MakeTag(NodeKind::Channel, "demo.red")));
        const QPoint green =
            s.nodeOnScreen(*model, ViewerSession::nodeWithTag(*model, MakeTag(NodeKind::Channel, "demo.green")));
        // The twin's strip gets the same tabs, without fetching.
        TabStripWidget* strip = model->tabChannelSelect();
        for (const char* id : {"demo.red", "demo.green"}) {
            const int tab = strip->Tag(1).isEmpty() ? 1 : strip->Add(QString(), QString());
            strip->SetCaption(tab, model->ChannelManeger()->Channel(id)->ChannelName());
            strip->SetTag(tab, MakeTag(NodeKind::Channel, id));
        }
        ASSERT_TRUE(s.start());
        s.x.Click(red);
        s.x.Click(green);
        ASSERT_TRUE(selected(kGreen)) << "green did not come up in its tab";
    }
    QRect inWindow(const QWidget* w) const { return QRect(w->mapTo(model.get(), QPoint()), w->size()); }
    // A tab's centre on the screen.
    QPoint tabOnScreen(int tab) const {
        QTabBar* bar = model->tabChannelSelect()->Bar();
        return s.windowRect.topLeft() + bar->mapTo(model.get(), bar->tabRect(tab - 1).center());
    }
    // The channel of that colour comes to be the selected one: its picture
    // fills the show area, the other's is gone, and the toolbar shows its
    // favourite state (a new picture alone would redraw the area, never the
    // toolbar).
    bool selected(const QColor& colour, const char* artifact = nullptr) {
        const bool red = colour == kRed;
        QImage shot;
        const bool seen = ViewerSession::waitUntil(
            [&] {
                shot = s.x.Screenshot(s.window);
                const bool favourite = ViewerSession::countColour(shot, folderButton, kFavouriteFolder, 20) > 20;
                return ViewerSession::countColour(shot, area, colour) > 160 * 120 / 2 &&
                       ViewerSession::countColour(shot, area, red ? kGreen : kRed) < 100 && favourite == red;
            },
            8000);
        if (artifact) ViewerSession::keepArtifact(shot, artifact);
        return seen;
    }
    // A closed channel stops asking while the open one goes on.
    bool stopsWhileTheOtherGoesOn(const QString& closed, const QString& open) {
        QTest::qWait(500);  // an answer already on its way is still taken
        const int before = pub.count("/" + closed + "/full.jpg"), other = pub.count("/" + open + "/full.jpg");
        return ViewerSession::waitUntil([&] { return pub.count("/" + open + "/full.jpg") >= other + 2; }) &&
               pub.count("/" + closed + "/full.jpg") == before;
    }
    static constexpr QColor kFavouriteFolder{250, 210, 60};  // the folder button's image for a favourite
};

// The popup of the tab right-clicked closes that tab, not the selected one.
TEST_F(TabSession, ARightClickedUnselectedTabIsClosedByItsPopup) {
    const QPoint redTab = tabOnScreen(1);
    s.x.Click(redTab, 3);
    QTest::qWait(300);
    ViewerSession::keepArtifact(s.x.Screenshot(), "viewer-tab-popup.png");
    s.x.Click(ViewerSession::popupItem(model->Popup(PopupName::ChannelTab), QStringLiteral("このチャンネルを閉じる"),
                                       redTab));
    EXPECT_TRUE(stopsWhileTheOtherGoesOn("demo.red", "demo.green"));
    EXPECT_TRUE(selected(kGreen, "viewer-tab-closed-by-popup.png"));
    ASSERT_TRUE(s.close());
}

// Each tab shortcut, pressed in the real window, selects its tab as a click
// would and shows the tab's picture; Ctrl+W closes the selected tab.
TEST_F(TabSession, TabShortcutsSelectAndShowEachTab) {
    const std::pair<const char*, QColor> steps[] = {{"ctrl+Tab", kRed},       {"ctrl+Next", kGreen},
                                                    {"ctrl+shift+Tab", kRed}, {"ctrl+Prior", kGreen},
                                                    {"alt+1", kRed},          {"alt+9", kGreen}};
    for (const auto& [keys, colour] : steps) {
        s.x.Key(keys);
        EXPECT_TRUE(selected(colour)) << keys;
    }
    s.x.Key("ctrl+w");
    EXPECT_TRUE(stopsWhileTheOtherGoesOn("demo.green", "demo.red"));
    EXPECT_TRUE(selected(kRed, "viewer-tab-keys.png"));
    ASSERT_TRUE(s.close());
}

// A second viewer of the folder ends without loading or saving; one of
// another folder runs.
TEST_F(UserSession, ASecondViewerOfTheFolderEndsAndTheFirstKeepsItsFolder) {
    ASSERT_TRUE(s.start());
    ASSERT_TRUE(QDir(s.dir.file("chach")).removeRecursively());  // loading would make it again
    const QByteArray list = s.dir.read("ChannelList.txt");
    QProcess second;
    second.setProcessEnvironment(s.x.Environment());
    second.start(s.dir.file("Vantomon"), {});
    const quint32 box = s.x.WaitForWindow(QStringLiteral("^起動エラー$"));
    ASSERT_NE(box, 0u) << "the second viewer showed no error";
    ViewerSession::keepArtifact(s.x.Screenshot(box), "viewer-second-instance.png");
    ASSERT_TRUE(s.x.ClickOkUntil(box, [&] { return second.waitForFinished(100); }));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(s.dir.exists("chach"));
    EXPECT_FALSE(s.dir.exists("Vantomon.ini"));
    EXPECT_EQ(s.dir.read("ChannelList.txt"), list);

    TempProgramDir other;
    ASSERT_TRUE(QFile::copy(s.dir.file("Vantomon"), other.file("Vantomon")));
    QProcess beside;
    beside.setProcessEnvironment(s.x.Environment());
    beside.start(other.file("Vantomon"), {});
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return other.exists("chach"); }))
        << "the other folder's viewer did not load";
    beside.terminate();  // closes its window the normal way
    ASSERT_TRUE(beside.waitForFinished(10000));
    EXPECT_TRUE(other.exists("Vantomon.ini"));

    EXPECT_EQ(s.viewer->state(), QProcess::Running);
    ASSERT_TRUE(s.close());
    EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("ResizeX=128"));
}

TEST_F(UserSession, AFolderBuiltFromThePopupsShowsBothChannelsAndIsWritten) {
    std::unique_ptr<frmMain> model = s.twin();
    const QPoint root = s.nodeOnScreen(*model, model->MultiMonitorRoot());
    QMenu* rootPopup = model->Popup(PopupName::MultiMonitorRoot);
    ASSERT_TRUE(s.start());

    // フォルダーの追加, answer the input box with a name.
    s.x.Click(root, 3);
    QTest::qWait(300);
    s.x.Click(ViewerSession::popupItem(rootPopup, QStringLiteral("フォルダーの追加"), root));
    ASSERT_TRUE(s.x.WaitForWindow(QStringLiteral("^新しいフォルダーの入力$"), 10000));
    QTest::qWait(300);
    s.x.TypeText("Watch");
    s.x.Key("Return");
    QTest::qWait(500);

    // The twin follows the same steps so its rows move as the real ones do.
    model->MultiMonitorManeger()->AddMultiMonitorFolder("Watch", true);
    QMenu* channelPopup = model->Popup(PopupName::ChannelNode);
    for (const char* id : {"demo.red", "demo.green"}) {
        const QPoint at = s.nodeOnScreen(*model, ViewerSession::nodeWithTag(*model, MakeTag(NodeKind::Channel, id)));
        s.x.Click(at, 3);
        QTest::qWait(300);
        s.x.Click(ViewerSession::popupItem(channelPopup, QStringLiteral("Watchに追加"), at));
        QTest::qWait(300);
        model->MultiMonitorManeger()->MultiMonitor("1")->AddChannel(id, model->imgChannelShow().Load(), false);
    }
    QTest::qWait(100);
    s.x.Click(s.nodeOnScreen(*model, ViewerSession::nodeWithTag(*model, MakeTag(NodeKind::MultiMonitorFolder, "1"))));
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        return pub.count("/demo.red/thumb.jpg") >= 2 && pub.count("/demo.green/thumb.jpg") >= 2;
    })) << "the folder's thumbnails were not fetched and refreshed";
    const QRect area = model->cntShowBox()->geometry().translated(model->ClientArea()->mapTo(model.get(), QPoint()));
    QImage shot;
    ASSERT_TRUE(ViewerSession::waitUntil([&] {
        shot = s.x.Screenshot(s.window);
        return ViewerSession::countColour(shot, area, kRed) > 2000 &&
               ViewerSession::countColour(shot, area, kGreen) > 2000;
    })) << "both thumbnails should be on screen";
    ViewerSession::keepArtifact(shot, "viewer-folder.png");
    ASSERT_TRUE(s.close());
    EXPECT_EQ(s.dir.read("MultiMonitor.txt"),
              ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\tWatch\t\tTrue",
                             "\t\tMultiMonitorChannel\t\tdemo.red", "\t\tMultiMonitorChannel\t\tdemo.green"}));
}

TEST_F(UserSession, ASplitterDraggedToItsRightLimitIsDraggedBackFromTheMiddleOfItsHeight) {
    std::unique_ptr<frmMain> model = s.twin();
    const int SW = model->ClientArea()->width();
    auto onScreen = [&](int x, int y) {
        return s.windowRect.topLeft() + model->ClientArea()->mapTo(model.get(), QPoint(x, y));
    };
    const QRect bar = model->Geometry().Splitter;
    const int middle = bar.center().y();
    ASSERT_TRUE(s.start());

    // To the right limit in one move (the show area keeps its place), and back.
    s.x.Drag(onScreen(bar.x(), middle), onScreen(SW - 10, middle));
    s.x.Drag(onScreen(SW - 10, middle), onScreen(300, middle));
    QTest::qWait(300);
    ViewerSession::keepArtifact(s.x.Screenshot(s.window), "viewer-splitter-dragged-back.png");
    ASSERT_TRUE(s.close());
    EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("ResizeX=300")) << s.dir.read("Vantomon.ini").toStdString();
}

TEST_F(UserSession, AStoredSizeThatBarelyFitsKeepsTheWholeWindowOnTheScreenUnderAWindowManager) {
    if (QStandardPaths::findExecutable("openbox").isEmpty()) GTEST_SKIP() << "openbox is not installed";
    QProcess wm;
    ASSERT_TRUE(s.x.StartWindowManager(wm));
    // 1020 x 760 on a 1024 x 768 screen: it fits only without the frame,
    // which the window manager adds after placing the window at its first size.
    s.dir.write("Vantomon.ini", "[MainWindow]\r\nWidth=15300\r\nHeight=11400\r\n");
    ASSERT_TRUE(s.start());
    QRect frame;  // the window with the manager's frame, from xwininfo
    EXPECT_TRUE(ViewerSession::waitUntil(
        [&] {
            QString info;
            s.x.Run("xwininfo", {"-frame", "-id", QString::number(s.window)}, &info);
            auto value = [&](const char* key) {
                return QRegularExpression(QLatin1String(key) + R"(:\s*(-?\d+))").match(info).captured(1).toInt();
            };
            frame =
                QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"));
            return frame.width() > 1000 && QRect(0, 0, 1024, 768).contains(frame);
        },
        5000))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    ViewerSession::keepArtifact(s.x.Screenshot(), "viewer-kept-on-screen.png");
    ASSERT_TRUE(s.close());
    wm.terminate();
    wm.waitForFinished(5000);
}

// Two viewers of one folder, each with a runtime folder of its own (or
// none): the second meets the lock in the folder and says so, and its box
// ends on a stop signal as the main window does. The lock goes with the first.
class SecondViewer : public UserSession, public ::testing::WithParamInterface<int> {};

TEST_P(SecondViewer, MeetsTheLockWhateverItsRuntimeFolderAndItsBoxEndsOnASignal) {
    QTemporaryDir runtime[2];
    ASSERT_TRUE(s.start([&](QProcessEnvironment& e) { e.insert("XDG_RUNTIME_DIR", runtime[0].path()); }));
    QProcess second;
    QProcessEnvironment e = s.x.Environment();
    e.remove("XDG_RUNTIME_DIR");
    second.setProcessEnvironment(e);
    second.start(s.dir.file("Vantomon"), {});
    ASSERT_NE(s.x.WaitForWindow(QStringLiteral("^起動エラー$")), 0u) << "the second viewer showed no error";
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(second.processId()), GetParam());
    ASSERT_TRUE(second.waitForFinished(5000)) << "the box did not end on the signal";
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(s.dir.exists(".Vantomon.lock"));
    ASSERT_TRUE(s.close());
    EXPECT_FALSE(s.dir.exists(".Vantomon.lock"));
    for (const QTemporaryDir& r : runtime)  // no lock of the old place, beside the session's own files
        EXPECT_EQ(QDir(r.path()).entryList({"*vantora*"}, QDir::AllEntries | QDir::Hidden).join(' ').toStdString(), "");
}

INSTANTIATE_TEST_SUITE_P(, SecondViewer, ::testing::Values(SIGTERM, SIGINT, SIGHUP), [](const auto& info) {
    return info.param == SIGTERM ? "SIGTERM" : info.param == SIGINT ? "SIGINT" : "SIGHUP";
});

// A lock that cannot be taken (a link planted at its path) is said at
// start; the viewer then runs, and the link's target is never made.
TEST_F(UserSession, ALockThatCannotBeTakenIsSaidAtStart) {
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QFile::link(elsewhere.filePath("victim"), s.dir.file(".Vantomon.lock")));
    QProcess viewer;
    viewer.setProcessEnvironment(s.x.Environment());
    viewer.start(s.dir.file("Vantomon"), {});
    const quint32 box = s.x.WaitForWindow(QStringLiteral("^起動エラー$"));
    ASSERT_NE(box, 0u) << "nothing was said";
    ViewerSession::keepArtifact(s.x.Screenshot(box), "viewer-lock-unavailable.png");
    EXPECT_FALSE(s.dir.exists("chach"));  // nothing is loaded before the box is closed
    ASSERT_TRUE(s.x.ClickOkUntil(box, [&] { return s.x.WaitForWindow(QStringLiteral("^Vantora$"), 100) != 0; }));
    viewer.terminate();
    ASSERT_TRUE(viewer.waitForFinished(10000));
    EXPECT_TRUE(s.dir.exists("Vantomon.ini"));
    EXPECT_FALSE(QFile::exists(elsewhere.filePath("victim")));
}

// Without HOME, as a user who may not write the program folder (nobody):
// the data folder cannot be made, which is said at start; the exit says the
// files could not be made, and nothing is written under "/".
TEST_F(UserSession, WithoutHomeADataFolderThatCannotBeMadeIsSaidAtStart) {
    const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    if (!nobody || QStandardPaths::findExecutable("setpriv").isEmpty()) GTEST_SKIP() << "needs root and setpriv";
    ASSERT_TRUE(QFile::setPermissions(s.dir.path(), QFile::Permissions(0x7755)));
    QProcess viewer;
    QProcessEnvironment e = s.x.Environment();
    e.remove("HOME");
    e.remove("XDG_DATA_HOME");
    viewer.setProcessEnvironment(e);
    viewer.start("setpriv", {"--reuid=" + QString::number(nobody->pw_uid), "--regid=" + QString::number(nobody->pw_gid),
                             "--clear-groups", "--", s.dir.file("Vantomon")});
    const quint32 box = s.x.WaitForWindow(QStringLiteral("^起動エラー$"));
    ASSERT_NE(box, 0u) << "nothing was said at start";
    ViewerSession::keepArtifact(s.x.Screenshot(box), "viewer-no-data-folder-at-start.png");
    quint32 window = 0;
    ASSERT_TRUE(s.x.ClickOkUntil(box, [&] { return (window = s.x.WaitForWindow(QStringLiteral("^Vantora$"), 100)); }));
    QTest::qWait(300);
    s.x.CloseWindow(window);
    const quint32 failed = s.x.WaitForWindow(QStringLiteral("^保存エラー$"));
    ASSERT_NE(failed, 0u);
    ViewerSession::keepArtifact(s.x.Screenshot(failed), "viewer-no-data-folder.png");
    ASSERT_TRUE(s.x.ClickOkUntil(failed, [&] { return viewer.waitForFinished(100); }));
    EXPECT_FALSE(QFile::exists("/.local/share/vantora"));
    EXPECT_EQ(QDir(s.dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
              (QStringList{"ChannelList.txt", "Favorite.txt", "MultiMonitor.txt", "Vantomon"}));
}

// 256 descriptors, 400 channels on a server that accepts no connection and
// three working ones, all in one open folder: the working ones keep their
// pictures coming, and SIGTERM ends the viewer within 15 s with every file
// written.
TEST_F(UserSession, ADescriptorLimitOf256AndAServerThatNeverAnswers) {
    const int dead = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(dead, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(dead, 4096), 0);  // and never accepts
    ASSERT_EQ(::getsockname(dead, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int deadPort = ntohs(address.sin_port);
    const QStringList working{"ok.a", "ok.b", "ok.c"};
    for (const QString& id : working) pub.add({id, id, "1", 0, 1, kGreen, {80, 60}, {40, 30}, {}});
    QStringList channels{"Node\tデモ\tTrue", "\tChannelList\t\t一覧\t\tTrue\t\thttp://lists/"};
    QStringList folder{"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue"};
    // The working channels come last: the dead ones ask for connections first.
    for (int i = 0; i < 400; ++i) {
        const QString id = QStringLiteral("dead.%1").arg(i);
        channels << QStringLiteral("\t\tChannel\t\tVNT1\t\t%1\t\t%1\t\thttp://127.0.0.1:%2/%1/info.txt\t\tFalse")
                        .arg(id)
                        .arg(deadPort);
        folder << "\t\tMultiMonitorChannel\t\t" + id;
    }
    for (const QString& id : working) channels << pub.record(id, 2), folder << "\t\tMultiMonitorChannel\t\t" + id;
    s.dir.write("ChannelList.txt", ListFileBytes(channels));
    s.dir.write("MultiMonitor.txt", ListFileBytes(folder));
    std::unique_ptr<frmMain> model = s.twin();
    const QPoint node =
        s.nodeOnScreen(*model, ViewerSession::nodeWithTag(*model, MakeTag(NodeKind::MultiMonitorFolder, "1")));
    ASSERT_TRUE(s.start({}, [] {
        const rlimit limit{256, 256};
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }));
    s.x.Click(node);
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return pub.count("/ok.c/thumb.jpg") >= 1; }, 15000));
    int before[3];
    for (int i = 0; i < 3; ++i) before[i] = pub.count("/" + working[i] + "/thumb.jpg");
    // Longer than a kept connection lasts (five answers): new ones are needed.
    QTest::qWait(10000);
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(pub.count("/" + working[i] + "/thumb.jpg"), before[i] + 6) << working[i].toStdString();
    ::close(dead);
    QElapsedTimer clock;
    clock.start();
    s.viewer->terminate();
    ASSERT_TRUE(s.viewer->waitForFinished(15000)) << "SIGTERM did not end the viewer";
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(s.viewer->exitCode(), 0);
    EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("ResizeX=128"));
    EXPECT_EQ(s.dir.read("MultiMonitor.txt"), ListFileBytes(folder));
    EXPECT_EQ(s.dir.read("ChannelList.txt").count("\t\tChannel\t\t"), 403);
}

// Saved maximised, under a window manager: every one of ten starts shows
// the window maximised, and every exit writes Style=2 again.
TEST_F(UserSession, AWindowSavedMaximisedStartsMaximisedEveryTimeUnderAWindowManager) {
    if (QStandardPaths::findExecutable("openbox").isEmpty()) GTEST_SKIP() << "openbox is not installed";
    QProcess wm;
    ASSERT_TRUE(s.x.StartWindowManager(wm));
    s.dir.write("Vantomon.ini", "[MainWindow]\r\nWidth=9000\r\nHeight=6000\r\nStyle=2\r\n");
    auto maximised = [&] {
        QString state;
        s.x.Run("xprop", {"-id", QString::number(s.window), "_NET_WM_STATE"}, &state);
        return state.contains("_NET_WM_STATE_MAXIMIZED_VERT") && state.contains("_NET_WM_STATE_MAXIMIZED_HORZ");
    };
    for (int start = 0; start < 10; ++start) {
        ASSERT_TRUE(s.start()) << "start " << start;
        EXPECT_TRUE(ViewerSession::waitUntil(maximised, 5000)) << "start " << start;
        QTest::qWait(700);  // the window manager's later moves must not undo it
        EXPECT_TRUE(maximised()) << "start " << start;
        ASSERT_TRUE(s.close());
        EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("Style=2")) << "start " << start;
        EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("Width=9000"))
            << "start " << start << s.dir.read("Vantomon.ini").toStdString();
    }
    wm.terminate();
    wm.waitForFinished(5000);
}

// Without a window manager no frame is ever reported: a window the user
// made larger keeps its size when it is moved afterwards.
TEST_F(UserSession, AMovedWindowKeepsItsSizeWithoutFrameMargins) {
    s.dir.write("Vantomon.ini", "[MainWindow]\r\nWidth=9000\r\nHeight=6000\r\n");
    ASSERT_TRUE(s.start());
    const QString id = QString::number(s.window);
    s.x.Run("xdotool", {"windowsize", id, "700", "500"});
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return s.x.WindowGeometry(s.window).size() == QSize(700, 500); }, 5000));
    for (const char* x : {"40", "90"}) {
        s.x.Run("xdotool", {"windowmove", id, x, "60"});
        QTest::qWait(500);
        EXPECT_EQ(s.x.WindowGeometry(s.window).size(), QSize(700, 500)) << "after the move to " << x;
    }
    ASSERT_TRUE(s.close());
    EXPECT_TRUE(s.dir.read("Vantomon.ini").contains("Width=10500")) << s.dir.read("Vantomon.ini").toStdString();
}

}  // namespace
