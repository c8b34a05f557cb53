#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class SettingsPage;
struct ProgramSettings;
class HTTPTransferArray;

// The settings dialog: picture and cache directories, proxy, timeout.
// Loaded hidden at start-up, shown modally by the settings command, hidden
// by its buttons and unloaded with the main window. It edits the program-wide
// values in memory and applies proxy and timeout at once to every existing
// transfer element; the INI file gets them only at exit.
class frmSetting : public QDialog {
    Q_OBJECT
public:
    explicit frmSetting(QWidget* parent = nullptr);

    // The values the dialog edits and the transfer elements it updates; both
    // outlive the dialog (the main window owns them).
    void Attach(ProgramSettings* settings, HTTPTransferArray* http);

    // Fills the controls from the settings and shows the dialog modally;
    // returns when the dialog is hidden.
    void ShowSetting();

    // Adds a page of settings beyond the specified ones (the dialog takes
    // it). The specified controls then sit on the first page, 基本, placed
    // as designed inside it; OK and キャンセル serve every page.
    void AddPage(const QString& caption, SettingsPage* page);
    QTabBar* Pages() const { return mPageBar; }

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdDirectoryReference_Click(int Index);

    // The largest timeout the transfer layer can time (its timer counts
    // milliseconds in an int).
    static constexpr int kMaxTimeout = 2147483;

    // The folder browser, opened at the folder in the box; tests replace it.
    std::function<QString(QWidget* OwnerWindow, const QString& Title, const QString& StartFolder)> BrowseFolder;

    // The controls, named as in the design.
    std::array<QLabel*, 4> lblLabel{};
    QLineEdit* txtSavePictureDirectory = nullptr;
    std::array<QPushButton*, 2> cmdDirectoryReference{};
    QLineEdit* txtChaceDirectory = nullptr;
    QCheckBox* chkUseProxy = nullptr;
    QLineEdit* txtProxy = nullptr;
    QLineEdit* txtTimeOut = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    // Esc and the close box end here: they discard like キャンセル.
    void reject() override;

private:
    void fitCaptions();
    void showError(const QString& text);
    void showPage(int index);

    ProgramSettings* mSettings = nullptr;
    HTTPTransferArray* mHttp = nullptr;

    // The design's client area: the specified controls (mBasic, the first
    // page) and the buttons; the pages' bar above it once there are pages.
    QWidget* mBody = nullptr;
    QWidget* mBasic = nullptr;
    QTabBar* mPageBar = nullptr;
    QList<SettingsPage*> mPages;
};
