#pragma once
// The two common functions that need the widget toolkit.

#include <QList>
#include <QString>

class QAction;
class QWidget;

namespace mdlFunction {

// Smallest index whose item is checked; -1 when none is.
int getCheckedIndex(const QList<QAction*>& MenuItems);

// The folder-selection dialog; empty text when cancelled.
QString BrowseFolder(QWidget* OwnerWindow, const QString& Title);

}  // namespace mdlFunction
