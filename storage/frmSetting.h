#pragma once

#include <QDialog>

// The settings dialog: picture and cache directories, proxy, timeout.
// Loaded hidden at start-up, shown modally by the settings command, hidden
// by its buttons and unloaded with the main window.
class frmSetting : public QDialog {
    Q_OBJECT
public:
    explicit frmSetting(QWidget* parent = nullptr);
    void ShowSetting() { exec(); }
};
