#include <gtest/gtest.h>

#include "ViewerFixture.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"

#include <QAction>
#include <QDir>
#include <QTest>

namespace {

QString iniValue(const TempProgramDir& dir, const char* section, const char* key) {
    return mdlFunction::GetIniFrom(dir.file("Vantomon.ini"), QLatin1String(section), QLatin1String(key),
                                   mdlFunction::IniText)
        .toString();
}

TEST(Settings, DefaultsWithoutAnyFile) {
    ViewerFixture f;
    frmMain& w = f.open();
    const QString dir = f.dir.path();
    EXPECT_EQ(w.Settings().ChachDirctory, dir + "/chach/");
    EXPECT_TRUE(QDir(dir + "/chach").exists());  // created at start-up
    EXPECT_EQ(w.Settings().PictureSaveDirctory, dir + "/save/");
    EXPECT_FALSE(QDir(dir + "/save").exists());  // created when a picture is first saved
    EXPECT_TRUE(w.mnuImageResize()[2]->isChecked());
    EXPECT_FALSE(w.mnuImageResize()[0]->isChecked());
    EXPECT_FALSE(w.mnuImageResize()[1]->isChecked());
    EXPECT_EQ(w.Settings().DefaultWaitCount, 60);
    EXPECT_EQ(w.Settings().Timeout, 60);
    EXPECT_EQ(w.Settings().Proxy, QString());
    EXPECT_FALSE(w.Settings().ProxyEnable);
    EXPECT_FALSE(w.mnuShowPictureOnlyOnBroadcast()->isChecked());
    EXPECT_FALSE(w.mnuShowChannelOnlyOnBroadcast()->isChecked());
    EXPECT_TRUE(w.TickEnabled());
    const QSize size = w.size();
    f.close();

    // Exit writes every key with its text, and the lists with their roots.
    EXPECT_EQ(iniValue(f.dir, "General", "ChachDirctory"), dir + "/chach/");
    EXPECT_EQ(iniValue(f.dir, "General", "PictureSaveDirctory"), dir + "/save/");
    EXPECT_EQ(iniValue(f.dir, "General", "ShowLimit"), "False");
    EXPECT_EQ(iniValue(f.dir, "General", "ChannelLimit"), "False");
    EXPECT_EQ(iniValue(f.dir, "General", "ProxyEnable"), "False");
    EXPECT_EQ(iniValue(f.dir, "General", "Proxy"), "");
    EXPECT_EQ(iniValue(f.dir, "General", "Timeout"), "60");
    EXPECT_EQ(iniValue(f.dir, "General", "ImageResize"), "2");
    EXPECT_EQ(iniValue(f.dir, "General", "DefaultWaitCount"), "");  // read, never written
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "Style"), "0");
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "Width"), QString::number(size.width() * 15));
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "Height"), QString::number(size.height() * 15));
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "ResizeX"), "128");
    EXPECT_EQ(f.dir.read("Favorite.txt"), Cp932::encode(QStringLiteral("FavariteRoot\t\tお気に入り\t\tFalse\r\n")));
    EXPECT_EQ(f.dir.read("MultiMonitor.txt"),
              Cp932::encode(QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tFalse\r\n")));
    EXPECT_TRUE(f.dir.exists("ChannelList.txt"));
    EXPECT_EQ(f.dir.read("ChannelList.txt"), QByteArray());
}

TEST(Settings, StoredValuesAndTheirRepairs) {
    ViewerFixture f;
    f.dir.write("Vantomon.ini",
                Cp932::encode(QStringLiteral(
                    "[MainWindow]\r\nResizeX=200\r\nWidth=12000\r\nHeight=9000\r\nStyle=7\r\n"
                    "[General]\r\nChachDirctory=%1/キャッシュ\r\nPictureSaveDirctory=%1/保存\r\nImageResize=9\r\n"
                    "DefaultWaitCount=-3\r\nProxy=proxy.example:8080\r\nTimeout=abc\r\nProxyEnable=true\r\n"
                    "ShowLimit=-1\r\nChannelLimit=1\r\n")
                                  .arg(f.dir.path())));
    frmMain& w = f.open();
    EXPECT_EQ(w.Settings().ChachDirctory, f.dir.path() + QStringLiteral("/キャッシュ/"));
    EXPECT_TRUE(QDir(f.dir.path() + QStringLiteral("/キャッシュ")).exists());
    EXPECT_EQ(w.Settings().PictureSaveDirctory, f.dir.path() + QStringLiteral("/保存/"));
    EXPECT_TRUE(w.mnuImageResize()[2]->isChecked());  // out of range: clamped
    EXPECT_EQ(w.Settings().DefaultWaitCount, 60);
    EXPECT_EQ(w.Settings().Timeout, 60);
    EXPECT_EQ(w.Settings().Proxy, "proxy.example:8080");
    EXPECT_TRUE(w.Settings().ProxyEnable);
    EXPECT_TRUE(w.mnuShowPictureOnlyOnBroadcast()->isChecked());
    EXPECT_TRUE(w.mnuShowChannelOnlyOnBroadcast()->isChecked());
    EXPECT_EQ(w.size(), QSize(800, 600));
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);  // Style 7 clamped to 2
    EXPECT_EQ(w.Geometry().Splitter.x(), 200);
    f.close();
    // The maximised window writes Style 2 and its normal size.
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "Style"), "2");
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "Width"), "12000");
    EXPECT_EQ(iniValue(f.dir, "MainWindow", "Height"), "9000");
    EXPECT_EQ(iniValue(f.dir, "General", "Timeout"), "60");
    EXPECT_EQ(iniValue(f.dir, "General", "ImageResize"), "2");
    EXPECT_EQ(iniValue(f.dir, "General", "ShowLimit"), "True");
    EXPECT_EQ(iniValue(f.dir, "General", "PictureSaveDirctory"), f.dir.path() + QStringLiteral("/保存/"));
    // The hand-written key that is never written keeps its line.
    EXPECT_EQ(iniValue(f.dir, "General", "DefaultWaitCount"), "-3");
}

TEST(Settings, ExitTwiceWritesOnceAndAFailedWriteIsReported) {
    ViewerFixture f;
    frmMain& w = f.open();
    // A folder where the favourites file should be: the write must fail and
    // the user is told; the other files are still written.
    QDir().mkpath(f.dir.file("Favorite.txt"));
    w.close();
    w.close();
    EXPECT_EQ(w.SaveSettingRuns(), 1);
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].startsWith(QStringLiteral("保存エラー: ")));
    EXPECT_TRUE(f.messages[0].contains("Favorite.txt"));
    EXPECT_TRUE(f.dir.exists("MultiMonitor.txt"));
    EXPECT_TRUE(f.dir.exists("Vantomon.ini"));
}

}  // namespace
