#pragma once
// The settings dialog's page 監視 beside the specified controls: how long a
// tour shows each member, and whether the last run's tabs come back at
// start. It edits a copy; the dialog's OK applies it with the rest.

#include <QWidget>

class QCheckBox;
class QLabel;
class QSpinBox;
struct WatchSettings;

class WatchSettingPage : public QWidget {
    Q_OBJECT
public:
    explicit WatchSettingPage(QWidget* parent = nullptr);

    void Load(const WatchSettings& settings);
    void Apply(WatchSettings& settings) const;

    QLabel* lblTourSeconds = nullptr;
    QSpinBox* spnTourSeconds = nullptr;  // 2 to 3600
    QLabel* lblTourUnit = nullptr;
    QCheckBox* chkRestoreTabs = nullptr;
};
