// The start-up check on an Xvfb of the test's own, with and without a
// window manager.

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

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using updater::FindX11TopLevelWindow;
using updater::X11Answer;
const QString kUpdaterTitle = QStringLiteral("Vantora  -  チャンネルの更新");
const QString kRefused = QStringLiteral("起動エラー");
const QByteArray kFile = "ChannelList\t\tl\t\ttrue\t\tu\r\n";
const QByteArray kSaved = "ChannelList\t\tl\t\tTrue\t\tu\r\n";  // as Listmender writes it

// A window that has just appeared may miss the first click on a loaded machine.
bool closeUntilFinished(const XvfbSession& x, uint32_t window, QProcess& process) {
    for (int i = 0; i < 30; ++i) {
        x.CloseWindow(window);
        if (process.waitForFinished(500))
            return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }
    return false;
}

// Parameter: whether openbox manages the display.
class UpdaterX11Test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam() && QStandardPaths::findExecutable("openbox").isEmpty())
            GTEST_SKIP() << "openbox is not installed (scripts/setup.sh installs it)";
        ASSERT_TRUE(x.Ok()) << "no Xvfb";
        dir.write("ChannelList.txt", kFile);
        if (!GetParam()) return;
        ASSERT_TRUE(x.StartWindowManager(wm)) << wm.readAllStandardError().toStdString();
    }
    void TearDown() override {
        for (auto& p : processes) p->kill(), p->waitForFinished(5000);
        wm.kill();
        wm.waitForFinished(5000);
    }

    X11Answer find(const QString& title, uint32_t* window = nullptr) const {
        return FindX11TopLevelWindow(title, x.Display().toLatin1(), window);
    }
    uint32_t waitForWindow(const QString& title) const {
        uint32_t window = 0;
        return QTest::qWaitFor([&] { return find(title, &window) == X11Answer::Found; }, 15000) ? window : 0;
    }
    QProcess& start(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
        processes.push_back(std::make_unique<QProcess>());
        QProcess& p = *processes.back();
        p.setProcessEnvironment(env);
        p.start(program, args);
        EXPECT_TRUE(p.waitForStarted(10000)) << program.toStdString();
        return p;
    }
    // Listmender in its own program folder, started and closed again.
    void runListmender(bool refused) {
        const QString program = dir.file("Listmender");
        ASSERT_TRUE(QFile::exists(program) || QFile::copy(QStringLiteral(LISTMENDER), program));
        QProcessEnvironment env = x.Environment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());  // its own viewer lock folder
        QProcess& listmender = start(program, {}, env);
        const uint32_t window = waitForWindow(refused ? kRefused : kUpdaterTitle);
        ASSERT_NE(window, 0u) << listmender.readAllStandardError().toStdString();
        if (refused) {
            EXPECT_EQ(find(kUpdaterTitle), X11Answer::NotFound);
        }
        ASSERT_TRUE(closeUntilFinished(x, window, listmender));
        EXPECT_EQ(dir.read("ChannelList.txt"), refused ? kFile : kSaved);
    }

    XvfbSession x;
    QProcess wm;
    std::vector<std::unique_ptr<QProcess>> processes;
    TempProgramDir dir;
    QTemporaryDir runtime;
};

// Only a title exactly "Vantora" counts; the refusal leaves the file untouched.
TEST_P(UpdaterX11Test, ListmenderRefusesOnlyWhileAWindowTitledVantoraExists) {
    const QDateTime written = QFileInfo(dir.file("ChannelList.txt")).lastModified();
    QProcess& vantora = start(QStringLiteral(UPDATER_TEST_HELPER), {"Vantora"}, x.Environment());
    ASSERT_NE(waitForWindow("Vantora"), 0u);
    runListmender(true);
    EXPECT_EQ(QFileInfo(dir.file("ChannelList.txt")).lastModified(), written);

    vantora.kill();  // the window goes with its process
    EXPECT_TRUE(QTest::qWaitFor([&] { return find("Vantora") == X11Answer::NotFound; }, 15000));
    start(QStringLiteral(UPDATER_TEST_HELPER), {"Vantora2"}, x.Environment());
    ASSERT_NE(waitForWindow("Vantora2"), 0u);
    for (const char* title : {"Vantora", "Vantor", "vantora2"}) EXPECT_EQ(find(title), X11Answer::NotFound) << title;
    runListmender(false);
}

INSTANTIATE_TEST_SUITE_P(WindowManager, UpdaterX11Test, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Openbox") : std::string("NoWindowManager");
                         });

// Run by a user who may not write the program folder (nobody under root),
// both keep their files in a private $XDG_DATA_HOME/vantora; Listmender
// refuses beside a viewer of that folder that has no window.
TEST(UpdaterX11DataFolder, AReadOnlyProgramFolderKeepsTheFilesInTheUsersDataFolder) {
    XvfbSession x;
    ASSERT_TRUE(x.Ok());
    const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    const uid_t uid = nobody ? nobody->pw_uid : ::getuid();
    const gid_t gid = nobody ? nobody->pw_gid : ::getgid();
    QTemporaryDir programs, home;
    for (const char* program : {VANTOMON, LISTMENDER})
        ASSERT_TRUE(QFile::copy(program, programs.filePath(QFileInfo(program).fileName())));
    ASSERT_TRUE(QDir(home.path()).mkdir("run"));
    for (const QString& folder : {home.path(), home.filePath("run")})
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), uid, gid), 0);
    // Root's folder is read-only to nobody; our own must lose its write bit.
    ASSERT_EQ(::chmod(QFile::encodeName(programs.path()).constData(), nobody ? 0755 : 0555), 0);
    const QString data = home.filePath("data/vantora");
    QProcessEnvironment env = x.Environment();
    env.insert("HOME", home.path());
    env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    auto start = [&](QProcess& p, const char* program, const QProcessEnvironment& e) {
        p.setProcessEnvironment(e);
        const QStringList asNobody = {"--reuid=" + QString::number(uid), "--regid=" + QString::number(gid),
                                      "--clear-groups", "--"};
        nobody ? p.start("setpriv", asNobody + QStringList{programs.filePath(program)})
               : p.start(programs.filePath(program), {});
        ASSERT_TRUE(p.waitForStarted(10000));
    };

    QProcess viewer, refused, listmender;
    QProcessEnvironment offscreen = env;
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");  // no window: only the lock tells
    start(viewer, "Vantomon", offscreen);
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(data + "/chach"); }, 15000));
    start(refused, "Listmender", env);
    const quint32 box = x.WaitForWindow("^" + kRefused + "$");
    EXPECT_NE(box, 0u);
    EXPECT_TRUE(box && closeUntilFinished(x, box, refused));
    viewer.terminate();  // closes the window the normal way: the files are written
    ASSERT_TRUE(viewer.waitForFinished(10000));
    for (const char* name : {"Vantomon.ini", "ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"})
        EXPECT_TRUE(QFileInfo::exists(data + "/" + name)) << name;
    EXPECT_EQ(QFileInfo(data).permissions() & QFile::ReadOther, 0);  // private to the user

    QFile list(data + "/ChannelList.txt");
    ASSERT_TRUE(list.open(QIODevice::WriteOnly) && list.write(kFile) > 0);
    list.close();
    start(listmender, "Listmender", env);
    const quint32 window = x.WaitForWindow(QStringLiteral("^Vantora  -  "));
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(closeUntilFinished(x, window, listmender));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), kSaved);
    EXPECT_EQ(QDir(programs.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{"Listmender", "Vantomon"}));
    ::chmod(QFile::encodeName(programs.path()).constData(), 0755);  // so it can be removed
}

// From the keyboard alone (xdotool keys): Shift+F10 and the Menu key open a
// list's popup, Delete asks to remove it, and the search finds one by name.
TEST(UpdaterX11Keys, ListsAreRemovedFromTheKeyboard) {
    XvfbSession x;
    ASSERT_TRUE(x.Ok());
    TempProgramDir dir;
    QTemporaryDir runtime;
    dir.write("ChannelList.txt",
              "Node\tg\tTrue\r\n\tChannelList\t\tone\t\tTrue\t\thttp://h/1\r\n"
              "\t\tChannel\t\tp\t\tc\t\tn\t\thttp://h/i\t\tFalse\r\n"
              "ChannelList\t\ttwo\t\tTrue\t\thttp://h/2\r\nChannelList\t\tthree\t\tTrue\t\thttp://h/3\r\n");
    ASSERT_TRUE(QFile::copy(QStringLiteral(LISTMENDER), dir.file("Listmender")));
    QProcessEnvironment env = x.Environment();
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    QProcess listmender;
    listmender.setProcessEnvironment(env);
    listmender.start(dir.file("Listmender"), {});
    const quint32 window = x.WaitForWindow(QStringLiteral("^Vantora  -  "));
    ASSERT_NE(window, 0u);
    QTest::qWait(500);
    // A click below the rows focuses the tree and leaves the pointer over the window.
    x.Click(x.WindowGeometry(window).topLeft() + QPoint(100, 300));
    auto keys = [&](const QStringList& sequence) {
        for (const QString& k : sequence) {
            x.Key(k);
            QTest::qWait(200);
        }
    };
    auto confirm = [&](const char* answer) {
        const quint32 box = x.WaitForWindow(QStringLiteral("^チャンネルリストの削除$"), 10000);
        QTest::qWait(300);
        keys({answer});
        return box != 0;
    };
    // Rows: g, one, its channel, two, three.
    keys({"Home", "Down", "shift+F10", "Down", "Down", "Down", "Return"});
    EXPECT_TRUE(confirm("Return")) << "Shift+F10 on a list: no removal asked";
    keys({"Home", "Down", "Delete"});
    EXPECT_TRUE(confirm("Escape")) << "Delete on a list: no removal asked";
    keys({"Down", "Menu", "Down", "Down", "Down", "Return"});
    EXPECT_TRUE(confirm("Return")) << "the Menu key on a list: no removal asked";
    keys({"ctrl+f"});
    x.TypeText("two");
    keys({"Down", "Delete"});
    EXPECT_TRUE(confirm("Return")) << "Delete on a found list: no removal asked";
    ASSERT_TRUE(closeUntilFinished(x, window, listmender));
    EXPECT_EQ(dir.read("ChannelList.txt"), "Node\tg\tTrue\r\n");
}

TEST(UpdaterX11, AnUnreachableServerIsSaidSo) {
    EXPECT_EQ(FindX11TopLevelWindow("Vantora", ":4711"), X11Answer::Unreachable);
}

}  // namespace
