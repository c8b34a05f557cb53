#include "shell/mdlMain.h"

#include "common/JapaneseQtTexts.h"
#include "common/OpenFiles.h"
#include "common/ProgramDirectory.h"
#include "common/ViewerLock.h"
#include "common/mdlFunctionWidgets.h"
#include "desktop/DesktopService.h"
#include "view/WatchViews.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace {

// A terminal closing, Ctrl+C or a session ending asks the program to stop:
// the signal only wakes the event loop, which then closes the window the
// normal way, so the settings and lists are written as at any other exit.
int gSignalPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gSignalPipe[1], &byte, 1);
}

void installStopSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void startupWarning(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("起動エラー"), text, QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

}  // namespace

int Main(int argc, char** argv) {
    // Connections are budgeted within the limit this leaves (CurlMulti).
    RaiseOpenFileLimit();
    QApplication app(argc, argv);
    InstallJapaneseQtTexts(app);
    // The programs take no arguments; Qt's own (-platform ...) are consumed above.
    installStopSignals();
    // A stop signal ends whatever is on screen: a box at start as well as
    // the main window, which closes the normal way.
    bool stopped = false;
    frmMain* mainWindow = nullptr;
    QSocketNotifier stop(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, [&stop, &stopped, &mainWindow] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &byte, 1);
        stop.setEnabled(false);
        stopped = true;
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
        // The main window first: its unload saves the folder windows too,
        // which must still be open then.
        if (mainWindow) mainWindow->close();
        QApplication::closeAllWindows();
    });

    const QString folder = ProgramDirectory();
    // One viewer per data folder, held until the window is gone: a second
    // one would overwrite at its exit what the first one saves. A folder
    // that cannot be used, or a lock that cannot be taken, is said before
    // anything is loaded; the viewer then runs without the guard.
    ViewerLock lock(folder);
    const QString problem = DataDirectoryProblem(folder);
    if (!problem.isEmpty()) {
        startupWarning(problem);
    } else {
        switch (lock.Acquire()) {
            case ViewerLock::Result::Acquired:
                break;
            case ViewerLock::Result::HeldElsewhere:
                mdlFunction::ErrorBox(nullptr, QStringLiteral("Vantoraは既に起動しています"),
                                      QStringLiteral("起動エラー"));
                return 0;  // nothing was loaded, so nothing is saved
            case ViewerLock::Result::Unavailable:
                startupWarning(
                    QStringLiteral("Vantoraの二重起動を防ぐためのロックファイル %1 を使えません（%2）。\n"
                                   "同じフォルダーでVantoraを二つ起動すると、後から終了した方が設定を上書きします。")
                        .arg(lock.File(), lock.Error()));
                break;
        }
    }
    if (stopped) return 0;

    frmMain window(folder, std::make_unique<frmSetting>());  // the dialog loaded hidden
    mainWindow = &window;

    // Notifications and the screen kept awake go to the desktop's bus.
    window.DesktopBus = DesktopSessionBus;
    window.Watching()->SetDesktopBus(DesktopSessionBus);
    window.show();
    // No event is processed before LoadSetting returns, so the tick it
    // enables last cannot fire earlier.
    window.LoadSetting();
    return app.exec();
}
