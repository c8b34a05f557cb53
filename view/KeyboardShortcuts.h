#pragma once
// Every keyboard command of the viewer in one table: the window binds its
// shortcuts from it, the channel tree and its search field take their keys
// from it (in both programs), and ヘルプ › キーボード操作 lists it, so the
// list cannot drift from the keys that work.

#include <QKeySequence>
#include <QList>
#include <QString>

class QDialog;
class QKeyEvent;
class QWidget;

enum class KeyCommand {
    FindChannel,        // the search field
    OpenNode,           // a node, as its left click
    NodePopup,          // a node's popup, at the node
    RenameFolder,       // a folder node
    RemoveNode,         // a folder, a favourite, a folder's channel
    UndoRemoval,        // the last of those removed
    OpenFirstMatch,     // in the search field: the first channel found
    IntoResults,        // from the search field into what it found
    EndSearch,          // the tree back as it was
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
// Whether a key press is one of the command's keys (a keypad key counts as
// its main-keyboard twin).
bool IsShortcutKey(KeyCommand command, const QKeyEvent* event);
// The keys of a row as ヘルプ › キーボード操作 shows them.
QString ShortcutKeysText(const KeyboardShortcut& shortcut);

// The window ヘルプ › キーボード操作 opens: the table, one row per command.
QDialog* NewKeyboardHelpDialog(QWidget* parent);
