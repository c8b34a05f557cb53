#pragma once
// What the viewer adds for watching a wall of channels, beside the
// specified window: full screen (F11), the tour of a folder tab (F5), tiles
// that fill their cells, folders in windows of their own, the screen kept
// awake while any of these watch, and the last session brought back at
// start. The main window owns one and calls it from a few places of its own
// code (layout, tab change, closing a folder tab, start-up, exit); the rest
// it learns from the managers' events, after the window's own handlers.

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include "desktop/ScreenSaverInhibitor.h"
#include "storage/WatchSession.h"
#include "view/FolderWall.h"

class FolderWindow;
class FullScreenMode;
class IniDocument;
class QAction;
class QMenu;
class QShortcut;
class WallHost;

class WatchViews : public QObject {
    Q_OBJECT
public:
    // window is the main window (it owns this object).
    explicit WatchViews(WallHost& window);
    ~WatchViews() override;

    // The session bus the screen-saver inhibition uses, asked for when the
    // screen is first to be kept awake. Without one the screen is not kept.
    void SetDesktopBus(ScreenSaverInhibitor::BusFactory bus);

    // The items after the specified ones of 表示 and of the folder tab's popup.
    void CreateMenus(QMenu* show, QMenu* folderTabPopup);

    // ---- Called from the window's own code -----------------------------
    // The managers exist (LoadSetting, after the window's own connections).
    void Attach();
    // Form_Resize: in full screen the show area takes the whole client area.
    void FitShowArea();
    // tabChannelSelect_BeforeClick: the tour of the tab ends.
    void TabChanging();
    // A folder window shows that folder (its tab closing leaves its members on).
    bool FolderWindowShows(const QString& MultiMonitorID) const;
    // A folder tab closed: members that folder windows show and that it
    // switched off are switched on again for them.
    void FolderTabClosed();
    // The end of LoadSetting, before the tick starts.
    void Restore(const QString& iniPath);
    // SaveSetting writes the section Watch with these keys.
    void Save(IniDocument& doc) const;
    // After SaveSetting: tours end, folder windows close, the screen is let go.
    void Shutdown();
    void Tick();

    // ---- Commands -------------------------------------------------------
    void ToggleFullScreen();
    void ToggleTour();  // the selected folder tab's
    void SetScaleTiles(bool on);
    void OpenSelectedFolderInWindow();
    // Opens the folder's window, or raises the one that is open.
    FolderWindow* OpenFolderWindow(const QString& MultiMonitorID);

    // ---- State ----------------------------------------------------------
    FullScreenMode* MainFullScreen() const { return mFullScreen; }
    FolderTour* MainTour() const { return mTour; }
    FolderWallWidget* TourOverlay() const { return mOverlay; }
    QList<FolderWindow*> FolderWindows() const;
    FolderWindow* FolderWindowOf(const QString& MultiMonitorID) const;
    ScreenSaverInhibitor* Inhibitor() const { return mInhibitor.get(); }
    QAction* Action(const QString& objectName) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FolderWindow* openFolderWindow(const QString& MultiMonitorID, const SavedFolderWindow* restored);
    void folderWindowClosed(const QString& MultiMonitorID);
    void endTour();
    void tourChanged();
    void showChrome(bool shown);
    void modesChanged();
    void updateModes(const FolderWindow* leaving);
    void repaintFolder(const QString& MultiMonitorID);
    void repaintChannel(const QString& ChannelID);
    QString selectedFolder() const;
    // A folder's place among the folders under マルチモニター, and back.
    FolderRef folderRef(const QString& MultiMonitorID) const;
    QString folderOf(const FolderRef& ref) const;

    WallHost& mWindow;
    WallContext mContext;
    std::unique_ptr<TourViewing> mViewing;
    std::unique_ptr<ScreenSaverInhibitor> mInhibitor;
    FullScreenMode* mFullScreen = nullptr;
    QList<QPointer<QWidget>> mHiddenChrome;
    FolderTour* mTour = nullptr;
    FolderWallWidget* mOverlay = nullptr;
    QList<QPointer<FolderWindow>> mWindows;
    QHash<QString, QAction*> mActions;
    QShortcut* mEscape = nullptr;
    QList<QShortcut*> mTourKeys;
    bool mShuttingDown = false;
};
