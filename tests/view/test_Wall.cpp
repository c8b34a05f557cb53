// Watching a wall of channels, on a real X server with a window manager
// (WatchDisplay: one 1600 x 600 screen split into two monitors by xrandr,
// openbox): full screen, folder windows on the right-hand monitor, the
// tour, tiles that fill their cells, the screen kept awake on a private
// session bus, and the last session coming back.

#include "SessionBus.h"
#include "WatchDisplay.h"
#include "WatchingFixture.h"
#include "common/Cp932.h"
#include "desktop/ScreenSaverInhibitor.h"
#include "multimonitor/FolderWindow.h"
#include "view/FullScreenMode.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"
#include "view/ThumbnailGrid.h"
#include "view/WatchViews.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QWindow>

#include <optional>

inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << p.x() << "," << p.y(); }

namespace {

const QColor kRed(220, 30, 30);
const QColor kGreen(30, 200, 60);
const QColor kBlue(40, 60, 220);
const QColor kGrey(120, 120, 120);

void keep(const QImage& image, const char* name) {
    const QString folder = QStringLiteral(VANTORA_BUILD_DIR "/test-artifacts");
    QDir().mkpath(folder);
    image.save(folder + QLatin1Char('/') + QLatin1String(name));
}

// The whole X screen, as a person in front of both monitors sees it.
QImage screenshot() {
    QProcess p;
    p.start(QStringLiteral("import"), {"-display", WatchDisplay::Name(), "-window", "root", "png:-"});
    p.waitForFinished(20000);
    return QImage::fromData(p.readAllStandardOutput(), "PNG");
}

bool near(QColor a, QColor b) {
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

// Where the X server has the window (Qt's own idea of the position can lag
// behind a move the window manager made).
QRect xGeometry(QWidget* window) {
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {"-display", WatchDisplay::Name(), "-id", QString::number(window->winId())});
    p.waitForFinished(10000);
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    auto value = [&](const char* key) {
        return QRegularExpression(QLatin1String(key) + R"(:\s*(-?\d+))").match(info).captured(1).toInt();
    };
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"));
}

bool fullScreenState(QWidget* window) {
    return WatchDisplay::Property(window->winId(), "_NET_WM_STATE").contains("_NET_WM_STATE_FULLSCREEN");
}

class Wall : public WatchingFixture {
protected:
    void SetUp() override { ASSERT_TRUE(WatchDisplay::Ok()) << "Xvfb, xrandr or openbox did not start"; }

    WatchViews& views() { return *w().Watching(); }
    // The window's tick: the channels, then the tours.
    void tick() {
        w().tmrCauseOneSecEvent_Timer();
        views().Tick();
    }
    // Opens the window and waits until the window manager has placed it.
    void open() {
        f.open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w()));
        QTest::qWait(200);
    }
    void key(QWidget* window, Qt::Key k) {
        // Through the platform window of the active window, as a key comes from the X server.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->windowHandle(), k);
        QCoreApplication::processEvents();
    }
    static bool settle(const std::function<bool()>& pred, int ms = 10000) { return QTest::qWaitFor(pred, ms); }
    // Moves a top-level window and waits until the window manager agrees.
    static bool place(QWidget* window, const QRect& geometry) {
        window->setGeometry(geometry);
        return settle([&] { return window->geometry() == geometry; });
    }
    QStringList fullPictures() {
        QStringList order;
        for (const QString& path : pub.requests())
            if (path.endsWith("/full.jpg")) order << path.section('/', 1, 1);
        return order;
    }
};

// ---- Full screen and the screen kept awake -----------------------------------

struct LeaveRow {
    const char* name;
    Qt::Key leave;
};
class FullScreen : public Wall, public ::testing::WithParamInterface<LeaveRow> {};

TEST_P(FullScreen, CoversItsScreenKeepsItAwakeAndGivesTheWindowBack) {
    SessionBus bus;
    ASSERT_TRUE(bus.Ok());
    FakeDesktopService saver(bus, ScreenSaverInhibitor::kService, ScreenSaverInhibitor::kPath,
                             ScreenSaverInhibitor::kInterface);
    ASSERT_TRUE(saver.Ok());
    saver.Answer("Inhibit", [](const QDBusMessage&) { return QList<QVariant>{77u}; });
    pub.add({"ch.a", "Alpha", "1", 0, 60, kRed, {320, 240}, {160, 120}, {}});
    pub.add({"ch.b", "Beta", "2", 0, 60, kGreen, {320, 240}, {160, 120}, {}});
    writeLists({"ch.a", "ch.b"}, {{"監視", {"ch.a", "ch.b"}}});
    open();
    views().SetDesktopBus([&bus] { return bus.Connect("viewer"); });
    const QRect before(960, 80, 600, 420);
    ASSERT_TRUE(place(&w(), before));
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll({"ch.a", "ch.b"}, PictureKind::Thumbnail); }));

    key(&w(), Qt::Key_F11);
    ASSERT_TRUE(settle([&] { return xGeometry(&w()) == WatchDisplay::RightMonitor() && fullScreenState(&w()); }))
        << testing::PrintToString(xGeometry(&w()));
    EXPECT_EQ(w().windowTitle(), "Vantora");
    EXPECT_FALSE(w().menuBar()->isVisible());
    EXPECT_FALSE(w().tvwChannelSelect()->isVisible() || w().tabChannelSelect()->isVisible());
    // The grid is laid out for the whole screen.
    ASSERT_TRUE(settle([&] { return w().cntShowBox()->size() == QSize(800, 600); }));
    EXPECT_EQ(folder("1")->ShowBox()[2]->Rect().topLeft(), ChooseThumbnailGrid(2, 800, 600).CellOrigin(2));
    ASSERT_TRUE(saver.WaitForCalls("Inhibit", 1));
    EXPECT_EQ(saver.Calls("Inhibit")[0].arguments().value(0).toString(), "Vantora");
    QTest::qWait(300);
    keep(screenshot(), "watch-fullscreen.png");

    // The pointer hides when idle and comes back with a movement.
    FullScreenMode* mode = views().MainFullScreen();
    EXPECT_TRUE(mode->PointerTimer().isActive());
    EXPECT_EQ(mode->PointerTimer().interval(), 3000);
    mode->HidePointer();
    EXPECT_EQ(w().cursor().shape(), Qt::BlankCursor);
    // (Qt drops a movement to where the pointer already is: a new place each time.)
    static int moves = 0;
    QTest::mouseMove(w().windowHandle(), QPoint(300 + ++moves, 200));
    EXPECT_NE(w().cursor().shape(), Qt::BlankCursor);
    EXPECT_TRUE(mode->PointerTimer().isActive());

    key(&w(), GetParam().leave);
    ASSERT_TRUE(settle([&] { return xGeometry(&w()) == before && w().geometry() == before && !fullScreenState(&w()); }))
        << testing::PrintToString(xGeometry(&w()));
    EXPECT_TRUE(w().menuBar()->isVisible() && w().tvwChannelSelect()->isVisible());
    EXPECT_EQ(w().cntShowBox()->geometry(), w().Geometry().ShowArea);
    ASSERT_TRUE(saver.WaitForCalls("UnInhibit", 1));
    EXPECT_EQ(saver.Calls("UnInhibit")[0].arguments().value(0).toUInt(), 77u);
    EXPECT_EQ(saver.Calls("Inhibit").size(), 1);
}

const LeaveRow kLeaveRows[] = {{"F11Again", Qt::Key_F11}, {"Escape", Qt::Key_Escape}};
VANTORA_ROWS(FullScreen, kLeaveRows);

// Whatever watches keeps the screen awake until it ends; without the
// service nothing waits for it.
enum class Saver { Answers, Silent, Missing };
struct AwakeRow {
    const char* name;
    Saver saver;
    std::function<void(WatchViews&, bool on)> watch;
};
class KeptAwake : public Wall, public ::testing::WithParamInterface<AwakeRow> {};

TEST_P(KeptAwake, WhileAViewWatchesAndNotAfter) {
    SessionBus bus;
    ASSERT_TRUE(bus.Ok());
    std::optional<FakeDesktopService> saver;
    if (GetParam().saver != Saver::Missing) {
        saver.emplace(bus, ScreenSaverInhibitor::kService, ScreenSaverInhibitor::kPath,
                      ScreenSaverInhibitor::kInterface);
        saver->SetSilent(GetParam().saver == Saver::Silent);
        saver->Answer("Inhibit", [](const QDBusMessage&) { return QList<QVariant>{5u}; });
    }
    pub.add({"ch.a", "Alpha", "1", 0, 60, kRed, {320, 240}, {160, 120}, {}});
    writeLists({"ch.a"}, {{"監視", {"ch.a"}}});
    open();
    views().SetDesktopBus([&bus] { return bus.Connect("viewer"); });
    w().OpenMultiMonitorTab("1");
    QElapsedTimer clock;
    clock.start();
    GetParam().watch(views(), true);
    // Waiting for a silent service would take the call's 5-second deadline.
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(views().Inhibitor()->Inhibited());
    if (saver) {
        ASSERT_TRUE(saver->WaitForCalls("Inhibit", 1));
    }
    if (GetParam().saver == Saver::Answers) {
        ASSERT_TRUE(settle([&] { return views().Inhibitor()->Held(); }));
    } else {
        QTest::qWait(300);  // an error would come back on the loop
        EXPECT_FALSE(views().Inhibitor()->Held());
    }
    GetParam().watch(views(), false);
    EXPECT_FALSE(views().Inhibitor()->Inhibited());
    if (GetParam().saver == Saver::Answers) {
        ASSERT_TRUE(saver->WaitForCalls("UnInhibit", 1));
        EXPECT_EQ(saver->Calls("UnInhibit")[0].arguments().value(0).toUInt(), 5u);
    }
}

const AwakeRow kAwakeRows[] = {
    {"Tour", Saver::Answers, [](WatchViews& v, bool) { v.ToggleTour(); }},
    {"FolderWindowFullScreen", Saver::Answers,
     [](WatchViews& v, bool on) {
         FolderWindow* window = v.OpenFolderWindow("1");
         on ? window->FullScreen()->Enter() : window->FullScreen()->Leave();
     }},
    {"FolderWindowTourEndsWithItsWindow", Saver::Answers,
     [](WatchViews& v, bool on) {
         FolderWindow* window = v.OpenFolderWindow("1");
         if (on) {
             window->ToggleTour();
         } else {
             window->close();
             QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
         }
     }},
    {"NoService", Saver::Missing, [](WatchViews& v, bool) { v.ToggleFullScreen(); }},
    {"SilentService", Saver::Silent, [](WatchViews& v, bool) { v.ToggleFullScreen(); }},
};
VANTORA_ROWS(KeptAwake, kAwakeRows);

// ---- Folder windows ----------------------------------------------------------

struct RestoreRow {
    const char* name;
    bool fullScreen;
    bool scaleTiles;
};
class FolderWindows : public Wall, public ::testing::WithParamInterface<RestoreRow> {};

TEST_P(FolderWindows, AreRestoredAtStartOnTheirScreenWithTheirGeometry) {
    pub.add({"ch.a", "Alpha", "1", 0, 60, kRed, {320, 240}, {160, 120}, {}});
    pub.add({"ch.b", "Beta", "2", 0, 60, kGreen, {320, 240}, {160, 120}, {}});
    pub.add({"ch.c", "Gamma", "3", 0, 60, kBlue, {320, 240}, {160, 120}, {}});
    // The window shows the second folder: its place, not its identifier, is kept.
    writeLists({"ch.a", "ch.b", "ch.c"}, {{"監視", {"ch.a"}}, {"予備", {"ch.b", "ch.c"}}});
    if (GetParam().scaleTiles) f.dir.write("Vantomon.ini", "[Watch]\r\nScaleTiles=True\r\n");
    open();
    FolderWindow* window = views().OpenFolderWindow("2");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantora - 予備"));
    // On the monitor that is not the primary one: a window without its
    // screen would land on the primary one.
    const QRect monitor = QGuiApplication::primaryScreen()->geometry() == WatchDisplay::RightMonitor()
                              ? WatchDisplay::LeftMonitor()
                              : WatchDisplay::RightMonitor();
    const QRect geometry(monitor.topLeft() + QPoint(160, 120), QSize(480, 360));
    ASSERT_TRUE(place(window, geometry));
    ASSERT_TRUE(settle([&] { return window->screen()->geometry() == monitor; }));
    if (GetParam().fullScreen) {
        window->FullScreen()->Enter();
        ASSERT_TRUE(settle([&] { return xGeometry(window) == monitor; })) << testing::PrintToString(xGeometry(window));
    }
    f.close();
    const QString screen = QGuiApplication::screenAt(monitor.center())->name();
    const QString ini = Cp932::decode(f.dir.read("Vantomon.ini"));
    EXPECT_TRUE(ini.contains(QStringLiteral("FolderWindowCount=1\r\nFolderWindow1=2,160,120,480,360,%1,%2,予備\r\n")
                                 .arg(GetParam().fullScreen ? "True" : "False", screen)))
        << ini.toStdString();

    const int quietBefore = pub.count("/ch.a/info.txt");
    open();
    FolderWindow* restored = views().FolderWindowOf("2");
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->windowTitle(), QStringLiteral("Vantora - 予備"));
    const QRect expected = GetParam().fullScreen ? monitor : geometry;
    ASSERT_TRUE(settle([&] { return xGeometry(restored) == expected; })) << testing::PrintToString(xGeometry(restored));
    EXPECT_EQ(restored->FullScreen()->Active(), GetParam().fullScreen);
    EXPECT_EQ(restored->FullScreen()->NormalGeometry(), geometry);
    EXPECT_EQ(fullScreenState(restored), GetParam().fullScreen);
    // Its members fetch as for an open folder; nothing else does.
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll({"ch.b", "ch.c"}, PictureKind::Thumbnail); }));
    EXPECT_EQ(pub.count("/ch.a/info.txt"), quietBefore);
    // Its grid: the folder tab's arithmetic, its tiles filling their cells when asked.
    const QList<FolderWallWidget::Tile> tiles = restored->Wall()->Tiles();
    ASSERT_EQ(tiles.size(), 2);
    const ThumbnailGrid grid = ChooseThumbnailGrid(2, restored->Wall()->width(), restored->Wall()->height());
    EXPECT_EQ(tiles[1].Box, GetParam().scaleTiles ? QRect(grid.CellOrigin(2), QSize(grid.CellWidth, grid.CellHeight))
                                                  : QRect(grid.CellOrigin(2), QSize(160, 120)));
    // (A cell need not be exactly 4:3: the fitted picture may stop a pixel short of its edge.)
    const QImage wall = restored->Wall()->grab().toImage();
    const QPoint farCorner = grid.CellOrigin(2) + QPoint(grid.CellWidth - 4, grid.CellHeight - 4);
    EXPECT_TRUE(near(wall.pixelColor(tiles[1].Box.bottomRight() - QPoint(3, 3)), kBlue));
    EXPECT_EQ(near(wall.pixelColor(farCorner), kBlue), GetParam().scaleTiles);
    QTest::qWait(300);
    keep(screenshot(), GetParam().fullScreen ? "watch-folder-window-fullscreen.png" : "watch-folder-window.png");
}

const RestoreRow kRestoreRows[] = {{"Normal", false, false}, {"FullScreenWithTilesFillingTheirCells", true, true}};
VANTORA_ROWS(FolderWindows, kRestoreRows);

// A folder window is a view of its own: the main window's folder tabs and
// the window switch the members off only when no other view shows them.
TEST_F(Wall, FolderWindowAndFolderTabsShareTheirMembersViewing) {
    for (const char* id : {"ch.a", "ch.b", "ch.c"}) pub.add({id, id, "", 0, 60, kGrey, {320, 240}, {160, 120}, {}});
    writeLists({"ch.a", "ch.b", "ch.c"}, {{"一", {"ch.a", "ch.b"}}, {"二", {"ch.b", "ch.c"}}});
    open();
    auto thumbnails = [&] {
        QString on;
        for (const char* id : {"ch.a", "ch.b", "ch.c"}) on += (channel(id)->ViewFlag() & 4) ? "T" : "-";
        return on;
    };
    FolderWindow* one = views().OpenFolderWindow("1");
    EXPECT_EQ(thumbnails(), "TT-");
    folder("1")->setFolderName("改名");
    EXPECT_EQ(one->windowTitle(), QStringLiteral("Vantora - 改名"));
    w().OpenMultiMonitorTab("1");
    w().OpenMultiMonitorTab("2");
    EXPECT_EQ(thumbnails(), "TTT");
    // The toolbar's close switches every member of its folder off, but not
    // those the window shows; the tab of the window's own folder keeps them all.
    w().tbrNormal_ButtonClick(ToolbarKey::Close);
    EXPECT_EQ(tabs(), QStringList{"*" + folderTab("1")});
    EXPECT_EQ(thumbnails(), "TT-");
    // Not even for a moment: they go on waiting instead of starting over.
    ASSERT_TRUE(waitUntil([&] {
        return channel("ch.a")->State() == ChannelState::Waiting && channel("ch.b")->State() == ChannelState::Waiting;
    }));
    const int asked = pub.count("/ch.a/info.txt") + pub.count("/ch.b/info.txt");
    w().tbrNormal_ButtonClick(ToolbarKey::Close);
    EXPECT_EQ(thumbnails(), "TT-");
    EXPECT_EQ(channel("ch.a")->State(), ChannelState::Waiting);
    QTest::qWait(100);
    EXPECT_EQ(pub.count("/ch.a/info.txt") + pub.count("/ch.b/info.txt"), asked);
    // A member added while only the window shows the folder fetches at once.
    w().OpenChannelTab("ch.c");
    w().tbrNormal_ButtonMenuClick(w().FolderDropDown()->actions()[0]);
    EXPECT_EQ(folder("1")->Members(), (QStringList{"ch.a", "ch.b", "ch.c"}));
    EXPECT_EQ(thumbnails(), "TTT");
    w().CloseTab(1, false);
    w().OpenMultiMonitorTab("2");
    one->close();
    EXPECT_EQ(thumbnails(), "-TT");
    // Removing the folder of an open window closes the window and its members stop.
    views().OpenFolderWindow("1");
    w().CloseTab(1, true);
    w().tvwChannelSelect()->SetCurrentNode(findNode(NodeKind::MultiMonitorFolder, "1"));
    w().mnuRemoveMultiMonitorFolder_Click();
    EXPECT_TRUE(settle([&] { return views().FolderWindows().isEmpty(); }));
    EXPECT_EQ(thumbnails(), "---");
}

// ---- The tour ----------------------------------------------------------------

TEST_F(Wall, TourShowsEachMembersFullPictureInTurnSkipsAFailingOneAndPausesOnSpace) {
    pub.add({"ch.a", "Alpha", "1", 0, 60, kRed, {320, 240}, {160, 120}, {}});
    pub.add({"ch.b", "Beta", "2", 0, 60, kGreen, {320, 240}, {160, 120}, {}});
    // On the air, but its pictures answer 404.
    pub.add({"ch.c", "Gamma", "3", 0, 60, kGrey, {320, 240}, {160, 120}, {}, true});
    pub.add({"ch.d", "Delta", "4", 0, 60, kBlue, {320, 240}, {160, 120}, {}});
    writeLists({"ch.a", "ch.b", "ch.c", "ch.d"}, {{"監視", {"ch.a", "ch.b", "ch.c", "ch.d"}}});
    f.dir.write("Vantomon.ini", "[Watch]\r\nTourSeconds=2\r\n");
    open();
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] {
        return pictureTypeOfAll({"ch.a", "ch.b", "ch.d"}, PictureKind::Thumbnail) &&
               pub.count("/ch.c/thumb.jpg") >= 1 && channel("ch.c")->IsOnBroadcast();
    }));
    ASSERT_TRUE(waitUntil([&] {
        for (const char* id : {"ch.a", "ch.b", "ch.c", "ch.d"})
            if (channel(id)->State() != ChannelState::Waiting) return false;
        return true;
    }));
    const QStringList before = fullPictures();

    key(&w(), Qt::Key_F5);
    FolderTour* tour = views().MainTour();
    ASSERT_NE(tour, nullptr);
    auto shown = [&](const char* id, int fulls) {
        return waitUntil([&] { return tour->Current() == id && fullPictures().size() == before.size() + fulls; });
    };
    ASSERT_TRUE(shown("ch.a", 1));
    EXPECT_TRUE(views().TourOverlay()->isVisible());
    EXPECT_EQ(views().TourOverlay()->geometry(), w().cntShowBox()->geometry());
    tick();
    EXPECT_EQ(tour->Current(), "ch.a");
    tick();
    ASSERT_TRUE(shown("ch.b", 2));
    EXPECT_EQ(channel("ch.a")->ViewFlag(), 4);  // back to its thumbnail
    tick();
    tick();
    ASSERT_TRUE(shown("ch.d", 3));  // ch.c answers 404 and is passed over
    QTest::qWait(200);
    keep(w().grab().toImage(), "watch-tour.png");

    key(&w(), Qt::Key_Space);
    EXPECT_TRUE(tour->Paused());
    for (int i = 0; i < 5; ++i) tick();
    EXPECT_EQ(tour->Current(), "ch.d");
    key(&w(), Qt::Key_Space);
    tick();
    tick();
    ASSERT_TRUE(shown("ch.a", 4));
    EXPECT_EQ(fullPictures().mid(before.size()), (QStringList{"ch.a", "ch.b", "ch.d", "ch.a"}));
    EXPECT_EQ(pub.count("/ch.c/full.jpg"), 0);

    key(&w(), Qt::Key_Left);
    EXPECT_EQ(tour->Current(), "ch.d");
    key(&w(), Qt::Key_Right);
    EXPECT_EQ(tour->Current(), "ch.a");
    // Full screen, the tour covers the screen; Esc ends the tour first.
    key(&w(), Qt::Key_F11);
    ASSERT_TRUE(settle([&] { return views().TourOverlay()->geometry() == w().ClientArea()->rect(); }));
    key(&w(), Qt::Key_Escape);
    EXPECT_EQ(views().MainTour(), nullptr);
    EXPECT_EQ(views().TourOverlay(), nullptr);
    EXPECT_EQ(channel("ch.a")->ViewFlag(), 4);
    EXPECT_TRUE(views().MainFullScreen()->Active());
    key(&w(), Qt::Key_Escape);
    EXPECT_FALSE(views().MainFullScreen()->Active());
}

// ---- Tiles that fill their cells -----------------------------------------------

TEST_F(Wall, ScaledTilesFillTheirCellsAndOffLeavesTheGridPixelForPixel) {
    pub.add({"ch.a",
             QStringLiteral("とても長い名前の放送局がここに続きます、まだまだ続いてセルの幅を越えます"),
             "1",
             0,
             60,
             kRed,
             {320, 240},
             {160, 120},
             {}});
    pub.add({"ch.b", "Beta", "2", 0, 60, kGreen, {320, 240}, {160, 120}, {}});
    writeLists({"ch.a", "ch.b"}, {{"監視", {"ch.a", "ch.b"}}});
    open();
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll({"ch.a", "ch.b"}, PictureKind::Thumbnail); }));
    ShowAreaWidget* area = w().cntShowBox();
    // Two cells of 400 x 300: 802 - 1 = 801 wide in two columns, 314 - 14 high.
    area->setGeometry(QRect(area->pos(), QSize(802, 314)));
    w().ArrangeThumbnailBox();
    const QList<PictureElement*> boxes = folder("1")->ShowBox();
    EXPECT_EQ(box(boxes[1]), "0,2 160x120");
    EXPECT_EQ(box(boxes[2]), "400,2 160x120");
    const QImage off = area->grab().toImage();
    EXPECT_TRUE(near(off.pixelColor(559, 121), kGreen));
    EXPECT_FALSE(near(off.pixelColor(799, 301), kGreen));

    QAction* tiles = views().Action("mnuScaleTiles");
    tiles->trigger();
    EXPECT_TRUE(w().Watch().ScaleTiles);
    EXPECT_EQ(box(boxes[1]), "0,2 400x300 stretched");
    const QImage on = area->grab().toImage();
    // The picture reaches the cell's far corner, keeping 4:3 (the first
    // cell carries the selection frame on its edge).
    for (const QPoint& p : {QPoint(1, 3), QPoint(398, 300)}) EXPECT_TRUE(near(on.pixelColor(p), kRed));
    for (const QPoint& p : {QPoint(400, 2), QPoint(799, 2), QPoint(400, 301), QPoint(799, 301)})
        EXPECT_TRUE(near(on.pixelColor(p), kGreen)) << p.x() << "," << p.y();
    keep(on, "watch-tiles.png");

    tiles->trigger();
    EXPECT_FALSE(w().Watch().ScaleTiles);
    EXPECT_EQ(box(boxes[1]), "0,2 160x120");
    EXPECT_EQ(area->grab().toImage(), off);
    keep(off, "watch-tiles-off.png");
}

// ---- The last session ------------------------------------------------------------

struct SessionRow {
    const char* name;
    bool restoreTabs;
};
class LastSession : public Wall, public ::testing::WithParamInterface<SessionRow> {};

TEST_P(LastSession, BringsBackTheTabsInOrderWithTheSelectedOneOnlyWhenAsked) {
    const bool on = GetParam().restoreTabs;
    for (const char* id : {"ch.a", "ch.b", "ch.c", "ch.d"}) pub.add({id, id, "", 0, 60, kGrey, {80, 60}, {40, 30}, {}});
    writeLists({"ch.a", "ch.b", "ch.c", "ch.d"}, {{"監視", {"ch.a"}}});
    // The keys of an earlier run, whatever the switch says now.
    f.dir.write("Vantomon.ini", QByteArray("[Watch]\r\nRestoreTabs=") + (on ? "True" : "False") +
                                    "\r\nTabCount=1\r\nTab1=Channel,ch.d\r\nSelectedTab=1\r\nTab7=Channel,stale\r\n");
    auto requests = [&] {
        QStringList counts;
        for (const char* id : {"ch.a", "ch.b", "ch.c", "ch.d"})
            counts << QString::number(pub.count(QStringLiteral("/%1/info.txt").arg(id)));
        return counts;
    };
    open();
    EXPECT_EQ(tabs(), on ? QStringList{"*" + channelTab("ch.d")} : QStringList{"*"});
    ASSERT_TRUE(waitUntil([&] { return requests() == QStringList{"0", "0", "0", on ? "1" : "0"}; }));
    w().CloseTab(1, false);
    w().OpenChannelTab("ch.b");
    w().OpenMultiMonitorTab("1");
    w().OpenChannelTab("ch.c");
    w().OpenMultiMonitorTab("1");  // selects it again
    f.close();
    const QByteArray ini = f.dir.read("Vantomon.ini");
    EXPECT_FALSE(ini.contains("Tab7="));
    EXPECT_EQ(ini.contains("TabCount=3\r\nTab1=Channel,ch.b\r\nTab2=MultiMonitor,1,"), on);
    EXPECT_EQ(ini.contains("Tab1=Channel,ch.d"), false);

    const QStringList earlier = requests();
    open();
    QTest::qWait(300);
    const QStringList later = requests();
    if (on) {
        EXPECT_EQ(tabs(), (QStringList{channelTab("ch.b"), "*" + folderTab("1"), channelTab("ch.c")}));
        for (int i : {0, 1, 2}) EXPECT_GT(later[i].toInt(), earlier[i].toInt()) << i;
    } else {
        EXPECT_EQ(tabs(), QStringList{"*"});
        EXPECT_EQ(later.mid(0, 3), earlier.mid(0, 3));
    }
    EXPECT_EQ(later[3], earlier[3]);  // closed last time, not asked again
}

const SessionRow kSessionRows[] = {{"On", true}, {"Off", false}};
VANTORA_ROWS(LastSession, kSessionRows);

}  // namespace
