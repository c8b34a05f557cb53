#pragma once
// A viewer main window on a temporary program folder, offscreen.

#include "TempProgramDir.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QMenu>
#include <QStringList>

#include <memory>

struct ViewerFixture {
    TempProgramDir dir;
    std::unique_ptr<frmMain> window;
    QStringList popups;    // names of the popups shown
    QStringList messages;  // "title: text" of message boxes shown
    QStringList inputAnswers;
    QStringList inputInitials;  // what each input box held when it opened

    // Creates the window (and loads the settings and lists unless told not to).
    frmMain& open(bool load = true) {
        window = std::make_unique<frmMain>(dir.path(), std::make_unique<frmSetting>());
        window->PopupMenuFunction = [this](QMenu* menu) { popups << (menu ? menu->objectName() : QString()); };
        window->MessageBoxFunction = [this](const QString& text, const QString& title, bool) {
            messages << title + QStringLiteral(": ") + text;
        };
        window->InputBoxFunction = [this](const QString&, const QString&, const QString& initial) {
            inputInitials << initial;
            return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
        };
        window->show();
        if (load) window->LoadSetting();
        return *window;
    }
    // Closes the window (writing its files) and forgets it.
    void close() {
        if (window) window->close();
        window.reset();
    }
    ~ViewerFixture() { close(); }
};
