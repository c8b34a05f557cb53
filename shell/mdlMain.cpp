#include "shell/mdlMain.h"

#include "common/ProgramDirectory.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QApplication>

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The programs take no arguments; Qt's own (-platform ...) are consumed above.
    auto* setting = new frmSetting();  // loaded hidden; the main window unloads it
    frmMain window(ProgramDirectory(), setting);
    window.show();
    // No event is processed before LoadSetting returns, so the tick it
    // enables last cannot fire earlier.
    window.LoadSetting();
    return app.exec();
}
