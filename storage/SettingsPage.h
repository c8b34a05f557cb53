#pragma once
// A page that the settings dialog shows beside its own controls, for
// settings beyond the specified ones. The dialog fills it when it is shown
// and applies it with its own values when OK is pressed; Cancel, Esc and the
// close box discard its edits like the dialog's own.

#include <QWidget>

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    // Fills the controls from the stored values.
    virtual void Load() = 0;
    // Stores what the controls hold.
    virtual void Apply() = 0;
};
