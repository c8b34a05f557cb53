// Helper of the crash-safety test: a viewer window (offscreen) on a program
// folder that writes its INI and its three list files again and again, each
// time with a new generation mark, until it is killed; or, with --updater,
// the updater's window writing ChannelList.txt. It prints "ready" after
// loading, "saving N" before and "saved N" after each write, and the
// programs' save error messages on standard error. COUNT 0 starts the
// program and closes its window once, changing nothing.
//   crash_writer [--updater] DIR [COUNT]
#include "updater/frmMain.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QTreeWidgetItem>

#include <cstdio>

namespace {

QString markOf(long generation) { return QStringLiteral("gen%1").arg(generation, 6, 10, QLatin1Char('0')); }

long generationIn(const QString& text) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("gen(\\d{6})")).match(text);
    return m.hasMatch() ? m.captured(1).toLong() : 0;
}

// The updater: the mark is the name of the first root group.
int runUpdater(const QString& dir, long count) {
    updater::frmMain window(dir);
    window.ViewerRunning = [] { return false; };
    window.ShowError = [](QWidget*, const QString& text, const QString& title) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    };
    if (!window.Form_Load()) return 3;
    if (count == 0) {
        window.close();
        return 0;
    }
    QTreeWidgetItem* root = window.tvwChannelSelect->topLevelItem(0);
    if (!root) {
        std::fprintf(stderr, "no root node\n");
        return 3;
    }
    long generation = generationIn(updater::frmMain::Tag(root).Name());
    std::printf("ready %ld\n", generation);
    std::fflush(stdout);
    for (long i = 0; i < count; ++i) {
        ++generation;
        updater::frmMain::SetTag(root, updater::MakeTag(updater::NodeKind::Group, {markOf(generation)}));
        std::printf("saving %ld\n", generation);
        std::fflush(stdout);
        // The last write is the one of closing the window, with its report.
        QString error;
        if (i + 1 == count)
            window.close();
        else if (!window.SaveChannelList(&error))
            std::fprintf(stderr, "保存エラー: %s\n", qPrintable(error));
        std::printf("saved %ld\n", generation);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool updaterMode = args.removeAll(QStringLiteral("--updater")) > 0;
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: crash_writer [--updater] DIR [COUNT]\n");
        return 2;
    }
    const QString dir = args.value(0);
    const long count = args.size() > 1 ? args.value(1).toLong() : 1000000;
    if (updaterMode) return runUpdater(dir, count);

    frmMain window(dir, nullptr);
    window.MessageBoxFunction = [](const QString& text, const QString& title, bool) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    };
    window.LoadSetting();
    if (count == 0) {
        window.close();  // one start and exit, changing nothing
        return 0;
    }
    QTreeWidgetItem* listRoot = window.tvwChannelSelect()->topLevelItem(2);
    if (!listRoot) {
        std::fprintf(stderr, "no channel list root\n");
        return 3;
    }
    // Go on from the generation the files hold.
    long generation = generationIn(listRoot->text(0));
    std::printf("ready %ld\n", generation);
    std::fflush(stdout);

    for (long i = 0; i < count; ++i) {
        ++generation;
        const QString mark = markOf(generation);
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
