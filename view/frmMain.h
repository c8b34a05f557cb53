#pragma once
// The viewer's main window. One class; its handlers live in the folder of
// the subsystem that owns them (storage/frmMain_Settings.cpp, ...).

#include <QMainWindow>
#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QTimer;
class frmSetting;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // programDirectory holds the INI and list files; setting is the hidden
    // settings dialog, unloaded by this window's unload.
    frmMain(const QString& programDirectory, frmSetting* setting, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up and exit sequences (storage/frmMain_Settings.cpp).
    void LoadSetting();
    void SaveSetting();

    // Menu commands.
    void mnuExit_Click();
    void mnuSetting_Click();

    // One-second tick.
    void tmrCauseOneSecEvent_Timer();

    // Observation for tests and the unload path.
    int SaveSettingRuns() const { return mSaveSettingRuns; }
    bool TickEnabled() const;
    QTimer* tmrCauseOneSecEvent() const { return mTimer; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Unload();
    void createMenus();

    QString mProgramDirectory;
    QPointer<frmSetting> mSetting;
    QTimer* mTimer = nullptr;
    bool mUnloaded = false;
    int mSaveSettingRuns = 0;

    QMenu* mnuFile = nullptr;
    QAction* mnuSetting = nullptr;
    QAction* mnuFileBar = nullptr;
    QAction* mnuExit = nullptr;
};
