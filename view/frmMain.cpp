#include "view/frmMain.h"

#include "storage/frmSetting.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

frmMain::frmMain(const QString& programDirectory, frmSetting* setting, QWidget* parent)
    : QMainWindow(parent), mProgramDirectory(programDirectory), mSetting(setting) {
    // The updater recognises a running viewer by exactly this title.
    setWindowTitle(QStringLiteral("Vantora"));
    createMenus();

    mTimer = new QTimer(this);
    mTimer->setInterval(1000);
    connect(mTimer, &QTimer::timeout, this, &frmMain::tmrCauseOneSecEvent_Timer);
}

frmMain::~frmMain() {
    if (mSetting) delete mSetting.data();
}

void frmMain::createMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("ファイル"));
    mnuSetting = mnuFile->addAction(QStringLiteral("設定"));
    mnuFileBar = mnuFile->addSeparator();
    mnuExit = mnuFile->addAction(QStringLiteral("終了"));
    connect(mnuSetting, &QAction::triggered, this, &frmMain::mnuSetting_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
}

bool frmMain::TickEnabled() const { return mTimer->isActive(); }

void frmMain::tmrCauseOneSecEvent_Timer() {}

void frmMain::mnuSetting_Click() {}

void frmMain::mnuExit_Click() {
    if (mSetting) mSetting->close();
    close();
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    // Both ways out (終了 and the window frame) end here, and only once.
    if (mUnloaded) return;
    mUnloaded = true;
    mTimer->stop();
    if (mSetting) mSetting->close();
    SaveSetting();
}
