// The start-up check on a real X server (an Xvfb of the test's own), with
// and without a window manager: windows of other processes, and Listmender
// itself as the user starts it.

#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "XvfbSession.h"
#include "updater/RunningViewer.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

using updater::FindX11TopLevelWindow;
using updater::X11Answer;
const QString kUpdaterTitle = QStringLiteral("Vantora  -  チャンネルの更新");

// Parameter: whether openbox manages the display.
class UpdaterX11Test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam() && QStandardPaths::findExecutable("openbox").isEmpty())
            GTEST_SKIP() << "openbox is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(x.Ok()) << "no Xvfb";
        if (GetParam()) {
            wm.setProcessEnvironment(x.Environment());
            wm.start(QStringLiteral("openbox"), {"--sm-disable"});
            ASSERT_TRUE(wm.waitForStarted(10000));
            // The manager is up once it announces itself on the root.
            QString root;
            ASSERT_TRUE(QTest::qWaitFor(
                [&] {
                    return x.Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, &root) == 0 &&
                           root.contains("window id");
                },
                15000))
                << wm.readAllStandardError().toStdString();
        }
    }
    void TearDown() override {
        for (auto& p : windows) {
            p->kill();
            p->waitForFinished(5000);
        }
        wm.kill();
        wm.waitForFinished(5000);
    }

    QByteArray display() const { return x.Display().toLatin1(); }
    X11Answer find(const QString& title, uint32_t* window = nullptr) const {
        return FindX11TopLevelWindow(title, display(), window);
    }
    // Waits for a top-level window of exactly that title; 0 when none came.
    uint32_t waitForWindow(const QString& title) const {
        uint32_t window = 0;
        return QTest::qWaitFor([&] { return find(title, &window) == X11Answer::Found; }, 15000) ? window : 0;
    }

    // A top-level window titled title, shown by another process.
    void showWindow(const QString& title) {
        windows.push_back(std::make_unique<QProcess>());
        QProcess& p = *windows.back();
        p.setProcessEnvironment(x.Environment());
        p.start(QStringLiteral(UPDATER_TEST_HELPER), {"window", title});
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_NE(waitForWindow(title), 0u) << title.toStdString() << ": " << p.readAllStandardError().toStdString();
    }

    // Listmender copied into its own program folder, as a user installs it.
    void startListmender(QProcess& process) {
        const QString program = dir.file("Listmender");
        ASSERT_TRUE(QFile::exists(program) || QFile::copy(QStringLiteral(LISTMENDER), program));
        QProcessEnvironment env = x.Environment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());  // its own viewer lock folder
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Clicks the close box of window until its process ends; a window that
    // has just appeared may miss the first click on a loaded machine.
    bool closeUntilFinished(uint32_t window, QProcess& process) {
        for (int i = 0; i < 30; ++i) {
            x.CloseWindow(window);
            if (process.waitForFinished(500))
                return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        }
        return false;
    }

    XvfbSession x;
    QProcess wm;
    std::vector<std::unique_ptr<QProcess>> windows;
    TempProgramDir dir;
    QTemporaryDir runtime;
};

// A window titled exactly "Vantora" in another process makes Listmender
// refuse and leave ChannelList.txt alone. Once it is gone, titles that only
// begin with "Vantora" (Listmender's own among them) or differ in case do
// not count: Listmender runs, loads and saves.
TEST_P(UpdaterX11Test, ListmenderRefusesOnlyWhileAWindowTitledVantoraExists) {
    const QByteArray file = "ChannelList\t\tl\t\ttrue\t\tu\r\n";
    dir.write("ChannelList.txt", file);
    const QDateTime written = QFileInfo(dir.file("ChannelList.txt")).lastModified();
    showWindow("Vantora");
    QProcess refused;
    startListmender(refused);
    const uint32_t box = waitForWindow(QStringLiteral("起動エラー"));
    ASSERT_NE(box, 0u) << refused.readAllStandardError().toStdString();
    EXPECT_EQ(find(kUpdaterTitle), X11Answer::NotFound);
    ASSERT_TRUE(closeUntilFinished(box, refused));
    EXPECT_EQ(dir.read("ChannelList.txt"), file);
    EXPECT_EQ(QFileInfo(dir.file("ChannelList.txt")).lastModified(), written);

    windows.back()->kill();  // the window goes with its process
    EXPECT_TRUE(QTest::qWaitFor([&] { return find("Vantora") == X11Answer::NotFound; }, 15000));
    showWindow("Vantora2");
    QProcess listmender;
    startListmender(listmender);
    const uint32_t main = waitForWindow(kUpdaterTitle);
    ASSERT_NE(main, 0u) << listmender.readAllStandardError().toStdString();
    for (const char* title : {"Vantora", "Vantor", "vantora2"}) EXPECT_EQ(find(title), X11Answer::NotFound) << title;
    ASSERT_TRUE(closeUntilFinished(main, listmender));
    EXPECT_EQ(dir.read("ChannelList.txt"), "ChannelList\t\tl\t\tTrue\t\tu\r\n");
}

INSTANTIATE_TEST_SUITE_P(WindowManager, UpdaterX11Test, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Openbox") : std::string("NoWindowManager");
                         });

TEST(UpdaterX11, AnUnreachableServerIsSaidSo) {
    EXPECT_EQ(FindX11TopLevelWindow("Vantora", ":4711"), X11Answer::Unreachable);
}

}  // namespace
