// Helper of the crash-safety test: a viewer window (offscreen) on a program
// folder that writes its INI and its three list files again and again, each
// time with a new generation mark, until it is killed. It prints "ready"
// after loading, "saving N" before and "saved N" after each write.
//   crash_writer DIR [COUNT]
#include "view/frmMain.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: crash_writer DIR [COUNT]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const long count = argc > 2 ? std::atol(argv[2]) : 1000000;

    frmMain window(dir, nullptr);
    window.MessageBoxFunction = [](const QString& text, const QString& title, bool) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    };
    window.LoadSetting();
    QTreeWidgetItem* listRoot = window.tvwChannelSelect()->topLevelItem(2);
    if (!listRoot) {
        std::fprintf(stderr, "no channel list root\n");
        return 3;
    }
    // Go on from the generation the files hold.
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("gen(\\d{6})")).match(listRoot->text(0));
    long generation = m.hasMatch() ? m.captured(1).toLong() : 0;
    std::printf("ready %ld\n", generation);
    std::fflush(stdout);

    for (long i = 0; i < count; ++i) {
        ++generation;
        const QString mark = QStringLiteral("gen%1").arg(generation, 6, 10, QLatin1Char('0'));
        window.Settings().Proxy = mark;
        window.FavariteRoot()->setText(0, mark);
        window.MultiMonitorRoot()->setText(0, mark);
        listRoot->setText(0, mark);
        std::printf("saving %ld\n", generation);
        std::fflush(stdout);
        window.SaveSetting();
        std::printf("saved %ld\n", generation);
        std::fflush(stdout);
    }
    return 0;
}
