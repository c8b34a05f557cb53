// The start-up check on a real X server (Xvfb started here), with and
// without a window manager: windows of other processes, and Listmender
// itself as the user starts it.

#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "updater/RunningViewer.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

using updater::FindX11TopLevelWindow;
using updater::X11Answer;

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* r =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
}

// An Xvfb of our own, optionally with openbox managing it.
class XServer {
public:
    explicit XServer(bool withWindowManager) {
        // A display number away from the low ones that other X servers on
        // this machine pick first; a taken one makes Xvfb exit at once.
        for (int attempt = 0; attempt < 20 && display_.isEmpty(); ++attempt) {
            const int number = QRandomGenerator::global()->bounded(1000, 30000);
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) continue;
            const QByteArray name = ":" + QByteArray::number(number);
            xvfb_.setProgram(QStringLiteral("Xvfb"));
            // -noreset: our short lookups would otherwise reset the server each
            // time the last client leaves, refusing connections meanwhile.
            xvfb_.setArguments({QString::fromLatin1(name), "-noreset", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
            xvfb_.start();
            if (!xvfb_.waitForStarted(10000)) return;
            const bool up = QTest::qWaitFor(
                [&] { return xvfb_.state() != QProcess::Running || reachable(name); }, 15000);
            if (up && xvfb_.state() == QProcess::Running) {
                display_ = name;
            } else if (xvfb_.state() != QProcess::NotRunning) {
                xvfb_.kill();
                xvfb_.waitForFinished(5000);
            }
        }
        if (display_.isEmpty()) return;
        if (withWindowManager) {
            wm_.setProcessEnvironment(environment());
            wm_.start(QStringLiteral("openbox"), {"--sm-disable"});
            if (!wm_.waitForStarted(10000)) return;
            // The manager is up once it announces itself on the root.
            if (!QTest::qWaitFor([this] { return rootHas("_NET_SUPPORTING_WM_CHECK"); }, 15000)) return;
        }
        ok_ = true;
    }
    ~XServer() {
        for (QProcess* p : {&wm_, &xvfb_}) {
            if (p->state() == QProcess::NotRunning) continue;
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    bool ok() const { return ok_; }
    static bool reachable(const QByteArray& name) {
        xcb_connection_t* c = xcb_connect(name.constData(), nullptr);
        const bool ok = !xcb_connection_has_error(c);
        xcb_disconnect(c);
        return ok;
    }
    std::string diagnostics() {
        return "Xvfb " + display_.toStdString() + (xvfb_.state() == QProcess::Running ? " running: " : " ended: ") +
               xvfb_.readAllStandardError().toStdString() + " | wm: " + wm_.readAllStandardError().toStdString() +
               ";";
    }
    QByteArray display() const { return display_; }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromLatin1(display_));
        env.insert("QT_QPA_PLATFORM", "xcb");
        return env;
    }

    bool rootHas(const char* property) const {
        xcb_connection_t* c = xcb_connect(display_.constData(), nullptr);
        bool has = false;
        if (!xcb_connection_has_error(c)) {
            const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
            xcb_get_property_reply_t* r = xcb_get_property_reply(
                c, xcb_get_property(c, 0, root, atom(c, property), XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
            has = r && r->type != XCB_ATOM_NONE;
            std::free(r);
        }
        xcb_disconnect(c);
        return has;
    }

    bool viewable(uint32_t window) const {
        xcb_connection_t* c = xcb_connect(display_.constData(), nullptr);
        xcb_get_window_attributes_reply_t* r =
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
        const bool mapped = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(r);
        xcb_disconnect(c);
        return mapped;
    }

    // What the close box does: WM_DELETE_WINDOW to the window, once it is
    // on the screen.
    void closeWindow(uint32_t window) const {
        (void)QTest::qWaitFor([&] { return viewable(window); }, 10000);
        xcb_connection_t* c = xcb_connect(display_.constData(), nullptr);
        xcb_client_message_event_t ev;
        std::memset(&ev, 0, sizeof ev);
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = window;
        ev.type = atom(c, "WM_PROTOCOLS");
        ev.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
        ev.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
        xcb_flush(c);
        xcb_disconnect(c);
    }

    // Waits for a top-level window of exactly that title; 0 when none came.
    uint32_t waitForWindow(const QString& title, int ms = 15000) const {
        uint32_t window = 0;
        const bool found =
            QTest::qWaitFor([&] { return FindX11TopLevelWindow(title, display_, &window) == X11Answer::Found; }, ms);
        return found ? window : 0;
    }

private:
    QProcess xvfb_;
    QProcess wm_;
    QByteArray display_;
    bool ok_ = false;
};

class UpdaterX11Test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam() && QStandardPaths::findExecutable("openbox").isEmpty())
            GTEST_SKIP() << "openbox is not installed (scripts/setup.sh installs it)";
        x = std::make_unique<XServer>(GetParam());
        ASSERT_TRUE(x->ok()) << "no Xvfb: " << x->diagnostics();
    }
    void TearDown() override {
        for (auto& p : windows) {
            p->kill();
            p->waitForFinished(5000);
        }
        windows.clear();
        x.reset();
    }

    // A top-level window titled title, shown by another process.
    void showWindow(const QString& title) {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(x->environment());
        p->start(QStringLiteral(UPDATER_TEST_HELPER), {"window", title});
        ASSERT_TRUE(p->waitForStarted(10000));
        windows.push_back(std::move(p));
        ASSERT_NE(x->waitForWindow(title), 0u)
            << title.toStdString() << ": " << windows.back()->readAllStandardError().toStdString() << x->diagnostics();
    }

    // Listmender copied into its own program folder, as a user installs it.
    void startListmender(QProcess& process) {
        const QString program = dir.file("Listmender");
        ASSERT_TRUE(QFile::copy(QStringLiteral(LISTMENDER), program));
        QProcessEnvironment env = x->environment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());  // its own viewer lock folder
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(program, {});
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    // Clicks the close box of window until its process ends. A window
    // that has just appeared may not take the first click on a loaded
    // machine, so the click is repeated as a user would.
    bool closeUntilFinished(uint32_t window, QProcess& process) {
        for (int i = 0; i < 30; ++i) {
            x->closeWindow(window);
            if (process.waitForFinished(500)) return true;
        }
        return false;
    }

    std::unique_ptr<XServer> x;
    std::vector<std::unique_ptr<QProcess>> windows;
    TempProgramDir dir;
    QTemporaryDir runtime;
};

TEST_P(UpdaterX11Test, OnlyTheWholeTitleIsFound) {
    showWindow("Vantora2");
    showWindow(QStringLiteral("Vantora  -  チャンネルの更新"));
    showWindow(QStringLiteral("起動エラー"));
    EXPECT_EQ(FindX11TopLevelWindow("Vantora", x->display()), X11Answer::NotFound);
    EXPECT_EQ(FindX11TopLevelWindow("Vantor", x->display()), X11Answer::NotFound);
    EXPECT_EQ(FindX11TopLevelWindow("vantora2", x->display()), X11Answer::NotFound);

    showWindow("Vantora");
    uint32_t viewer = 0;
    EXPECT_EQ(FindX11TopLevelWindow("Vantora", x->display(), &viewer), X11Answer::Found);
    EXPECT_NE(viewer, 0u);

    // Gone with its process.
    windows.back()->kill();
    windows.back()->waitForFinished(5000);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return FindX11TopLevelWindow("Vantora", x->display()) == X11Answer::NotFound; }, 15000));
}

TEST_P(UpdaterX11Test, ListmenderRefusesWhileTheViewerWindowExists) {
    const QByteArray file = "ChannelList\t\tl\t\ttrue\t\tu\r\n";
    dir.write("ChannelList.txt", file);
    const QDateTime written = QFileInfo(dir.file("ChannelList.txt")).lastModified();
    showWindow("Vantora");

    QProcess listmender;
    startListmender(listmender);
    const uint32_t box = x->waitForWindow(QStringLiteral("起動エラー"));
    ASSERT_NE(box, 0u) << listmender.readAllStandardError().toStdString();
    EXPECT_EQ(FindX11TopLevelWindow(QStringLiteral("Vantora  -  チャンネルの更新"), x->display()), X11Answer::NotFound);
    ASSERT_TRUE(closeUntilFinished(box, listmender));
    EXPECT_EQ(listmender.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(listmender.exitCode(), 0);
    EXPECT_EQ(dir.read("ChannelList.txt"), file);
    EXPECT_EQ(QFileInfo(dir.file("ChannelList.txt")).lastModified(), written);
}

TEST_P(UpdaterX11Test, ListmenderRunsBesideOtherWindows) {
    dir.write("ChannelList.txt", "ChannelList\t\tl\t\ttrue\t\tu\r\n");
    showWindow("Vantora2");

    QProcess listmender;
    startListmender(listmender);
    const uint32_t main = x->waitForWindow(QStringLiteral("Vantora  -  チャンネルの更新"));
    ASSERT_NE(main, 0u) << listmender.readAllStandardError().toStdString();
    // Its own title begins with "Vantora" and does not count either.
    EXPECT_EQ(FindX11TopLevelWindow("Vantora", x->display()), X11Answer::NotFound);
    ASSERT_TRUE(closeUntilFinished(main, listmender));
    EXPECT_EQ(listmender.exitCode(), 0);
    EXPECT_EQ(dir.read("ChannelList.txt"), "ChannelList\t\tl\t\tTrue\t\tu\r\n");  // loaded and saved
}

INSTANTIATE_TEST_SUITE_P(WindowManager, UpdaterX11Test, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Openbox") : std::string("NoWindowManager");
                         });

TEST(UpdaterX11, AnUnreachableServerIsSaidSo) {
    EXPECT_EQ(FindX11TopLevelWindow("Vantora", ":4711"), X11Answer::Unreachable);
}

}  // namespace
