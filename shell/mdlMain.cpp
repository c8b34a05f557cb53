#include "shell/mdlMain.h"

#include "common/JapaneseQtTexts.h"
#include "common/ProgramDirectory.h"
#include "common/ViewerLock.h"
#include "common/mdlFunctionWidgets.h"
#include "desktop/DesktopService.h"
#include "view/WatchViews.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFileInfo>
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

}  // namespace

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    InstallJapaneseQtTexts(app);
    // The programs take no arguments; Qt's own (-platform ...) are consumed above.
    installStopSignals();
    const QString folder = ProgramDirectory();
    // One viewer per program folder, held until the window is gone: a second
    // one would overwrite at its exit what the first one saves.
    ViewerLock lock(folder);
    if (lock.Acquire() == ViewerLock::Result::HeldElsewhere) {
        mdlFunction::ErrorBox(nullptr, QStringLiteral("Vantoraは既に起動しています"), QStringLiteral("起動エラー"));
        return 0;  // nothing was loaded, so nothing is saved
    }
    frmMain window(folder, std::make_unique<frmSetting>());  // the dialog loaded hidden

    QSocketNotifier stop(gSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &window, [&stop, &window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(gSignalPipe[0], &byte, 1);
        stop.setEnabled(false);
        // The main window first: its unload saves the folder windows too,
        // which must still be open then.
        window.close();
        QApplication::closeAllWindows();
    });

    // Notifications and the screen kept awake go to the desktop's bus.
    window.DesktopBus = DesktopSessionBus;
    window.Watching()->SetDesktopBus(DesktopSessionBus);
    window.show();
    // No event is processed before LoadSetting returns, so the tick it
    // enables last cannot fire earlier.
    window.LoadSetting();
    return app.exec();
}
