#pragma once
// The built Vantomon in a program folder and a private X server, clicked
// where an offscreen twin built from the same files places its controls.

#include "ChannelPublisher.h"
#include "TempProgramDir.h"
#include "XvfbSession.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTest>
#include <QTreeView>

#include <functional>
#include <memory>

class ViewerSession {
public:
    TempProgramDir dir;
    XvfbSession x;
    std::unique_ptr<QProcess> viewer;
    quint32 window = 0;
    QRect windowRect;

    ViewerSession() {
        const QString built = QStringLiteral(VANTORA_BUILD_DIR "/shell/Vantomon");
        QFile::copy(built, dir.file("Vantomon"));
    }
    ~ViewerSession() {
        if (viewer && viewer->state() != QProcess::NotRunning) {
            viewer->kill();
            viewer->waitForFinished(5000);
        }
    }

    // env adjusts the viewer's environment; childSetup runs in the child
    // before the program (limits, for instance).
    bool start(const std::function<void(QProcessEnvironment&)>& env = {},
               const std::function<void()>& childSetup = {}) {
        viewer = std::make_unique<QProcess>();
        QProcessEnvironment e = x.Environment();
        if (env) env(e);
        viewer->setProcessEnvironment(e);
        if (childSetup) viewer->setChildProcessModifier(childSetup);
        viewer->setProcessChannelMode(QProcess::ForwardedChannels);
        viewer->setWorkingDirectory(dir.path());
        viewer->start(dir.file("Vantomon"), {});
        if (!viewer->waitForStarted(10000)) return false;
        window = x.WaitForWindow(QStringLiteral("^Vantora$"));
        if (!window) return false;
        QTest::qWait(500);  // first layout and paint
        windowRect = x.WindowGeometry(window);
        return true;
    }
    bool close() {
        // A request that arrives while the window is still settling can be
        // lost; a person would click the close box again.
        for (int attempt = 0; attempt < 8 && viewer->state() != QProcess::NotRunning; ++attempt) {
            x.CloseWindow(window);
            viewer->waitForFinished(2000);
        }
        return viewer->state() == QProcess::NotRunning && viewer->exitStatus() == QProcess::NormalExit &&
               viewer->exitCode() == 0;
    }

    // The twin, loaded from a copy of the folder so it never writes there.
    std::unique_ptr<frmMain> twin() {
        twinDir_ = std::make_unique<TempProgramDir>();
        for (const char* name : {"Vantomon.ini", "ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"})
            if (dir.exists(name)) twinDir_->write(name, dir.read(name));
        auto w = std::make_unique<frmMain>(twinDir_->path(), std::make_unique<frmSetting>());
        w->show();
        w->LoadSetting();
        QTest::qWait(50);
        return w;
    }
    // The first node of the twin's tree with that tag, in tree order.
    static TreeNode* nodeWithTag(frmMain& model, const QString& tag) {
        TreeNode* found = nullptr;
        model.TreeModel()->Walk([&](TreeNode* n) {
            if (!found && frmMain::NodeTag(n) == tag) found = n;
            return !found;
        });
        return found;
    }
    // A node's centre on the screen.
    QPoint nodeOnScreen(frmMain& model, TreeNode* node) const {
        QTreeView* tree = model.tvwChannelSelect()->Tree();
        const QModelIndex index = model.TreeModel()->IndexOf(node);
        return windowRect.topLeft() + tree->viewport()->mapTo(&model, tree->visualRect(index).center());
    }
    // A popup item's centre, the popup opened at `at`.
    static QPoint popupItem(QMenu* menu, const QString& text, QPoint at) {
        for (QAction* a : menu->actions())
            if (a->text() == text) return at + menu->actionGeometry(a).center();
        return at;
    }

    static bool waitUntil(const std::function<bool()>& pred, int ms = 20000) { return QTest::qWaitFor(pred, ms); }

    // Pixels of the screenshot within `area` close to `colour`.
    static int countColour(const QImage& shot, const QRect& area, QColor colour, int tolerance = 40) {
        int n = 0;
        const QRect r = area.intersected(shot.rect());
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                if (qAbs(c.red() - colour.red()) < tolerance && qAbs(c.green() - colour.green()) < tolerance &&
                    qAbs(c.blue() - colour.blue()) < tolerance)
                    ++n;
            }
        return n;
    }
    static void keepArtifact(const QImage& shot, const QString& name) {
        const QString folder = QStringLiteral(VANTORA_BUILD_DIR "/test-artifacts");
        QDir().mkpath(folder);
        shot.save(folder + QLatin1Char('/') + name);
    }

private:
    std::unique_ptr<TempProgramDir> twinDir_;
};
