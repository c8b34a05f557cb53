#include "common/JapaneseQtTexts.h"

#include <QCoreApplication>
#include <QTranslator>

bool InstallJapaneseQtTexts(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/vantora/translations/qtbase_ja.qm")) ||
        !app.installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}
