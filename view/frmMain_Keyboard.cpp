// The keyboard: the window's shortcuts from the shortcut table, the focus
// order, ヘルプ › キーボード操作; and the tab strip's mouse beyond the left
// click. A tab reached by keyboard is selected as a left click selects it,
// so the show area shows it (the classic control raised no selection for a
// change it did not see clicked); a right or middle click acts on the tab
// under the pointer, not on whichever tab happened to be selected.
#include "view/frmMain.h"

#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "navigation/ChannelTreeView.h"
#include "navigation/NodeTag.h"
#include "view/KeyboardShortcuts.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"
#include "view/ThumbnailGrid.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTreeView>

void frmMain::createKeyboard() {
    // After the specified items of ヘルプ.
    mnuKeyboardHelp = mnuHelp->addAction(QStringLiteral("キーボード操作"));
    connect(mnuKeyboardHelp, &QAction::triggered, this, &frmMain::mnuKeyboardHelp_Click);

    // Window shortcuts: they work wherever the focus is in the window.
    auto bind = [this](const QList<QKeySequence>& keys, const std::function<void()>& run) {
        auto* action = new QAction(this);
        action->setShortcuts(keys);
        addAction(action);
        connect(action, &QAction::triggered, this, run);
    };
    bind(ShortcutKeys(KeyCommand::CloseTab), [this] { CloseSelectedTab(); });
    bind(ShortcutKeys(KeyCommand::NextTab), [this] { SelectNextTab(1); });
    bind(ShortcutKeys(KeyCommand::PreviousTab), [this] { SelectNextTab(-1); });
    bind(ShortcutKeys(KeyCommand::SelectLastTab), [this] { SelectTabAsLeftClick(mTabs->Count()); });
    // Alt+1 ... Alt+8, each for its tab; a number past the last tab does nothing.
    const QList<QKeySequence> digits = ShortcutKeys(KeyCommand::SelectTabByNumber);
    for (int i = 0; i < digits.size(); ++i) bind({digits[i]}, [this, i] { SelectTabAsLeftClick(i + 1); });
    chainFocus();
}

void frmMain::chainFocus() {
    // Tab and Shift+Tab go round these, in this order. The tree and the
    // search's results take turns (one is hidden), so the field follows
    // whichever shows.
    const QList<QWidget*> order{mTree->Tree(), mTree->Results(), mTree->SearchField(), mTabs->Bar(), mShowArea};
    for (int i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
}

void frmMain::tabChannelSelect_Pressed(MouseButtonCode Button, int TabIndex) {
    if (Button == MouseButtonCode::Middle) {
        if (TabIndex > 0) CloseTabAt(TabIndex);
        return;
    }
    if (Button == MouseButtonCode::Right && TabIndex > 0 && TabIndex != mTabs->SelectedIndex())
        SelectTabAsLeftClick(TabIndex);
    tabChannelSelect_MouseDown(Button);
    if (Button == MouseButtonCode::Left && TabIndex > 0) {
        SelectTab(TabIndex);
    } else if (Button == MouseButtonCode::Right) {
        tabChannelSelect_Click();
    }
}

void frmMain::SelectTabAsLeftClick(int TabIndex) {
    if (TabIndex < 1 || TabIndex > mTabs->Count()) return;
    mTabMouseButton = MouseButtonCode::Left;
    SelectTab(TabIndex);
}

void frmMain::SelectNextTab(int Step) {
    const int count = mTabs->Count();
    SelectTabAsLeftClick((mTabs->SelectedIndex() - 1 + Step % count + count) % count + 1);
}

void frmMain::CloseSelectedTab() {
    // As the tab's popup closes it: a folder's members that another open
    // folder shows keep being fetched.
    const NodeKind kind = ParseTag(SelectedTabTag()).Kind;
    if (kind == NodeKind::Channel) {
        mnuCloseChannelTab_Click();
    } else if (kind == NodeKind::MultiMonitor) {
        mnuCloseMultiMonitorTab_Click();
    }
}

void frmMain::CloseTabAt(int TabIndex) {
    if (TabIndex < 1 || TabIndex > mTabs->Count()) return;
    const QString selected = SelectedTabTag();
    const bool other = TabIndex != mTabs->SelectedIndex();
    // Only the selected tab can be closed: select it, close it, and come
    // back to the tab that was selected.
    if (other) SelectTabAsLeftClick(TabIndex);
    CloseSelectedTab();
    if (other) SelectTabAsLeftClick(getTabIndexFromTag(selected));
}

void frmMain::cntShowBox_KeyDown(int Key) {
    // The grid on screen: its boxes in member order, and its columns.
    if (ParseTag(SelectedTabTag()).Kind != NodeKind::MultiMonitor || mArrangedBoxes.isEmpty()) return;
    const int n = int(mArrangedBoxes.size());
    const int columns = ChooseThumbnailGrid(n, mShowArea->width(), mShowArea->height()).Columns;
    if (columns <= 0) return;
    int current = -1;
    for (int i = 0; i < n && current < 0; ++i)
        if (EqualsNoCase(mArrangedBoxes[i]->Tag, mChannelManeger->SelectedChannelID())) current = i;
    int target = current;
    switch (Key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (current < 0) return;
            mShowBoxMouseButton = MouseButtonCode::Left;
            imgChannelShow_DblClick(mArrangedBoxes[current]->Index());
            return;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = n - 1;
            break;
        case Qt::Key_Left:
            target = current < 0 ? 0 : qMax(0, current - 1);
            break;
        case Qt::Key_Right:
            target = current < 0 ? 0 : qMin(n - 1, current + 1);
            break;
        case Qt::Key_Up:
            target = current < 0 ? 0 : current - columns >= 0 ? current - columns : current;
            break;
        case Qt::Key_Down:
            target = current < 0 ? 0 : current + columns < n ? current + columns : current;
            break;
        default:
            return;
    }
    if (target == current) return;
    mShowBoxMouseButton = MouseButtonCode::Left;
    imgChannelShow_Click(mArrangedBoxes[target]->Index());
}

void frmMain::mnuKeyboardHelp_Click() {
    QDialog* help = findChild<QDialog*>(QStringLiteral("KeyboardHelp"), Qt::FindDirectChildrenOnly);
    if (!help) help = NewKeyboardHelpDialog(this);
    help->show();
    help->raise();
    help->activateWindow();
}
