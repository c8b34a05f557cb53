// The tabs from the keyboard and from the mouse beyond the left click, a
// folder's thumbnails from the keyboard, the focus order, and
// ヘルプ › キーボード操作.

#include "WatchingFixture.h"

#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabBar>
#include <QTableWidget>

namespace {

// Tabs ch.a, ch.b, the folder 監視 (ch.a, ch.b) and ch.c.
class Tabs : public WatchingFixture {
protected:
    void SetUp() override {
        pub.add({"ch.a", "Alpha", "1", 0, 1, QColor(200, 40, 40), {80, 60}, {80, 60}, {}});
        pub.add({"ch.b", "Beta", "2", 0, 1, QColor(40, 200, 40), {80, 60}, {80, 60}, {}});
        pub.add({"ch.c", "Gamma", "3", 0, 1, QColor(40, 40, 200), {80, 60}, {80, 60}, {}});
        writeLists({"ch.a", "ch.b", "ch.c"}, {{"監視", {"ch.a", "ch.b"}}});
        f.open();
        w().OpenChannelTab("ch.a");
        w().OpenChannelTab("ch.b");
        w().OpenMultiMonitorTab("1");
        w().OpenChannelTab("ch.c");
        w().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    }
    QTabBar* bar() { return w().tabChannelSelect()->Bar(); }
    QWidget* closeButton(int tab) {
        const auto side =
            QTabBar::ButtonPosition(bar()->style()->styleHint(QStyle::SH_TabBar_CloseButtonPosition, nullptr, bar()));
        return bar()->tabButton(tab - 1, side);
    }
    bool closeButtonShown(int tab) { return closeButton(tab) && closeButton(tab)->isVisible(); }
    // What the show area shows: the visible elements' tags.
    QStringList shown() {
        QStringList tags;
        for (int i = 1; i < w().imgChannelShow().Count(); ++i)
            if (const PictureElement* e = w().imgChannelShow().Element(i); e && e->Visible) tags << e->Tag;
        return tags;
    }
    QStringList viewFlags() {
        QStringList flags;
        for (const char* id : {"ch.a", "ch.b", "ch.c"}) flags << QString::number(channel(id)->ViewFlag());
        return flags;
    }
};

const QString kA = MakeTag(NodeKind::Channel, "ch.a"), kB = MakeTag(NodeKind::Channel, "ch.b"),
              kC = MakeTag(NodeKind::Channel, "ch.c"), kFolder = MakeTag(NodeKind::MultiMonitor, "1");

// A key from the tab that is selected first (1-based): the tabs after it,
// the selected one marked "*", and what the show area then shows. A key on
// the strip is pressed with the strip focused; the others anywhere.
struct KeyRow {
    const char* name;
    int from;
    QKeyCombination key;
    bool onStrip;
    QStringList tabs, shown;
};
class TabKeys : public Tabs, public ::testing::WithParamInterface<KeyRow> {};

TEST_P(TabKeys, SelectLikeALeftClickAndShowTheTab) {
    const KeyRow& r = GetParam();
    w().SelectTabAsLeftClick(r.from);
    QWidget* target = r.onStrip ? static_cast<QWidget*>(bar()) : w().tvwChannelSelect()->Tree();
    target->setFocus();
    QTest::keyClick(target, r.key.key(), r.key.keyboardModifiers());
    EXPECT_EQ(tabs(), r.tabs);
    EXPECT_EQ(shown(), r.shown);
    // The selection follows, as it follows a click.
    const ParsedTag tab = ParseTag(w().SelectedTabTag());
    EXPECT_EQ(selected(), tab.Kind == NodeKind::MultiMonitor ? folder(tab.ID)->SelectedChannelID() : tab.ID);
}

const auto kCtrl = Qt::ControlModifier;
// clang-format off
const KeyRow kKeyRows[] = {
    {"Ctrl_Tab_after_the_last_goes_to_the_first", 4, kCtrl | Qt::Key_Tab, false, {"*" + kA, kB, kFolder, kC}, {"ch.a"}},
    {"Ctrl_PgDn", 1, kCtrl | Qt::Key_PageDown, false, {kA, "*" + kB, kFolder, kC}, {"ch.b"}},
    {"Ctrl_Shift_Tab_before_the_first_goes_to_the_last", 1, kCtrl | Qt::ShiftModifier | Qt::Key_Backtab, false,
     {kA, kB, kFolder, "*" + kC}, {"ch.c"}},
    {"Ctrl_PgUp_onto_the_folder", 4, kCtrl | Qt::Key_PageUp, false, {kA, kB, "*" + kFolder, kC}, {"ch.a", "ch.b"}},
    {"Alt_2", 4, Qt::AltModifier | Qt::Key_2, false, {kA, "*" + kB, kFolder, kC}, {"ch.b"}},
    {"Alt_9_the_last", 1, Qt::AltModifier | Qt::Key_9, false, {kA, kB, kFolder, "*" + kC}, {"ch.c"}},
    {"Alt_5_past_the_last_tab", 2, Qt::AltModifier | Qt::Key_5, false, {kA, "*" + kB, kFolder, kC}, {"ch.b"}},
    {"Ctrl_W", 2, kCtrl | Qt::Key_W, false, {kA, "*" + kFolder, kC}, {"ch.a", "ch.b"}},
    {"Right_on_the_strip", 2, Qt::NoModifier | Qt::Key_Right, true, {kA, kB, "*" + kFolder, kC}, {"ch.a", "ch.b"}},
    {"Left_on_the_strip_from_the_first", 1, Qt::NoModifier | Qt::Key_Left, true, {kA, kB, kFolder, "*" + kC},
     {"ch.c"}},
    {"Home_on_the_strip", 3, Qt::NoModifier | Qt::Key_Home, true, {"*" + kA, kB, kFolder, kC}, {"ch.a"}},
    {"End_on_the_strip", 1, Qt::NoModifier | Qt::Key_End, true, {kA, kB, kFolder, "*" + kC}, {"ch.c"}},
};
// clang-format on
VANTORA_ROWS(TabKeys, kKeyRows);

// A press on a tab other than the selected one, then the first item of the
// popup it opened (if any): the tabs, the popup and the view flags of
// ch.a, ch.b, ch.c after it (2 normal view, 4 thumbnails).
struct PressRow {
    const char* name;
    Qt::MouseButton button;
    int tab;  // 0: beside the tabs
    bool closeButton;
    QString popup;
    QStringList tabs, flags;
};
class TabPresses : public Tabs, public ::testing::WithParamInterface<PressRow> {};

TEST_P(TabPresses, ActOnTheTabUnderThePointer) {
    const PressRow& r = GetParam();
    w().SelectTabAsLeftClick(2);
    if (r.closeButton) {
        ASSERT_TRUE(closeButtonShown(r.tab));
        QTest::mouseClick(closeButton(r.tab), Qt::LeftButton);
    } else {
        const QPoint at = r.tab > 0 ? bar()->tabRect(r.tab - 1).center() : QPoint(bar()->width() - 2, 5);
        QTest::mouseClick(bar(), r.button, {}, at);
    }
    EXPECT_EQ(f.popups.join(','), r.popup);
    if (!r.popup.isEmpty()) w().Popup(r.popup)->actions().constFirst()->trigger();
    EXPECT_EQ(tabs(), r.tabs);
    EXPECT_EQ(viewFlags(), r.flags);
}

const QString kChannelPopup = PopupName::ChannelTab;
const QString kFolderPopup = PopupName::MultimonitorTab;
// clang-format off
const PressRow kPressRows[] = {
    {"Right_on_another_channel_tab", Qt::RightButton, 1, false, kChannelPopup, {"*" + kB, kFolder, kC}, {"4", "6", "2"}},
    {"Right_on_the_folder_tab", Qt::RightButton, 3, false, kFolderPopup, {kA, kB, "*" + kC}, {"2", "2", "2"}},
    {"Right_beside_the_tabs_acts_on_the_selected", Qt::RightButton, 0, false, kChannelPopup, {kA, "*" + kFolder, kC},
     {"6", "4", "2"}},
    {"Middle_keeps_the_selection", Qt::MiddleButton, 4, false, "", {kA, "*" + kB, kFolder}, {"6", "6", "0"}},
    {"Middle_on_the_selected_tab", Qt::MiddleButton, 2, false, "", {kA, "*" + kFolder, kC}, {"6", "4", "2"}},
    {"Close_button_of_another_tab", Qt::LeftButton, 1, true, "", {"*" + kB, kFolder, kC}, {"4", "6", "2"}},
};
// clang-format on
VANTORA_ROWS(TabPresses, kPressRows);

TEST_F(Tabs, TheBlankTabHasNoCloseButtonAndTheOthersHaveOne) {
    for (int i = 1; i <= 4; ++i) EXPECT_TRUE(closeButtonShown(i)) << i;
    for (int i = 0; i < 4; ++i) w().CloseSelectedTab();
    EXPECT_EQ(tabs(), QStringList{"*"});
    EXPECT_FALSE(closeButtonShown(1));
    w().OpenChannelTab("ch.b");
    EXPECT_TRUE(closeButtonShown(1));
}

// Tab goes tree, search field, tabs, show area and round; Shift+Tab back.
// The strip marks its selected tab, the show area draws a frame, while they
// hold the focus.
TEST_F(Tabs, FocusGoesRoundAndIsShown) {
    QWidget* order[] = {w().tvwChannelSelect()->Tree(), w().tvwChannelSelect()->SearchField(), bar(), w().cntShowBox()};
    order[0]->setFocus();
    ShowAreaWidget* area = w().cntShowBox();
    const QColor frame = area->palette().color(QPalette::Highlight);
    EXPECT_NE(area->grab().toImage().pixelColor(1, area->height() / 2), frame);
    for (int i = 1; i <= 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i % 4]) << i;
        if (i == 3) {
            EXPECT_EQ(area->grab().toImage().pixelColor(1, area->height() / 2), frame);
        }
    }
    for (int i = 3; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << i;
    }
}

// On a folder's grid (two columns: ch.a ch.b / ch.c) the keys move the
// selection as a click on a member does, frame and toolbar following; Enter
// opens the selected member as a double click does.
TEST_F(Tabs, GridKeysSelectMembersAndEnterOpensOne) {
    w().SelectTabAsLeftClick(3);
    folder("1")->AddChannel("ch.c", w().imgChannelShow().Load(), true);
    ShowAreaWidget* area = w().cntShowBox();
    area->setGeometry(QRect(area->pos(), QSize(345, 400)));
    w().ArrangeThumbnailBox();
    area->setFocus();
    const std::pair<Qt::Key, const char*> steps[] = {
        {Qt::Key_Right, "ch.b"}, {Qt::Key_Down, "ch.b"}, {Qt::Key_Left, "ch.a"},
        {Qt::Key_Left, "ch.a"},  {Qt::Key_Down, "ch.c"}, {Qt::Key_Up, "ch.a"},
        {Qt::Key_End, "ch.c"},   {Qt::Key_Home, "ch.a"}, {Qt::Key_Right, "ch.b"}};
    for (const auto& [key, member] : steps) {
        QTest::keyClick(area, key);
        EXPECT_EQ(selected(), member) << QKeySequence(key).toString().toStdString();
        EXPECT_EQ(folder("1")->SelectedChannelID(), member);
    }
    EXPECT_EQ(area->SelectedBoxRect, channel("ch.b")->ThumbnailShowBox(1)->Rect());
    QTest::keyClick(area, Qt::Key_Return);
    EXPECT_EQ(tabs(), (QStringList{kA, "*" + kB, kFolder, kC}));
    EXPECT_EQ(shown(), QStringList{"ch.b"});
}

// ヘルプ › キーボード操作, after the specified item, lists the keys of every
// command: the tabs' that the window binds and the tree's and search's.
TEST_F(Tabs, HelpListsEveryShortcut) {
    QMenu* help = nullptr;
    for (QAction* menu : w().menuBar()->actions())
        if (menu->text() == QStringLiteral("ヘルプ")) help = menu->menu();
    ASSERT_NE(help, nullptr);
    QStringList items;
    for (QAction* a : help->actions()) items << a->text();
    ASSERT_EQ(items, (QStringList{QStringLiteral("このソフトについて"), QStringLiteral("キーボード操作")}));
    help->actions().last()->trigger();
    help->actions().last()->trigger();  // the open list comes to the front, no second one
    const QList<QDialog*> dialogs = w().findChildren<QDialog*>(QStringLiteral("KeyboardHelp"));
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_TRUE(dialogs[0]->isVisible());
    const QTableWidget* table = dialogs[0]->findChild<QTableWidget*>();
    QStringList keys;
    for (int row = 0; row < table->rowCount(); ++row) keys << table->item(row, 0)->text();
    EXPECT_EQ(keys, (QStringList{"Ctrl+F", "Return / Enter / Space", "Menu / Shift+F10", "F2", "Del", "Ctrl+Z",
                                 "Return / Enter", "Down", "Esc", "Tab / Shift+Tab", "Ctrl+W", "Ctrl+Tab / Ctrl+PgDown",
                                 "Ctrl+Shift+Tab / Ctrl+PgUp", "Alt+1 … Alt+8", "Alt+9", "Left / Right / Home / End",
                                 "Left / Right / Up / Down / Home / End", "Return / Enter"}));
    for (int row = 0; row < table->rowCount(); ++row)
        EXPECT_FALSE(table->item(row, 1)->text().isEmpty() || table->item(row, 2)->text().isEmpty()) << row;
}

}  // namespace
