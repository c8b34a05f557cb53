#include "view/frmMain.h"

#include <QTimer>

void frmMain::LoadSetting() {
    // The tick starts only now, when every channel of the lists exists.
    mTimer->start();
}

void frmMain::SaveSetting() { ++mSaveSettingRuns; }
