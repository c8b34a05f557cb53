#pragma once
// The settings dialog's page 監視: how long a tour shows each member, and
// whether the last run's tabs come back at start (the INI section Watch).

#include "storage/SettingsPage.h"

class QCheckBox;
class QLabel;
class QSpinBox;
struct WatchSettings;

class WallSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    // settings outlives the page (the main window owns both).
    explicit WallSettingsPage(WatchSettings* settings, QWidget* parent = nullptr);

    void Load() override;
    void Apply() override;

    QLabel* lblTourSeconds = nullptr;
    QSpinBox* spnTourSeconds = nullptr;  // 2 to 3600
    QLabel* lblTourUnit = nullptr;
    QCheckBox* chkRestoreTabs = nullptr;

private:
    WatchSettings* mSettings;
};
