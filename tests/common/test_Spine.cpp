#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QMenu>
#include <QMenuBar>
#include <QPointer>

namespace {

// 終了 and the window frame's close box end in one unload path: the tick
// stops, the settings are saved once, the dialog goes too.
class SpineTest : public ::testing::TestWithParam<bool> {};

TEST_P(SpineTest, TickThenOneSave) {
    TempProgramDir dir;
    auto owned = std::make_unique<frmSetting>();
    QPointer<frmSetting> setting(owned.get());
    frmMain window(dir.path(), std::move(owned));
    QAction* quit = window.menuBar()->actions().value(0)->menu()->actions().value(2);
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->text(), QStringLiteral("終了"));
    window.show();
    EXPECT_FALSE(window.TickEnabled());
    window.LoadSetting();
    EXPECT_TRUE(window.TickEnabled());
    setting->show();
    GetParam() ? quit->trigger() : void(window.close());
    EXPECT_EQ(window.SaveSettingRuns(), 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(setting.isNull() || !setting->isVisible());
    EXPECT_FALSE(window.TickEnabled());
}

INSTANTIATE_TEST_SUITE_P(, SpineTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "QuitItem" : "CloseBox"; });

}  // namespace
