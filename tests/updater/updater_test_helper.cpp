// A second process for the updater's tests: holds the viewer lock of a
// program folder until its input closes (exit code 3: another holds it), or
// shows a top-level window with a given title until killed.
#include "common/ViewerLock.h"

#include <QApplication>
#include <QWidget>

#include <unistd.h>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "lock") == 0) {
        ViewerLock lock(QString::fromLocal8Bit(argv[2]));
        const ViewerLock::Result result = lock.Acquire();
        if (result == ViewerLock::Result::Unavailable) return 2;
        if (result == ViewerLock::Result::HeldElsewhere) return 3;
        std::printf("locked\n");
        std::fflush(stdout);
        char buf[64];
        while (::read(0, buf, sizeof buf) > 0) {
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "window") == 0) {
        QApplication app(argc, argv);
        QWidget window;
        window.setWindowTitle(QString::fromUtf8(argv[2]));
        window.resize(240, 120);
        window.show();
        return app.exec();
    }
    std::fprintf(stderr, "usage: %s lock FOLDER | window TITLE\n", argv[0]);
    return 1;
}
