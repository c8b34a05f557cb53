#pragma once
// The viewer's main window. One class, as the design has it; its handlers
// live in the folder of the subsystem that owns them:
//   view/         construction, layout (Form_Resize), tabs, pictures, toolbar
//   storage/      LoadSetting / SaveSetting, the tree list files
//   channel/      the channel manager's event handlers
//   navigation/   the channel tree, favourites, the About box
//   multimonitor/ the folder commands and the folder manager's event handlers
//   watch/        conditions on the boxes, the health view, notifications
// Model objects never touch the window: they raise their managers' events.

#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "channel/PictureElement.h"
#include "channel/ProgramSettings.h"
#include "common/MouseButtonCode.h"
#include "common/TextFile.h"
#include "navigation/NodeTag.h"
#include "storage/WatchSettings.h"
#include "storage/frmSetting.h"
#include "view/MainWindowLayout.h"
#include "view/WallHost.h"
#include "view/WindowVocabulary.h"
#include "watch/ChannelWatch.h"

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class ChannelHTTPCompletion;
class ChannelTreeModel;
class ChannelTreeView;
class ConditionOverlay;
class CurlMulti;
class DesktopNotifications;
class FavoriteWatch;
class HealthView;
class HTTPTransferArray;
class ShowAreaWidget;
class SplitterBar;
class TabStripWidget;
class TreeNode;
class TreeRemovalUndo;
class WatchViews;
class clsChannel;
class clsChannelManeger;
class clsMultiMonitorFolder;
class clsMultiMonitorManeger;

class frmMain : public QMainWindow, public WallHost {
    Q_OBJECT
public:
    // programDirectory holds the INI and list files; setting is the hidden
    // settings dialog, which the window owns and closes at its unload.
    frmMain(const QString& programDirectory, std::unique_ptr<frmSetting> setting, QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- Start-up and exit (storage/frmMain_Settings.cpp) ----------------
    void LoadSetting();
    void SaveSetting();

    // ---- Tree list files (storage/frmMain_TreeList.cpp) -------------------
    void LoadTreeListFile(const QStringList& lines);
    // Writes the three list files from the tree; false when one failed.
    bool SaveTreeListFiles(QStringList* failedFiles = nullptr);

    // ---- Shell (view/frmMain.cpp) -----------------------------------------
    void mnuExit_Click();
    void mnuSetting_Click();
    void tmrCauseOneSecEvent_Timer();

    // ---- Layout (view/frmMain_Layout.cpp) --------------------------------
    void Form_Resize() override;
    void cntForResize_MouseMove(int Button, int Shift, int x, int y);

    // ---- Tabs (view/frmMain_Tabs.cpp) -------------------------------------
    void OpenChannelTab(const QString& ChannelID) override;
    void OpenMultiMonitorTab(const QString& MultiMonitorID) override;
    void CloseTab(int TabIndex, bool IsAthoerCheak);
    int getTabIndexFromTag(const QString& Tag) const override;  // 1-based, -1 when none
    TreeNode* getChildNodeFromTag(TreeNode* Parent, const QString& Tag) const;
    void tabChannelSelect_MouseDown(MouseButtonCode Button);
    void tabChannelSelect_BeforeClick();
    void tabChannelSelect_Click();
    void mnuCloseChannelTab_Click();
    void mnuCloseMultiMonitorTab_Click();
    // Selects tab i (1-based) from code: runs BeforeClick and Click like a user's click.
    void SelectTab(int TabIndex);

    // ---- Keyboard, and the tabs' mouse (view/frmMain_Keyboard.cpp) --------
    // A press on the tab strip (TabIndex 0: beside the tabs). A right click
    // first selects the tab under the pointer, so its popup acts on it; a
    // middle click closes it.
    void tabChannelSelect_Pressed(MouseButtonCode Button, int TabIndex);
    // Selects a tab as a left click does: the keyboard's way to a tab.
    void SelectTabAsLeftClick(int TabIndex);
    // The next (Step 1) or previous (-1) tab, wrapping around.
    void SelectNextTab(int Step);
    // The selected tab, closed as its popup closes it.
    void CloseSelectedTab();
    // Any tab, closed as its popup would; the selection stays where it was.
    void CloseTabAt(int TabIndex);
    // A key on the show area: in a folder tab the arrow keys, Home and End
    // select a member as a click on it does, Enter opens it as a double click.
    void cntShowBox_KeyDown(int Key);
    void mnuKeyboardHelp_Click();

    // ---- Pictures (view/frmMain_Pictures.cpp) -----------------------------
    void ShowChannelPicture();
    void ArrangeThumbnailBox();
    void imgChannelShow_MouseDown(int Index, MouseButtonCode Button);
    void imgChannelShow_Click(int Index);
    void imgChannelShow_DblClick(int Index);
    void mnuImageResize_Click(int Index);
    void mnuShowPictureOnlyOnBroadcast_Click();
    // Hides the selection frame, every element and every name label from 1.
    void HideAllShowBoxes();

    // ---- Toolbar (view/frmMain_Toolbar.cpp) -------------------------------
    void tbrNormal_ButtonClick(const QString& Key);
    void tbrNormal_ButtonMenuClick(QAction* Entry);
    int getFolderMenuIndexFromTag(const QString& Tag) const;  // 1-based, -1 when none

    // ---- Channel events (channel/frmMain_ChannelEvents.cpp) ---------------
    void mChannelManeger_ChannelControlRefresh(const QString& ChannelID, int ControlStatusFlag,
                                               const QStringList& BelongMultiMonitorID);
    void mChannelManeger_ChannelInfomationRefresh(const QString& ChannelID, const QStringList& InfomationString);
    void mChannelManeger_ShowBoxRefresh(const QString& ChannelID);
    void mChannelManeger_ChannelStatusRefresh(const QString& ChannelID);

    // ---- Channel tree (navigation/frmMain_Tree.cpp) -----------------------
    void tvwChannelSelect_MouseDown(MouseButtonCode Button);
    void tvwChannelSelect_NodeClick(TreeNode* Node);
    void mnuShowChannelOnlyOnBroadcast_Click();

    // ---- Tree keys (navigation/frmMain_TreeKeys.cpp) ------------------------
    // Enter and Space act as a left click, the Menu key and Shift+F10 as a
    // right click with the popup at the node; F2 renames a folder, Delete
    // runs the node's remove command, Ctrl+Z brings back the last removal.
    void tvwChannelSelect_KeyActivate(TreeNode* Node);
    void tvwChannelSelect_KeyMenu(TreeNode* Node, const QPoint& At);
    void tvwChannelSelect_KeyRename(TreeNode* Node);
    void tvwChannelSelect_KeyRemove(TreeNode* Node);
    void UndoLastRemoval();

    // ---- Favourites (navigation/frmMain_Favorites.cpp) --------------------
    void mnuAddChannelToFavarite_Click();
    void mnuRemoveFavariteChannel_Click();
    void mChannelManeger_AddChannelToFavarite(const QString& ChannelID);
    void mChannelManeger_RemoveChannelFromFavarite(const QString& ChannelID);

    // ---- About (navigation/frmMain_About.cpp) -----------------------------
    void mnuAbout_Click();
    static QString AboutText();

    // ---- Folders (multimonitor/frmMain_MultiMonitor.cpp) ------------------
    void mnuAddMultiMonitorFolder_Click();
    void mnuChangeMultiMonitorFolderName_Click();
    void mnuRemoveMultiMonitorFolder_Click();
    void mnuRemoveChannelFromMultiMonitorChannel_Click();
    void mnuAddChannelToMultiMonitorFolder_Click(int Index);
    void mMultiMonitorManeger_AddMultiMonitorFolder(const QString& MultiMonitorID, const QString& FolderName,
                                                    bool IsExpand);
    void mMultiMonitorManeger_RemoveMultiMonitorFolder(const QString& MultiMonitorID);
    void mMultiMonitorManeger_AddChannelToMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID);
    void mMultiMonitorManeger_RemoveChannelFromMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID);
    void mMultiMonitorManeger_ChangeMultiMonitorFolderName(const QString& MultiMonitorID, const QString& NewFolderName);
    void mMultiMonitorManeger_ThumbnailBoxRefresh(const QString& MultiMonitorID) override;

    // ---- Watch (watch/frmMain_Watch.cpp) ----------------------------------
    // Runs after every tick of tmrCauseOneSecEvent: notices, counts, badges.
    void WatchTick();
    void mnuShowStatusOverlay_Click();
    void mnuChannelHealth_Click();
    // Everything follows the section Watch after the dialog or a menu changed it.
    void ApplyWatchSettings();
    ChannelWatch* Watcher() const { return mChannelWatch.get(); }
    FavoriteWatch* FavoritesWatch() const { return mFavoriteWatch.get(); }
    HealthView* ChannelHealthView() const { return mHealthView; }
    DesktopNotifications* Notifications() const { return mNotifications; }
    QAction* mnuShowStatusOverlay() const { return mShowStatusOverlay; }
    QAction* mnuChannelHealth() const { return mChannelHealth; }
    QLabel* sbrMainMessage() const { return mStatusMessage; }
    // The watch's clocks and the notifications' bus, read once by LoadSetting:
    // the system's and the session bus unless a test gives others.
    ChannelWatch::Clock WatchClock;
    ChannelWatch::WallClock WatchWallClock;
    std::function<QDBusConnection()> DesktopBus;

    // ---- Platform services the handlers use; tests replace them ----------
    std::function<void(QMenu*)> PopupMenuFunction;  // shows a popup at the pointer
    // The input box holds `initial` when it opens.
    std::function<QString(const QString& prompt, const QString& title, const QString& initial)> InputBoxFunction;
    // information: the information icon (the About box); otherwise a warning.
    std::function<void(const QString& text, const QString& title, bool information)> MessageBoxFunction;

    // ---- What tests and other parts read ---------------------------------
    ProgramSettings& Settings() { return mSettings; }
    WatchSettings& Watch() override { return mWatch; }
    QMainWindow& HostWindow() override { return *this; }
    // Full screen, tours, folder windows and the last session (beyond the specified window).
    WatchViews* Watching() const { return mWatchViews; }
    const QString& ProgramDir() const { return mProgramDirectory; }
    clsChannelManeger* ChannelManeger() const override { return mChannelManeger.get(); }
    clsMultiMonitorManeger* MultiMonitorManeger() const override { return mMultiMonitorManeger.get(); }
    HTTPTransferArray* netChannelHTTP() const { return mHTTP; }
    PictureElementArray& imgChannelShow() { return mPictures; }
    ChannelTreeView* tvwChannelSelect() const { return mTree; }
    ChannelTreeModel* TreeModel() const { return mTreeModel; }
    TreeNode* MultiMonitorRoot() const override { return mRootMultiMonitor; }
    TreeNode* FavariteRoot() const { return mRootFavarite; }
    TabStripWidget* tabChannelSelect() const { return mTabs; }
    ShowAreaWidget* cntShowBox() const override { return mShowArea; }
    QWidget* ClientArea() const override { return mClient; }
    SplitterBar* cntForResize() const { return mSplitter; }
    QLabel* lblChannelInfomation(int i) const { return mInfoLabels[i]; }
    QToolBar* tbrNormal() const { return mToolbar; }
    // Never null: an unknown key (ToolbarKey) fails loudly and gives a stand-in.
    QAction* ToolbarButton(const QString& Key) const;
    int ToolbarFolderImage() const { return mFolderImage; }
    QMenu* FolderDropDown() const { return mFolderMenu; }
    QList<QAction*> mnuImageResize() const { return mImageResize; }
    QAction* mnuShowPictureOnlyOnBroadcast() const { return mShowPictureOnlyOnBroadcast; }
    QAction* mnuShowChannelOnlyOnBroadcast() const { return mShowChannelOnlyOnBroadcast; }
    QList<QAction*> mnuAddChannelToMultiMonitorFolder() const { return mAddToFolder; }
    // Never null: an unknown name (PopupName) fails loudly and gives a stand-in.
    QMenu* Popup(const QString& name) const;
    const MainLayoutGeometry& Geometry() const { return mGeometry; }
    int StatusBarHeight() const;
    int SaveSettingRuns() const { return mSaveSettingRuns; }
    bool TickEnabled() const;
    QTimer* tmrCauseOneSecEvent() const { return mTimer; }
    QString SelectedTabTag() const override;
    int TabCount() const override;
    QString TabTag(int TabIndex) const override;  // 1-based
    QString TabCaption(int TabIndex) const;       // 1-based
    int SelectedTabIndex() const override;        // 1-based
    MouseButtonCode TreeMouseButton() const { return mTreeMouseButton; }

    // Node tags, the way the tree carries identity: a node keeps its kind
    // and identifier, and its tag is made of them.
    static QString NodeTag(const TreeNode* node);
    void SetNodeTag(TreeNode* node, const QString& tag);
    // Adds a node as a root (parent null) or as the last child; it becomes
    // the most recently added node.
    TreeNode* AddNode(TreeNode* parent, NodeKind kind, const QString& text, const QString& id = QString());
    TreeNode* LastAddedNode() const;

signals:
    // Emitted once the window has been unloaded and its state written.
    void Unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Unload();
    void createControls();
    void createMenus();
    void createPopups();
    void createToolbar();
    void createKeyboard();
    void chainFocus();
    void connectModel();
    void applyGeometry();
    TabStripMetrics tabMetrics() const;
    void rememberNormalSize();
    QSize normalSizeForSaving() const;
    void keepOnScreen();
    void applyPendingState();

    // Opens a tab with that tag, or selects the one that has it.
    void openTab(const QString& Tag, const QString& Caption, const std::function<void()>& SwitchViewingOn);
    // Sets a folder's drop-down marker when the channel is the selected one.
    void markFolderEntry(const QString& MultiMonitorID, const QString& ChannelID, bool member);

    QString ChannelCaption(const clsChannel* channel) const;
    void showMessage(const QString& text, const QString& title, bool information = false);
    void hideStaleThumbnails(const QList<PictureElement*>& shown, int labelsUsed, bool frameShown);

    // Watch (watch/frmMain_Watch.cpp).
    void createWatchControls();
    void startWatch();
    void stopWatch();
    void showStatusCounts();
    void notify(const QString& summary, const QString& body, const QString& ChannelID);
    void openWatchedChannel(const QString& ChannelID);

    QString mProgramDirectory;
    std::unique_ptr<frmSetting> mSetting;
    QTimer* mTimer = nullptr;
    bool mUnloaded = false;
    int mSaveSettingRuns = 0;

    // Model.
    ProgramSettings mSettings;
    WatchSettings mWatch;  // the section "Watch": what the viewer adds
    WatchViews* mWatchViews = nullptr;
    CurlMulti* mCurl = nullptr;  // made before mHTTP: its transfers are dropped first
    HTTPTransferArray* mHTTP = nullptr;
    PictureElementArray mPictures;
    std::unique_ptr<clsChannelManeger> mChannelManeger;
    std::unique_ptr<clsMultiMonitorManeger> mMultiMonitorManeger;
    ChannelHTTPCompletion* mHTTPCompletion = nullptr;

    // Controls.
    QWidget* mClient = nullptr;
    QWidget* mLinSplit = nullptr;  // the etched line under the menu bar
    ChannelTreeModel* mTreeModel = nullptr;
    ChannelTreeView* mTree = nullptr;
    SplitterBar* mSplitter = nullptr;
    QWidget* mPanel = nullptr;
    QLabel* mInfoLabels[2] = {nullptr, nullptr};
    QWidget* mBoxDepth[4] = {nullptr, nullptr, nullptr, nullptr};
    QToolBar* mToolbar = nullptr;
    QToolButton* mFolderButton = nullptr;
    QMenu* mFolderMenu = nullptr;
    QHash<QString, QAction*> mToolbarButtons;
    // What ToolbarButton gives for an unknown key, made when first needed.
    mutable QAction* mMissingButton = nullptr;
    int mFolderImage = ToolbarImageNumber::Folder;
    TabStripWidget* mTabs = nullptr;
    ShowAreaWidget* mShowArea = nullptr;
    QWidget* mStatusBar = nullptr;
    QLabel* mStatusMessage = nullptr;
    QLabel* mStatusTime = nullptr;
    MainLayoutGeometry mGeometry;
    QSize mNormalSize;
    QSize mStartSize;            // the size start-up asked for, until the window manager has placed the window
    QSize mStartFit;             // the size that fit gave the window
    bool mStartFitSeen = false;  // the window had that size once
    QSize mSizeBeforeStart;      // the designed size the window was shown at
    Qt::WindowState mPendingState = Qt::WindowNoState;   // the stored state, until the stored size has arrived
    Qt::WindowState mStateToArrive = Qt::WindowNoState;  // set, not yet reported back by the window manager

    // Menus.
    QMenu* mnuFile = nullptr;
    QAction* mnuSetting = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuShow = nullptr;
    QList<QAction*> mImageResize;
    QAction* mShowPictureOnlyOnBroadcast = nullptr;
    QAction* mShowChannelOnlyOnBroadcast = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuKeyboardHelp = nullptr;
    QHash<QString, QMenu*> mPopups;
    // What Popup gives for an unknown name, made when first needed.
    mutable QMenu* mMissingPopup = nullptr;
    QList<QAction*> mAddToFolder;  // element 0 is the separator

    // Tree.
    TreeNode* mRootMultiMonitor = nullptr;
    TreeNode* mRootFavarite = nullptr;
    // The favourite node of each channel, by CaseKey: a list of thousands of
    // favourites is not searched through for every one read.
    QHash<QString, TreeNode*> mFavoriteNodes;
    MouseButtonCode mTreeMouseButton = MouseButtonCode::None;
    std::optional<QPoint> mPopupAt;  // a popup asked for by key opens at its node
    std::unique_ptr<TreeRemovalUndo> mUndo;

    // Tabs and pictures.
    MouseButtonCode mTabMouseButton = MouseButtonCode::None;
    MouseButtonCode mShowBoxMouseButton = MouseButtonCode::None;
    int mFitDepth = 0;  // re-entry guard of the window fit
    QSize mLastFitSize;
    QList<PictureElement*> mArrangedBoxes;  // the boxes of the latest grid

    // List files as read, so each is written back in its encoding and a file
    // that could not be read is never overwritten.
    TextFileInfo mListFileInfo[3];
    // Folder settings that are no paths here (from Windows, or relative),
    // ChachDirctory [0] and PictureSaveDirctory [1]: the value as read and the
    // default used in its place. Written back as read unless changed.
    QString mForeignFolder[2];
    QString mForeignFolderReplacement[2];
    // ChannelList.txt was read and named channels. Loaded without it (missing,
    // unreadable or empty): the favourites, and the members by MultiMonitorID,
    // whose channels are unknown, written back as they were.
    bool mChannelsKnown = false;
    QStringList mCarriedFavorites;
    QHash<QString, QStringList> mCarriedMembers;

    // Watch.
    std::unique_ptr<ChannelWatch> mChannelWatch;
    std::unique_ptr<FavoriteWatch> mFavoriteWatch;
    std::unique_ptr<ConditionOverlay> mConditionOverlay;
    HealthView* mHealthView = nullptr;
    DesktopNotifications* mNotifications = nullptr;
    QAction* mShowStatusOverlay = nullptr;
    QAction* mChannelHealth = nullptr;
    QSet<QString> mAnnouncedFailures;  // CaseKey of channels whose failure was notified
};
