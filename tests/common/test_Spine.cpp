#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/ViewerLock.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

namespace {

QAction* findAction(QWidget* window, const QString& menu, const QString& item) {
    for (QAction* top : window->findChild<QMenuBar*>()->actions()) {
        if (top->text() != menu || !top->menu()) continue;
        for (QAction* a : top->menu()->actions())
            if (a->text() == item) return a;
    }
    return nullptr;
}

TEST(Spine, CaptionAndFileMenu) {
    TempProgramDir dir;
    frmMain window(dir.path(), new frmSetting);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vantora"));
    QMenu* file = nullptr;
    for (QAction* top : window.menuBar()->actions())
        if (top->text() == QStringLiteral("ファイル")) file = top->menu();
    ASSERT_NE(file, nullptr);
    const QList<QAction*> items = file->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[0]->text(), QStringLiteral("設定"));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), QStringLiteral("終了"));
}

TEST(Spine, TickStartsOnlyWhenLoadSettingEnds) {
    TempProgramDir dir;
    frmMain window(dir.path(), new frmSetting);
    window.show();
    EXPECT_FALSE(window.TickEnabled());
    EXPECT_EQ(window.tmrCauseOneSecEvent()->interval(), 1000);
    window.LoadSetting();
    EXPECT_TRUE(window.TickEnabled());
    window.close();
}

TEST(Spine, ExitAndClosingTheFrameEachSaveOnce) {
    TempProgramDir dir;
    {
        auto* setting = new frmSetting;
        QPointer<frmSetting> watch(setting);
        frmMain window(dir.path(), setting);
        window.show();
        window.LoadSetting();
        setting->show();
        QAction* exit = findAction(&window, QStringLiteral("ファイル"), QStringLiteral("終了"));
        ASSERT_NE(exit, nullptr);
        exit->trigger();
        EXPECT_EQ(window.SaveSettingRuns(), 1);
        EXPECT_FALSE(window.isVisible());
        EXPECT_TRUE(watch.isNull() || !watch->isVisible());  // the dialog is unloaded first
        window.close();  // a second close must not save again
        EXPECT_EQ(window.SaveSettingRuns(), 1);
        EXPECT_FALSE(window.TickEnabled());
    }
    {
        frmMain window(dir.path(), new frmSetting);
        window.show();
        window.LoadSetting();
        window.close();  // the window frame's close box
        EXPECT_EQ(window.SaveSettingRuns(), 1);
    }
}

TEST(Spine, TheWindowTellsTheUpdaterItRunsWhileItExists) {
    TempProgramDir dir;
    EXPECT_FALSE(ViewerLock::IsHeld());
    {
        frmMain window(dir.path(), new frmSetting);
        window.show();
        EXPECT_TRUE(ViewerLock::IsHeld());
        window.close();
        EXPECT_FALSE(ViewerLock::IsHeld());
    }
}

}  // namespace
