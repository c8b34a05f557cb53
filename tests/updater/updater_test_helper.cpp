// A second process for the updater's tests: shows a top-level window with
// the given title until it is killed.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromUtf8(argc > 1 ? argv[1] : ""));
    window.resize(240, 120);
    window.show();
    return app.exec();
}
