#pragma once
// Every keyboard command of the viewer in one table: the window binds its
// shortcuts from it and ヘルプ › キーボード操作 lists it, so the list cannot
// drift from the keys that work. Commands that a control handles itself
// (the tree's keys, the search field's) are listed here with the keys it
// takes.

#include <QKeySequence>
#include <QList>
#include <QString>

class QDialog;
class QWidget;

enum class KeyCommand {
    FindChannel,        // the search field
    OpenNode,           // a node, as its left click
    NodePopup,          // a node's popup, at the node
    RenameFolder,       // a folder node
    RemoveNode,         // a folder, a favourite
    UndoRemoval,        // the last folder or favourite removed
    MoveFocus,          // tree, search field, tabs, show area
    CloseTab,           // the selected tab
    NextTab,            // with wrap-around
    PreviousTab,        // with wrap-around
    SelectTabByNumber,  // Alt+1 ... Alt+8: that tab
    SelectLastTab,      // Alt+9
    TabsByArrows,       // on the focused tab strip
    GridByArrows,       // the members of a folder tab, on the focused show area
    OpenMember,         // the selected member in its own tab
};

struct KeyboardShortcut {
    KeyCommand Command;
    QList<QKeySequence> Keys;
    bool Range;      // the keys are a run, listed as "first … last"
    QString Where;   // where the keys work
    QString Action;  // what they do
};

const QList<KeyboardShortcut>& KeyboardShortcuts();
QList<QKeySequence> ShortcutKeys(KeyCommand command);
// The keys of a row as ヘルプ › キーボード操作 shows them.
QString ShortcutKeysText(const KeyboardShortcut& shortcut);

// The window ヘルプ › キーボード操作 opens: the table, one row per command.
QDialog* NewKeyboardHelpDialog(QWidget* parent);
