// crash_writer [--updater] DIR [COUNT]: the viewer's (or the updater's)
// window writing its files COUNT times, each with a new generation mark. It
// prints "ready", "saving N" and "saved N"; save errors go to standard error.
// COUNT 0 starts and closes the window once, changing nothing.
#include "updater/frmMain.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QRegularExpression>
#include "navigation/ChannelTreeModel.h"

#include <cstdio>
#include <functional>

namespace {

void report(const QString& text, const QString& title) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
}

int writeGenerations(long count, const QString& held, const std::function<void(const QString&, bool last)>& write) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("gen(\\d{6})")).match(held);
    long generation = m.hasMatch() ? m.captured(1).toLong() : 0;
    std::printf("ready %ld\n", generation);
    for (long i = 0; i < count; ++i) {
        ++generation;
        std::printf("saving %ld\n", generation);
        std::fflush(stdout);
        write(QStringLiteral("gen%1").arg(generation, 6, 10, QLatin1Char('0')), i + 1 == count);
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
    if (args.isEmpty()) return 2;
    const long count = args.size() > 1 ? args.value(1).toLong() : 1000000;
    if (updaterMode) {
        updater::frmMain window(args[0]);
        window.ViewerRunning = [] { return false; };
        window.ShowError = [](QWidget*, const QString& text, const QString& title) { report(text, title); };
        if (!window.Form_Load()) return 3;
        TreeNode* root = window.TreeModel()->RootCount() > 0 ? window.TreeModel()->Root(0) : nullptr;
        if (count == 0) return window.close(), 0;
        if (!root) return 3;
        return writeGenerations(count, updater::frmMain::Tag(root).Name(), [&](const QString& mark, bool last) {
            window.SetTag(root, updater::MakeTag(updater::NodeKind::Group, {mark}));
            QString error;
            if (last)
                window.close();
            else if (!window.SaveChannelList(&error))
                report(error, QStringLiteral("保存エラー"));
        });
    }
    frmMain window(args[0], nullptr);
    window.MessageBoxFunction = [](const QString& text, const QString& title, bool) { report(text, title); };
    window.LoadSetting();
    TreeNode* listRoot = window.TreeModel()->RootCount() > 2 ? window.TreeModel()->Root(2) : nullptr;
    if (count == 0) return window.close(), 0;  // one start and exit, changing nothing
    if (!listRoot) return 3;
    return writeGenerations(count, listRoot->Text(), [&](const QString& mark, bool) {
        window.Settings().Proxy = mark;
        window.TreeModel()->SetText(window.FavariteRoot(), mark);
        window.TreeModel()->SetText(window.MultiMonitorRoot(), mark);
        window.TreeModel()->SetText(listRoot, mark);
        window.SaveSetting();
    });
}
