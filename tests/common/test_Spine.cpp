#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace {

// 終了 and the window frame's close box end in one unload path.
class SpineTest : public ::testing::TestWithParam<bool> {};

TEST_P(SpineTest, TickThenOneSave) {
    const bool viaMenu = GetParam();
    TempProgramDir dir;
    auto owned = std::make_unique<frmSetting>();
    frmSetting* setting = owned.get();
    QPointer<frmSetting> watch(setting);
    frmMain window(dir.path(), std::move(owned));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vantora"));
    const QList<QAction*> items = window.menuBar()->actions().value(0)->menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[2]->text(), QStringLiteral("終了"));

    window.show();
    EXPECT_FALSE(window.TickEnabled());
    EXPECT_EQ(window.tmrCauseOneSecEvent()->interval(), 1000);
    window.LoadSetting();
    EXPECT_TRUE(window.TickEnabled());

    setting->show();
    viaMenu ? items[2]->trigger() : void(window.close());
    EXPECT_EQ(window.SaveSettingRuns(), 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(watch.isNull() || !watch->isVisible());  // the dialog is unloaded too
    EXPECT_FALSE(window.TickEnabled());
    window.close();  // a second close must not save again
    EXPECT_EQ(window.SaveSettingRuns(), 1);
}

INSTANTIATE_TEST_SUITE_P(, SpineTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "QuitItem" : "CloseBox"; });

}  // namespace
