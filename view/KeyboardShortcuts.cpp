#include "view/KeyboardShortcuts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QList<QKeySequence> altDigits(int first, int last) {
    QList<QKeySequence> keys;
    for (int digit = first; digit <= last; ++digit) keys << QKeySequence(Qt::ALT | Qt::Key(Qt::Key_0 + digit));
    return keys;
}

}  // namespace

const QList<KeyboardShortcut>& KeyboardShortcuts() {
    static const QString anywhere = QStringLiteral("どこでも");
    static const QString tree = QStringLiteral("ツリー");
    static const QString search = QStringLiteral("検索欄");
    static const QString tabs = QStringLiteral("タブ");
    static const QString area = QStringLiteral("表示領域");
    static const QList<KeyboardShortcut> table{
        {KeyCommand::FindChannel,
         {QKeySequence(Qt::CTRL | Qt::Key_F)},
         false,
         anywhere,
         QStringLiteral("チャンネルの検索欄へ移る")},
        {KeyCommand::OpenNode,
         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Space)},
         false,
         tree,
         QStringLiteral("選択したノードを開く（左クリックと同じ）")},
        {KeyCommand::NodePopup,
         {QKeySequence(Qt::Key_Menu), QKeySequence(Qt::SHIFT | Qt::Key_F10)},
         false,
         tree,
         QStringLiteral("選択したノードのメニューを開く")},
        {KeyCommand::RenameFolder, {QKeySequence(Qt::Key_F2)}, false, tree, QStringLiteral("フォルダー名を変更する")},
        {KeyCommand::RemoveNode,
         {QKeySequence(Qt::Key_Delete)},
         false,
         tree,
         QStringLiteral("選択したフォルダー・お気に入り・フォルダーのチャンネルを削除する")},
        {KeyCommand::UndoRemoval,
         {QKeySequence(Qt::CTRL | Qt::Key_Z)},
         false,
         anywhere,
         QStringLiteral("最後に削除したフォルダー・お気に入り・チャンネルを元に戻す（検索欄では入力の取り消し）")},
        {KeyCommand::OpenFirstMatch,
         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
         false,
         search,
         QStringLiteral("最初に見つかったチャンネルを開く")},
        {KeyCommand::IntoResults, {QKeySequence(Qt::Key_Down)}, false, search, QStringLiteral("検索結果へ移る")},
        {KeyCommand::EndSearch,
         {QKeySequence(Qt::Key_Escape)},
         false,
         QStringLiteral("検索欄・検索結果"),
         QStringLiteral("検索をやめ、ツリーを元どおりに表示する")},
        {KeyCommand::MoveFocus,
         {QKeySequence(Qt::Key_Tab), QKeySequence(Qt::SHIFT | Qt::Key_Tab)},
         false,
         anywhere,
         QStringLiteral("ツリー・検索欄・タブ・表示領域の間を移る")},
        {KeyCommand::CloseTab,
         {QKeySequence(Qt::CTRL | Qt::Key_W)},
         false,
         anywhere,
         QStringLiteral("選択中のタブを閉じる")},
        {KeyCommand::NextTab,
         {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
         false,
         anywhere,
         QStringLiteral("次のタブへ（最後のタブからは最初のタブへ）")},
        {KeyCommand::PreviousTab,
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
         false,
         anywhere,
         QStringLiteral("前のタブへ（最初のタブからは最後のタブへ）")},
        {KeyCommand::SelectTabByNumber, altDigits(1, 8), true, anywhere, QStringLiteral("1～8番目のタブへ")},
        {KeyCommand::SelectLastTab, altDigits(9, 9), false, anywhere, QStringLiteral("最後のタブへ")},
        {KeyCommand::TabsByArrows,
         {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Home),
          QKeySequence(Qt::Key_End)},
         false,
         tabs,
         QStringLiteral("左・右のタブ、最初・最後のタブへ")},
        {KeyCommand::GridByArrows,
         {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_Up), QKeySequence(Qt::Key_Down),
          QKeySequence(Qt::Key_Home), QKeySequence(Qt::Key_End)},
         false,
         area,
         QStringLiteral("フォルダーのチャンネルを選ぶ（クリックと同じ）")},
        {KeyCommand::OpenMember,
         {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
         false,
         area,
         QStringLiteral("選んだチャンネルをタブで開く（ダブルクリックと同じ）")},
    };
    return table;
}

QList<QKeySequence> ShortcutKeys(KeyCommand command) {
    for (const KeyboardShortcut& shortcut : KeyboardShortcuts())
        if (shortcut.Command == command) return shortcut.Keys;
    return {};
}

bool IsShortcutKey(KeyCommand command, const QKeyEvent* event) {
    const QKeySequence pressed(QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key())));
    return ShortcutKeys(command).contains(pressed);
}

QString ShortcutKeysText(const KeyboardShortcut& shortcut) {
    QStringList texts;
    for (const QKeySequence& key : shortcut.Keys) texts << key.toString(QKeySequence::NativeText);
    if (shortcut.Range && texts.size() > 2) return texts.first() + QStringLiteral(" … ") + texts.last();
    return texts.join(QStringLiteral(" / "));
}

QDialog* NewKeyboardHelpDialog(QWidget* parent) {
    auto* dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("KeyboardHelp"));
    dialog->setWindowTitle(QStringLiteral("キーボード操作"));
    const QList<KeyboardShortcut>& shortcuts = KeyboardShortcuts();
    auto* table = new QTableWidget(int(shortcuts.size()), 3, dialog);
    table->setHorizontalHeaderLabels({QStringLiteral("キー"), QStringLiteral("場所"), QStringLiteral("操作")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    for (int row = 0; row < shortcuts.size(); ++row) {
        const KeyboardShortcut& shortcut = shortcuts[row];
        const QString texts[3] = {ShortcutKeysText(shortcut), shortcut.Where, shortcut.Action};
        for (int column = 0; column < 3; ++column) table->setItem(row, column, new QTableWidgetItem(texts[column]));
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("閉じる"));
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    int width = table->verticalHeader()->width() + 4;
    for (int column = 0; column < 3; ++column) width += table->columnWidth(column);
    dialog->resize(qMax(width + 24, 480), 420);
    return dialog;
}
