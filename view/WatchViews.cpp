#include "view/WatchViews.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/IniFile.h"
#include "common/TextCompare.h"
#include "multimonitor/FolderWindow.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/NodeTag.h"
#include "storage/WatchSession.h"
#include "storage/WatchSettings.h"
#include "view/FullScreenMode.h"
#include "view/ShowAreaWidget.h"
#include "view/WallHost.h"

#include <QAction>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>

namespace {

constexpr int kThumbnailViewFlag = 4;  // the view flag's bit of thumbnail viewing

QString folderTabTag(const QString& MultiMonitorID) { return MakeTag(NodeKind::MultiMonitor, MultiMonitorID); }

// A saved rectangle on a screen of that name, or on the primary screen when
// it is gone; kept inside the screen's free area either way.
QRect placeOnScreen(const SavedFolderWindow& saved) {
    QScreen* screen = QGuiApplication::primaryScreen();
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == saved.Screen) screen = s;
    if (!screen) return saved.Geometry;
    const QRect room = screen->availableGeometry();
    QRect g(screen->geometry().topLeft() + saved.Geometry.topLeft(), saved.Geometry.size().boundedTo(room.size()));
    g.moveLeft(qBound(room.left(), g.left(), room.right() + 1 - g.width()));
    g.moveTop(qBound(room.top(), g.top(), room.bottom() + 1 - g.height()));
    return g;
}

}  // namespace

WatchViews::WatchViews(WallHost& window) : QObject(&window.HostWindow()), mWindow(window) {
    mFullScreen = new FullScreenMode(&window.HostWindow());
    mFullScreen->ShowChrome = [this](bool shown) { showChrome(shown); };
    connect(mFullScreen, &FullScreenMode::Changed, this, [this] {
        // The client area changes size with the menu bar; lay it out in any case.
        mWindow.Form_Resize();
        modesChanged();
    });
    window.cntShowBox()->installEventFilter(this);

    mEscape = new QShortcut(QKeySequence(Qt::Key_Escape), &window.HostWindow());
    connect(mEscape, &QShortcut::activated, this, [this] {
        if (mTour) {
            endTour();
        } else if (mFullScreen->Active()) {
            mFullScreen->Leave();
        }
    });
    auto tourKey = [this](Qt::Key key, const std::function<void()>& run) {
        auto* shortcut = new QShortcut(QKeySequence(key), &mWindow.HostWindow());
        connect(shortcut, &QShortcut::activated, this, run);
        mTourKeys << shortcut;
    };
    tourKey(Qt::Key_Space, [this] {
        if (mTour) mTour->SetPaused(!mTour->Paused());
    });
    tourKey(Qt::Key_Left, [this] {
        if (mTour) mTour->Step(-1);
    });
    tourKey(Qt::Key_Right, [this] {
        if (mTour) mTour->Step(1);
    });
    modesChanged();
}

WatchViews::~WatchViews() {
    // Tours give normal viewing back while the channels still exist.
    delete mTour;
    mTour = nullptr;
    for (const QPointer<FolderWindow>& w : mWindows) {
        if (!w) continue;
        w->disconnect(this);
        delete w.data();
    }
}

void WatchViews::SetDesktopBus(ScreenSaverInhibitor::BusFactory bus) {
    mInhibitor = std::make_unique<ScreenSaverInhibitor>(std::move(bus));
    modesChanged();
}

QAction* WatchViews::Action(const QString& objectName) const { return mActions.value(objectName); }

void WatchViews::CreateMenus(QMenu* show, QMenu* folderTabPopup) {
    auto add = [this](QMenu* menu, const char* name, const QString& caption, const QKeySequence& key, bool checkable,
                      void (WatchViews::*run)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setCheckable(checkable);
        // The window holds the action too, so its key works with the menu bar hidden.
        if (!key.isEmpty()) mWindow.HostWindow().addAction(action);
        connect(action, &QAction::triggered, this, run);
        mActions.insert(action->objectName(), action);
        return action;
    };
    show->addSeparator();
    add(show, "mnuFullScreen", QStringLiteral("全画面表示"), QKeySequence(Qt::Key_F11), true,
        &WatchViews::ToggleFullScreen);
    add(show, "mnuTour", QStringLiteral("巡回表示"), QKeySequence(Qt::Key_F5), true, &WatchViews::ToggleTour);
    QAction* tiles = show->addAction(QStringLiteral("タイルを拡大"));
    tiles->setObjectName(QStringLiteral("mnuScaleTiles"));
    tiles->setCheckable(true);
    connect(tiles, &QAction::triggered, this, &WatchViews::SetScaleTiles);
    mActions.insert(tiles->objectName(), tiles);
    QAction* window = add(show, "mnuFolderWindow", QStringLiteral("別ウィンドウで表示"), QKeySequence(), false,
                          &WatchViews::OpenSelectedFolderInWindow);
    // (The tour's item stays enabled: a disabled action would also lose its
    // key until the menu is shown again; outside a folder tab it does nothing.)
    connect(show, &QMenu::aboutToShow, this, [this, window] { window->setEnabled(!selectedFolder().isEmpty()); });
    if (folderTabPopup) {
        folderTabPopup->addSeparator();
        add(folderTabPopup, "mnuFolderWindowFromTab", QStringLiteral("別ウィンドウで表示"), QKeySequence(), false,
            &WatchViews::OpenSelectedFolderInWindow);
    }
}

void WatchViews::Attach() {
    clsChannelManeger* channels = mWindow.ChannelManeger();
    clsMultiMonitorManeger* folders = mWindow.MultiMonitorManeger();
    mViewing = std::make_unique<TourViewing>(*channels, [this](const QString& ChannelID) {
        return mWindow.getTabIndexFromTag(MakeTag(NodeKind::Channel, ChannelID)) != -1;
    });
    mContext.Channels = channels;
    mContext.Folders = folders;
    mContext.Watch = &mWindow.Watch();
    mContext.Failing = new FailingChannels(*channels, this);
    mContext.Viewing = mViewing.get();

    connect(channels, &clsChannelManeger::ShowBoxRefresh, this, &WatchViews::repaintChannel);
    connect(channels, &clsChannelManeger::ChannelStatusRefresh, this, &WatchViews::repaintChannel);
    connect(folders, &clsMultiMonitorManeger::ThumbnailBoxRefresh, this, &WatchViews::repaintFolder);
    connect(folders, &clsMultiMonitorManeger::RemoveChannelFromMultiMonitor, this,
            [this](const QString& MultiMonitorID) { repaintFolder(MultiMonitorID); });
    connect(folders, &clsMultiMonitorManeger::AddChannelToMultiMonitor, this,
            [this](const QString& MultiMonitorID, const QString& ChannelID) {
                // A member added while only a folder window shows the folder
                // is registered inactive by the window's commands: it is
                // shown, so it is switched on as the open folder's members are.
                if (!FolderWindowShows(MultiMonitorID)) return;
                if (clsChannel* channel = mContext.Channels->Channel(ChannelID)) {
                    const int slot = channel->getThumbnailShowBoxIndexFromMultiMonitorID(MultiMonitorID);
                    if (slot > 0 && !channel->ThumbnailIsActive(slot))
                        channel->ViewControl(clsChannel::ThumbnailViewOpen, MultiMonitorID);
                }
                repaintFolder(MultiMonitorID);
            });
    connect(folders, &clsMultiMonitorManeger::ChangeMultiMonitorFolderName, this,
            [this](const QString& MultiMonitorID, const QString& NewFolderName) {
                if (FolderWindow* w = FolderWindowOf(MultiMonitorID)) w->SetFolderName(NewFolderName);
            });
    connect(folders, &clsMultiMonitorManeger::RemoveMultiMonitorFolderEvent, this,
            [this](const QString& MultiMonitorID) {
                // Its members were switched off before the folder went.
                if (FolderWindow* w = FolderWindowOf(MultiMonitorID)) w->CloseQuietly();
                modesChanged();
            });
}

bool WatchViews::eventFilter(QObject* watched, QEvent* event) {
    if (mOverlay && watched == mWindow.cntShowBox() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        mOverlay->setGeometry(mWindow.cntShowBox()->geometry());
    return QObject::eventFilter(watched, event);
}

// ---- Full screen -------------------------------------------------------------

void WatchViews::ToggleFullScreen() { mFullScreen->Toggle(); }

void WatchViews::showChrome(bool shown) {
    if (!shown) {
        // Everything of the client area but the show area (and the tour
        // laid over it): tree, splitter, panel, tab strip, status bar, lines.
        mHiddenChrome.clear();
        for (QWidget* child : mWindow.ClientArea()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child == mWindow.cntShowBox() || child == mOverlay || child->isHidden()) continue;
            mHiddenChrome << child;
            child->hide();
        }
        mWindow.HostWindow().menuBar()->hide();
        return;
    }
    mWindow.HostWindow().menuBar()->show();
    for (const QPointer<QWidget>& child : mHiddenChrome)
        if (child) child->show();
    mHiddenChrome.clear();
}

void WatchViews::FitShowArea() {
    if (!mFullScreen->Active()) return;
    // The grid and the resize modes are computed for this area.
    mWindow.cntShowBox()->setGeometry(mWindow.ClientArea()->rect());
}

// ---- Tour of the selected folder tab ----------------------------------------

QString WatchViews::selectedFolder() const {
    const ParsedTag tab = ParseTag(mWindow.SelectedTabTag());
    return tab.Kind == NodeKind::MultiMonitor ? tab.ID : QString();
}

void WatchViews::ToggleTour() {
    if (mTour) {
        endTour();
        return;
    }
    const QString folder = selectedFolder();
    if (folder.isEmpty() || !mContext.Channels) return modesChanged();
    mTour = new FolderTour(mContext.TourContext(), folder, this);
    mOverlay = new FolderWallWidget(mContext, folder, mWindow.ClientArea());
    mOverlay->setObjectName(QStringLiteral("TourOverlay"));
    mOverlay->SetGridShown(false);  // while the tour waits, the grid below shows
    mOverlay->SetTour(mTour);
    mOverlay->setGeometry(mWindow.cntShowBox()->geometry());
    mOverlay->setFont(mWindow.cntShowBox()->font());
    connect(mTour, &FolderTour::Changed, this, &WatchViews::tourChanged);
    connect(mOverlay, &FolderWallWidget::MemberDoubleClicked, this,
            [this](const QString& ChannelID) { mWindow.OpenChannelTab(ChannelID); });
    mTour->Start();
    tourChanged();
    modesChanged();
}

void WatchViews::endTour() {
    if (!mTour) return;
    FolderTour* tour = mTour;
    mTour = nullptr;
    delete tour;  // gives normal viewing back
    delete mOverlay;
    mOverlay = nullptr;
    modesChanged();
}

void WatchViews::tourChanged() {
    if (!mOverlay) return;
    mOverlay->setVisible(mOverlay->ShowsTourMember());
    mOverlay->raise();
    mOverlay->update();
}

void WatchViews::TabChanging() { endTour(); }

void WatchViews::Tick() {
    if (mTour) mTour->Tick();
    for (FolderWindow* w : FolderWindows()) w->Tick();
}

// ---- Tiles ------------------------------------------------------------------

void WatchViews::SetScaleTiles(bool on) {
    mWindow.Watch().ScaleTiles = on;
    if (QAction* action = Action(QStringLiteral("mnuScaleTiles"))) action->setChecked(on);
    const QString folder = selectedFolder();
    // The same redraw as the folder's refresh: everything hidden, then laid out.
    if (!folder.isEmpty()) mWindow.mMultiMonitorManeger_ThumbnailBoxRefresh(folder);
    for (FolderWindow* w : FolderWindows()) w->Wall()->update();
}

// ---- Folder windows -----------------------------------------------------------

QList<FolderWindow*> WatchViews::FolderWindows() const {
    QList<FolderWindow*> open;
    for (const QPointer<FolderWindow>& w : mWindows)
        if (w && w->isVisible()) open << w.data();
    return open;
}

FolderWindow* WatchViews::FolderWindowOf(const QString& MultiMonitorID) const {
    for (FolderWindow* w : FolderWindows())
        if (EqualsNoCase(w->MultiMonitorID(), MultiMonitorID)) return w;
    return nullptr;
}

bool WatchViews::FolderWindowShows(const QString& MultiMonitorID) const { return FolderWindowOf(MultiMonitorID); }

void WatchViews::OpenSelectedFolderInWindow() {
    const QString folder = selectedFolder();
    if (!folder.isEmpty()) OpenFolderWindow(folder);
}

FolderWindow* WatchViews::OpenFolderWindow(const QString& MultiMonitorID) {
    return openFolderWindow(MultiMonitorID, nullptr);
}

FolderWindow* WatchViews::openFolderWindow(const QString& MultiMonitorID, const SavedFolderWindow* restored) {
    clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(MultiMonitorID) : nullptr;
    if (!folder) return nullptr;
    if (FolderWindow* open = FolderWindowOf(MultiMonitorID)) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* w = new FolderWindow(mContext, folder->MultiMonitorID(), folder->FolderName());
    w->setFont(mWindow.cntShowBox()->font());
    mWindows.removeAll(nullptr);
    mWindows << w;
    connect(w, &FolderWindow::ClosedByUser, this, &WatchViews::folderWindowClosed);
    connect(w, &FolderWindow::ModeChanged, this, &WatchViews::modesChanged);
    connect(w, &FolderWindow::MemberDoubleClicked, this, [this](const QString& ChannelID) {
        mWindow.OpenChannelTab(ChannelID);
        mWindow.HostWindow().activateWindow();
    });
    // Its members fetch as for an open folder tab; when the tab is open they do already.
    if (mWindow.getTabIndexFromTag(folderTabTag(MultiMonitorID)) == -1)
        folder->MultMonitorControl(clsMultiMonitorFolder::FolderShown, false);
    if (restored) w->setGeometry(placeOnScreen(*restored));
    w->show();
    if (restored && restored->FullScreen) w->FullScreen()->Enter();
    return w;
}

void WatchViews::folderWindowClosed(const QString& MultiMonitorID) {
    // As a folder tab closing through its popup: members another open view
    // still shows go on; the folder's own tab keeps them all.
    clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(MultiMonitorID) : nullptr;
    if (!mShuttingDown && folder && mWindow.getTabIndexFromTag(folderTabTag(MultiMonitorID)) == -1)
        folder->MultMonitorControl(clsMultiMonitorFolder::FolderHidden, true);
    // The window is still on screen while it closes; it no longer counts.
    updateModes(FolderWindowOf(MultiMonitorID));
}

void WatchViews::FolderTabClosed() {
    for (FolderWindow* w : FolderWindows()) {
        const clsMultiMonitorFolder* folder = mContext.Folders->MultiMonitor(w->MultiMonitorID());
        if (!folder) continue;
        for (const QString& id : folder->Members()) {
            clsChannel* channel = mContext.Channels->Channel(id);
            if (!channel) continue;
            const int slot = channel->getThumbnailShowBoxIndexFromMultiMonitorID(w->MultiMonitorID());
            if (!(channel->ViewFlag() & kThumbnailViewFlag) || !channel->ThumbnailIsActive(slot))
                channel->ViewControl(clsChannel::ThumbnailViewOpen, w->MultiMonitorID());
        }
    }
}

void WatchViews::repaintFolder(const QString& MultiMonitorID) {
    if (FolderWindow* w = FolderWindowOf(MultiMonitorID)) w->Wall()->update();
}

void WatchViews::repaintChannel(const QString& ChannelID) {
    if (mOverlay && mTour && EqualsNoCase(mTour->Current(), ChannelID)) mOverlay->update();
    for (FolderWindow* w : FolderWindows()) {
        const clsMultiMonitorFolder* folder = mContext.Folders->MultiMonitor(w->MultiMonitorID());
        const clsChannel* channel = mContext.Channels->Channel(ChannelID);
        if (folder && channel && folder->IsRegistedChannel(channel->ChannelID())) w->Wall()->update();
    }
}

// ---- The screen kept awake -----------------------------------------------------

void WatchViews::modesChanged() { updateModes(nullptr); }

void WatchViews::updateModes(const FolderWindow* leaving) {
    bool watching = mFullScreen->Active() || mTour;
    for (FolderWindow* w : FolderWindows())
        if (w != leaving) watching = watching || w->FullScreen()->Active() || w->Touring();
    if (mInhibitor) mInhibitor->SetInhibited(watching && !mShuttingDown);
    mEscape->setEnabled(mFullScreen->Active() || mTour);
    for (QShortcut* key : mTourKeys) key->setEnabled(mTour);
    if (QAction* a = Action(QStringLiteral("mnuFullScreen"))) a->setChecked(mFullScreen->Active());
    if (QAction* a = Action(QStringLiteral("mnuTour"))) a->setChecked(mTour);
}

// ---- The last session ------------------------------------------------------------

FolderRef WatchViews::folderRef(const QString& MultiMonitorID) const {
    const TreeNode* root = mWindow.MultiMonitorRoot();
    const clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(MultiMonitorID) : nullptr;
    if (!root || !folder) return {};
    for (int i = 0; i < root->ChildCount(); ++i)
        if (EqualsNoCase(root->Child(i)->Tag(), MakeTag(NodeKind::MultiMonitorFolder, MultiMonitorID)))
            return {i + 1, folder->FolderName()};
    return {};
}

QString WatchViews::folderOf(const FolderRef& ref) const {
    const TreeNode* root = mWindow.MultiMonitorRoot();
    if (!root || !mContext.Folders) return QString();
    auto idOf = [root](int i) { return ParseTag(root->Child(i)->Tag()).ID; };
    auto nameOf = [this](const QString& id) {
        const clsMultiMonitorFolder* folder = mContext.Folders->MultiMonitor(id);
        return folder ? folder->FolderName() : QString();
    };
    if (ref.Place >= 1 && ref.Place <= root->ChildCount() && nameOf(idOf(ref.Place - 1)) == ref.Name)
        return idOf(ref.Place - 1);
    for (int i = 0; i < root->ChildCount(); ++i)
        if (nameOf(idOf(i)) == ref.Name) return idOf(i);
    return QString();
}

void WatchViews::Save(IniDocument& doc) const {
    WatchSession session;
    for (int i = 1; i <= mWindow.TabCount(); ++i) {
        const ParsedTag tab = ParseTag(mWindow.TabTag(i));
        SavedTab saved;
        if (tab.Kind == NodeKind::Channel) {
            saved.ChannelID = tab.ID;
        } else if (tab.Kind == NodeKind::MultiMonitor) {
            saved.Folder = folderRef(tab.ID);
            if (saved.Folder.Place == 0) continue;
        } else {
            continue;  // the blank tab
        }
        if (i == mWindow.SelectedTabIndex()) session.SelectedTab = int(session.Tabs.size());
        session.Tabs << saved;
    }
    for (FolderWindow* w : FolderWindows()) {
        SavedFolderWindow saved;
        saved.Folder = folderRef(w->MultiMonitorID());
        if (saved.Folder.Place == 0) continue;
        // The screen of its normal geometry, which a full-screen window also
        // fills (Qt's own idea of a full-screen window's place can lag behind).
        const QRect normal = w->FullScreen()->NormalGeometry();
        const QScreen* screen = QGuiApplication::screenAt(normal.center());
        if (!screen) screen = w->screen();
        saved.Screen = screen ? screen->name() : QString();
        saved.Geometry = normal.translated(screen ? -screen->geometry().topLeft() : QPoint());
        saved.FullScreen = w->FullScreen()->Active();
        session.Windows << saved;
    }
    WriteWatchSession(doc, session, mWindow.Watch().RestoreTabs);
}

void WatchViews::Restore(const QString& iniPath) {
    if (QAction* tiles = Action(QStringLiteral("mnuScaleTiles"))) tiles->setChecked(mWindow.Watch().ScaleTiles);
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly)) return;
    const WatchSession session = ReadWatchSession(IniDocument::fromBytes(file.readAll()));
    if (mWindow.Watch().RestoreTabs) {
        // Opened as the user would open them, so only these start fetching.
        std::function<void()> selectAgain;
        for (int i = 0; i < session.Tabs.size(); ++i) {
            const SavedTab& tab = session.Tabs[i];
            std::function<void()> open;
            if (!tab.IsFolder()) {
                if (!mContext.Channels->Channel(tab.ChannelID)) continue;
                open = [this, id = tab.ChannelID] { mWindow.OpenChannelTab(id); };
            } else {
                const QString id = folderOf(tab.Folder);
                if (id.isEmpty()) continue;
                open = [this, id] { mWindow.OpenMultiMonitorTab(id); };
            }
            open();
            if (i == session.SelectedTab) selectAgain = open;
        }
        // Opening an open tab selects it.
        if (selectAgain) selectAgain();
    }
    for (const SavedFolderWindow& saved : session.Windows) {
        const QString id = folderOf(saved.Folder);
        if (!id.isEmpty() && !FolderWindowOf(id)) openFolderWindow(id, &saved);
    }
}

void WatchViews::Shutdown() {
    mShuttingDown = true;
    endTour();
    for (FolderWindow* w : FolderWindows()) w->CloseQuietly();
    if (mInhibitor) mInhibitor->SetInhibited(false);
}
