#include "WatchDisplay.h"

#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

pid_t spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

bool listingTests() {
    QFile cmdline(QStringLiteral("/proc/self/cmdline"));
    return cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("--gtest_list_tests");
}

struct Server {
    pid_t xvfb = -1, wm = -1;
    QString display;

    Server() {
        if (listingTests()) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        xvfb = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1600x600x24", "-nolisten", "tcp",
                      "-dpi", "96", "-noreset"});
        close(fds[1]);
        std::string number;
        char c;
        while (xvfb > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) return;
        display = QStringLiteral(":") + QString::fromStdString(number);
        setenv("DISPLAY", display.toLatin1().constData(), 1);
        unsetenv("WAYLAND_DISPLAY");
        // A monitor without an output first: the output's own one is then
        // replaced rather than added to.
        run("xrandr --setmonitor Right 800/211x600/158+800+0 none");
        run("xrandr --setmonitor Left 800/211x600/158+0+0 screen");
        wm = spawn({"openbox", "--sm-disable"});
        for (int i = 0; i < 100 && run("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'") != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    ~Server() {
        for (pid_t pid : {wm, xvfb}) {
            if (pid <= 0) continue;
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Before main(), and so before the application object reads its platform.
Server gServer;

}  // namespace

namespace WatchDisplay {

bool Ok() { return !gServer.display.isEmpty() && gServer.wm > 0; }
QString Name() { return gServer.display; }

QString Property(unsigned long window, const char* property) {
    QProcess p;
    p.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), QLatin1String(property)});
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

}  // namespace WatchDisplay
