#pragma once
// The common functions and pieces that need the widget toolkit, shared by
// both programs' windows.

#include <QList>
#include <QString>

class QAction;
class QLabel;
class QWidget;

namespace mdlFunction {

// Window sizes and design positions are kept in twips, 15 to a pixel, so the
// sizes in the INI stay those of files written on Windows.
constexpr int kTwipsPerPixel = 15;

// Smallest index whose item is checked; -1 when none is.
int getCheckedIndex(const QList<QAction*>& MenuItems);

// The folder-selection dialog, open at StartFolder (or the nearest folder
// above it that exists; the home folder without one); empty text when
// cancelled.
QString BrowseFolder(QWidget* OwnerWindow, const QString& Title, const QString& StartFolder = QString());

// The modal input box, buttons OK and キャンセル, holding Default at first;
// empty text when cancelled.
QString InputBox(QWidget* OwnerWindow, const QString& Prompt, const QString& Title, const QString& Default = QString());

// A modal error message with one button, OK.
void ErrorBox(QWidget* OwnerWindow, const QString& Text, const QString& Title);

// A status bar's clock panel: a label that shows the time of day in Format
// (QTime's) and keeps it current, once a second, for as long as it exists.
QLabel* NewClockLabel(QWidget* Parent, const QString& Format);

// The etched separator under a menu bar: a grey line over a white one, each
// one pixel high, as wide as the widget. The owner sets its geometry.
QWidget* NewEtchedLine(QWidget* Parent);

}  // namespace mdlFunction
