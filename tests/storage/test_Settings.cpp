#include <gtest/gtest.h>

#include "ChannelPublisher.h"
#include "Rows.h"
#include "ViewerFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/WatchSettings.h"

#include <QAction>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

namespace {

// Each key of Vantomon.ini holds its text ("" for a key not written).
void expectIni(const TempProgramDir& dir, std::initializer_list<std::tuple<const char*, const char*, QString>> keys) {
    for (const auto& [section, key, text] : keys)
        EXPECT_EQ(mdlFunction::GetIniFrom(dir.file("Vantomon.ini"), QLatin1String(section), QLatin1String(key),
                                          mdlFunction::IniText)
                      .toString(),
                  text)
            << section << "/" << key;
}

TEST(Settings, DefaultsWithoutAnyFileAndTheFilesExitWrites) {
    ViewerFixture f;
    f.open();
    const QString dir = f.dir.path();
    EXPECT_TRUE(QDir(dir + "/chach").exists());  // created at start-up
    EXPECT_FALSE(QDir(dir + "/save").exists());  // created when a picture is first saved
    f.close();

    // Exit writes every key with its text.
    expectIni(f.dir, {{"General", "ChachDirctory", dir + "/chach/"},
                      {"General", "PictureSaveDirctory", dir + "/save/"},
                      {"General", "ShowLimit", "False"},
                      {"General", "ChannelLimit", "False"},
                      {"General", "ProxyEnable", "False"},
                      {"General", "Proxy", ""},
                      {"General", "Timeout", "60"},
                      {"General", "ImageResize", "2"},
                      {"General", "DefaultWaitCount", ""},  // read, never written
                      {"MainWindow", "Style", "0"},
                      {"MainWindow", "ResizeX", "128"}});
    EXPECT_EQ(f.dir.read("Favorite.txt"), Cp932::encode(QStringLiteral("FavariteRoot\t\tお気に入り\t\tFalse\r\n")));
    EXPECT_EQ(f.dir.read("MultiMonitor.txt"),
              Cp932::encode(QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tFalse\r\n")));
    EXPECT_TRUE(f.dir.exists("ChannelList.txt"));
    EXPECT_EQ(f.dir.read("ChannelList.txt"), QByteArray());
}

TEST(Settings, StoredValuesAndTheirRepairs) {
    ViewerFixture f;
    f.dir.write(
        "Vantomon.ini",
        Cp932::encode(QStringLiteral(
                          "[MainWindow]\r\nResizeX=200\r\nWidth=11400\r\nHeight=9000\r\nStyle=7\r\n"
                          "[General]\r\nChachDirctory=%1/キャッシュ\r\nPictureSaveDirctory=%1/保存\r\nImageResize=9\r\n"
                          "DefaultWaitCount=-3\r\nProxy=proxy.example:8080\r\nTimeout=abc\r\nProxyEnable=true\r\n"
                          "ShowLimit=-1\r\nChannelLimit=1\r\n")
                          .arg(f.dir.path())));
    frmMain& w = f.open();
    EXPECT_TRUE(QDir(f.dir.path() + QStringLiteral("/キャッシュ")).exists());
    EXPECT_EQ(w.Settings().DefaultWaitCount, 60);  // negative: the default
    EXPECT_EQ(w.size(), QSize(760, 600));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);  // Style 7 clamped to 2
    EXPECT_EQ(w.Geometry().Splitter.x(), 200);
    f.close();
    // The maximised window writes its normal size; an unwritten key stays.
    expectIni(f.dir, {{"MainWindow", "Style", "2"},
                      {"MainWindow", "Width", "11400"},
                      {"MainWindow", "Height", "9000"},
                      {"General", "Timeout", "60"},
                      {"General", "ImageResize", "2"},
                      {"General", "ShowLimit", "True"},
                      {"General", "ChannelLimit", "True"},
                      {"General", "ProxyEnable", "True"},
                      {"General", "Proxy", "proxy.example:8080"},
                      {"General", "ChachDirctory", f.dir.path() + QStringLiteral("/キャッシュ/")},
                      {"General", "PictureSaveDirctory", f.dir.path() + QStringLiteral("/保存/")},
                      {"General", "DefaultWaitCount", "-3"}});
}

// The section the viewer adds: what each stored text reads as, and what
// exit writes back for it.
struct WatchRow {
    const char *name, *stored;
    WatchSettings read;
    const char* written;  // the whole section as exit writes it
};
class WatchKeys : public ::testing::TestWithParam<WatchRow> {};

TEST_P(WatchKeys, ReadAsDefaultsWhenBadAndWrittenWellFormed) {
    ViewerFixture f;
    f.dir.write("Vantomon.ini", QByteArray("[General]\r\nTimeout=30\r\n[Watch]\r\n") + GetParam().stored);
    frmMain& w = f.open();
    const WatchSettings& got = w.Watch();
    const WatchSettings& want = GetParam().read;
    EXPECT_EQ(std::tie(got.StatusOverlay, got.NotifyOnAir, got.NotifyFailure, got.NotifyFailureMinutes, got.ScaleTiles,
                       got.TourSeconds, got.RestoreTabs),
              std::tie(want.StatusOverlay, want.NotifyOnAir, want.NotifyFailure, want.NotifyFailureMinutes,
                       want.ScaleTiles, want.TourSeconds, want.RestoreTabs));
    f.close();
    const QByteArray ini = f.dir.read("Vantomon.ini");
    EXPECT_TRUE(ini.contains(QByteArray("[Watch]\r\n") + GetParam().written)) << ini.constData();
    expectIni(f.dir, {{"General", "Timeout", "30"}});  // the specified sections are left as they were
}

const WatchRow kWatchRows[] = {
    {"Missing", "", WatchSettings{},
     "StatusOverlay=True\r\nNotifyOnAir=False\r\nNotifyFailure=False\r\nNotifyFailureMinutes=2\r\n"
     "ScaleTiles=False\r\nTourSeconds=10\r\nRestoreTabs=False\r\n"},
    {"StoredValuesKept",
     "statusoverlay=false\r\nNotifyOnAir=1\r\nNotifyFailure=TRUE\r\nNotifyFailureMinutes=1440\r\n"
     "ScaleTiles=-1\r\nTourSeconds=2\r\nRestoreTabs=True\r\n",
     WatchSettings{false, true, true, 1440, true, 2, true},
     "StatusOverlay=False\r\nNotifyOnAir=True\r\nNotifyFailure=True\r\nNotifyFailureMinutes=1440\r\n"
     "ScaleTiles=True\r\nTourSeconds=2\r\nRestoreTabs=True\r\n"},
    {"BadValuesGiveDefaults",
     "StatusOverlay=ja\r\nNotifyOnAir=\r\nNotifyFailureMinutes=0\r\nTourSeconds=3601\r\nScaleTiles=0x1\r\n"
     "RestoreTabs=yes\r\n",
     WatchSettings{},
     "StatusOverlay=True\r\nNotifyOnAir=False\r\nNotifyFailureMinutes=2\r\nTourSeconds=10\r\nScaleTiles=False\r\n"
     "RestoreTabs=False\r\nNotifyFailure=False\r\n"},
};
VANTORA_ROWS(WatchKeys, kWatchRows);

// A stored size, and the size and splitter the window takes. The offscreen
// screen is 800 x 800, and its windows have 2-pixel frames.
struct Stored {
    const char *name, *keys;
    QSize size;
    int splitter;
};
class StoredSizes : public ::testing::TestWithParam<Stored> {};

TEST_P(StoredSizes, AreFittedIntoTheScreen) {
    ViewerFixture f;
    f.dir.write("Vantomon.ini", QByteArray("[MainWindow]\r\n") + GetParam().keys + "\r\n");
    frmMain& w = f.open();
    EXPECT_EQ(w.size(), GetParam().size);
    EXPECT_EQ(w.Geometry().Splitter.x(), GetParam().splitter);
    f.close();
    expectIni(f.dir, {{"MainWindow", "Width", QString::number(GetParam().size.width() * 15)},
                      {"MainWindow", "Height", QString::number(GetParam().size.height() * 15)},
                      {"MainWindow", "ResizeX", QString::number(GetParam().splitter)}});
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StoredSizes,
    ::testing::Values(
        Stored{"AsStored", "Width=9000\r\nHeight=6000\r\nResizeX=300", {600, 400}, 300},
        Stored{"JustFits", "Width=11940\r\nHeight=11940\r\nResizeX=780", {796, 796}, 780},
        Stored{"ShrinksWithTheSplitterInReach", "Width=30000\r\nHeight=7500\r\nResizeX=1500", {796, 500}, 786},
        // No minimum window size; a splitter past a window that was not shrunk stays as read.
        Stored{"Tiny", "Width=900\r\nHeight=600\r\nResizeX=20", {60, 40}, 20},
        Stored{"SplitterPastAWindowThatFits", "Width=9000\r\nHeight=6000\r\nResizeX=700", {600, 400}, 700}),
    kRowName);

// Folder settings carried over from Windows, or relative: started from
// another folder, the viewer creates nothing there, caches and saves into
// the default folders, and writes the values back exactly as they were read.
struct Foreign {
    const char* name;
    QByteArray cache, save;
};
class ForeignFolders : public ::testing::TestWithParam<Foreign> {};

TEST_P(ForeignFolders, AreNotUsedAndComeBackAsRead) {
    ChannelPublisher pub;
    pub.add({"ch.a", QStringLiteral("局"), "1", 0, 1, QColor(200, 40, 40), {80, 60}, {40, 30}, {}});
    ViewerFixture f;
    f.dir.write("ChannelList.txt", ListFileBytes({"Node\tGroup\tTrue", "\tChannelList\t\tList\t\tTrue\t\thttp://l/",
                                                  pub.record("ch.a", 2, /*save=*/true)}));
    const QByteArray ini = "[General]\r\nChachDirctory=" + GetParam().cache +
                           "\r\nPictureSaveDirctory=" + GetParam().save + "\r\nTimeout=5\r\n";
    f.dir.write("Vantomon.ini", ini);
    QTemporaryDir started;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(started.path()));
    frmMain& w = f.open();
    w.OpenChannelTab("ch.a");
    const bool saved = QTest::qWaitFor(
        [&] {
            w.tmrCauseOneSecEvent_Timer();
            return !QDir(f.dir.file("save/ch.a")).entryList(QDir::Files).isEmpty();
        },
        10000);
    f.close();
    QDir::setCurrent(before);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(f.dir.exists("chach/ch.a.jpg"));
    EXPECT_EQ(QDir(started.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    const QByteArray written = f.dir.read("Vantomon.ini");
    EXPECT_TRUE(written.contains("\r\nChachDirctory=" + GetParam().cache + "\r\n")) << written.toStdString();
    EXPECT_TRUE(written.contains("\r\nPictureSaveDirctory=" + GetParam().save + "\r\n")) << written.toStdString();
}

const Foreign kForeign[] = {{"windows", "C:\\Program Files\\Vantora\\chach\\", "C:\\Program Files\\Vantora\\save\\"},
                            {"drive_with_slashes", "D:/vantora/chach/", "D:/vantora/save/"},
                            {"relative", "chach\\", "pictures/saved"},
                            {"home_shorthand", "~/chach/", "~/save/"}};
VANTORA_ROWS(ForeignFolders, kForeign);

}  // namespace
