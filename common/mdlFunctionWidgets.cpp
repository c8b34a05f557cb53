#include "common/mdlFunctionWidgets.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace mdlFunction {

int getCheckedIndex(const QList<QAction*>& MenuItems) {
    for (int i = 0; i < MenuItems.size(); ++i)
        if (MenuItems[i] && MenuItems[i]->isChecked()) return i;
    return -1;
}

QString BrowseFolder(QWidget* OwnerWindow, const QString& Title) {
    const QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    const QString dir = QFileDialog::getExistingDirectory(OwnerWindow, Title, start);
    return dir.isEmpty() ? QString() : QDir::toNativeSeparators(dir);
}

}  // namespace mdlFunction
