#pragma once
// The settings dialog's page 状態と通知: the condition shown on the boxes and
// the desktop notifications, stored in the INI section Watch.

#include "storage/SettingsPage.h"

class QCheckBox;
class QLabel;
class QSpinBox;
struct WatchSettings;

class WatchSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    // settings outlives the page (the main window owns both).
    explicit WatchSettingsPage(WatchSettings* settings, QWidget* parent = nullptr);

    void Load() override;
    void Apply() override;

    QCheckBox* chkStatusOverlay = nullptr;
    QCheckBox* chkNotifyOnAir = nullptr;
    QCheckBox* chkNotifyFailure = nullptr;
    QSpinBox* txtNotifyFailureMinutes = nullptr;

private:
    WatchSettings* mSettings;
};
