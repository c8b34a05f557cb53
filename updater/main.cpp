// Listmender: builds ChannelList.txt for the viewer.
#include "common/JapaneseQtTexts.h"
#include "common/OpenFiles.h"
#include "common/ProgramDirectory.h"
#include "updater/frmMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    RaiseOpenFileLimit();
    QApplication app(argc, argv);
    InstallJapaneseQtTexts(app);
    updater::frmMain window(ProgramDirectory(), ProgramFileDirectory());
    // The viewer's window exists: nothing is loaded and nothing is saved.
    if (!window.Form_Load()) return 0;
    window.show();
    return app.exec();
}
