#include "view/frmMain.h"

#include "channel/ChannelHTTPCompletion.h"
#include "channel/HTTPTransfer.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Logging.h"
#include "common/Numeric.h"
#include "common/mdlFunctionWidgets.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "navigation/TreeRemovalUndo.h"
#include "view/ShowAreaWidget.h"
#include "view/SplitterBar.h"
#include "view/TabStripWidget.h"
#include "view/ToolbarImages.h"
#include "view/WallSettingsPage.h"
#include "view/WatchViews.h"
#include "view/WindowVocabulary.h"
#include "watch/ConditionOverlay.h"
#include "watch/FavoriteWatch.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace {

constexpr int kStatusBarHeight = 20;

QFont pixelFont(const QFont& base, int pixels) {
    QFont f = base;
    f.setPixelSize(pixels);
    return f;
}

// A horizontal or vertical line of one pixel, drawn as a filled widget.
QWidget* makeLine(QWidget* parent, const QColor& colour) {
    auto* line = new QWidget(parent);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, colour);
    line->setPalette(p);
    line->setAttribute(Qt::WA_TransparentForMouseEvents);
    return line;
}

// A toolbar button or popup asked for by a name the window never made is a
// programming error: it stops a debug build and is logged in a release one.
void reportMissing(const char* what, const QString& name) {
    qCCritical(lcWindow).noquote() << "the main window has no" << what << name;
    Q_ASSERT_X(false, "frmMain", "asked for a toolbar button or popup by a name it never made");
}

void placeLine(QWidget* line, const QLine& l) {
    const int x = qMin(l.x1(), l.x2());
    const int y = qMin(l.y1(), l.y2());
    line->setGeometry(x, y, qMax(1, qAbs(l.x2() - l.x1())), qMax(1, qAbs(l.y2() - l.y1())));
}

}  // namespace

frmMain::frmMain(const QString& programDirectory, std::unique_ptr<frmSetting> setting, QWidget* parent)
    : QMainWindow(parent), mProgramDirectory(programDirectory), mSetting(std::move(setting)) {
    // The updater recognises a running viewer by exactly this title.
    setWindowTitle(QStringLiteral("Vantora"));

    mCurl = new CurlMulti(this);
    mHTTP = new HTTPTransferArray(*mCurl, this);
    if (mSetting) mSetting->Attach(&mSettings, mHTTP);

    createMenus();
    createPopups();
    createControls();
    createWatchControls();
    // What the viewer adds: its menu items follow the specified ones.
    mWatchViews = new WatchViews(*this);
    mWatchViews->CreateMenus(mnuShow, Popup(PopupName::MultimonitorTab));
    if (mSetting) mSetting->AddPage(QStringLiteral("監視"), new WallSettingsPage(&mWatch));
    createKeyboard();

    PopupMenuFunction = [this](QMenu* menu) { menu->exec(mPopupAt.value_or(QCursor::pos())); };
    InputBoxFunction = [this](const QString& prompt, const QString& title, const QString& initial) {
        return mdlFunction::InputBox(this, prompt, title, initial);
    };
    MessageBoxFunction = [this](const QString& text, const QString& title, bool information) {
        QMessageBox box(information ? QMessageBox::Information : QMessageBox::Warning, title, text, QMessageBox::Ok,
                        this);
        box.exec();
    };

    mTimer = new QTimer(this);
    mTimer->setInterval(1000);
    connect(mTimer, &QTimer::timeout, this, &frmMain::tmrCauseOneSecEvent_Timer);
    connect(mTimer, &QTimer::timeout, this, &frmMain::WatchTick);
    // Tours count the same ticks, after the channels.
    connect(mTimer, &QTimer::timeout, mWatchViews, &WatchViews::Tick);

    // The design client area is 642 x 401 under the menu bar.
    resize(642, 401 + menuBar()->sizeHint().height());
    mNormalSize = size();
}

frmMain::~frmMain() {
    // The watch listens to the managers.
    stopWatch();
    // Tours and folder windows give their viewing back while channels exist.
    delete mWatchViews;
    mWatchViews = nullptr;
    // The views go before the tree's nodes.
    delete mTree;
    mTree = nullptr;
    // Channels refer to transfer elements and picture elements: drop the
    // managers before the elements go.
    mMultiMonitorManeger.reset();
    mChannelManeger.reset();
}

void frmMain::createMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("ファイル"));
    mnuSetting = mnuFile->addAction(QStringLiteral("設定"));
    mnuFile->addSeparator();
    mnuExit = mnuFile->addAction(QStringLiteral("終了"));
    connect(mnuSetting, &QAction::triggered, this, &frmMain::mnuSetting_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    mnuShow = menuBar()->addMenu(QStringLiteral("表示"));
    QMenu* resize = mnuShow->addMenu(QStringLiteral("画像表示"));
    resize->setObjectName(QStringLiteral("mnuImageResizeSelect"));
    const QString captions[3] = {QStringLiteral("画面に自動的にあわせる"), QStringLiteral("画像に自動的に合わせる"),
                                 QStringLiteral("何もしない")};
    for (int i = 0; i < 3; ++i) {
        QAction* item = resize->addAction(captions[i]);
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, i] { mnuImageResize_Click(i); });
        mImageResize << item;
    }
    mnuShow->addSeparator();
    mShowPictureOnlyOnBroadcast = mnuShow->addAction(QStringLiteral("放送中の画像のみ表示"));
    mShowPictureOnlyOnBroadcast->setCheckable(true);
    connect(mShowPictureOnlyOnBroadcast, &QAction::triggered, this, &frmMain::mnuShowPictureOnlyOnBroadcast_Click);
    mShowChannelOnlyOnBroadcast = mnuShow->addAction(QStringLiteral("放送中のチャンネルのみ表示"));
    mShowChannelOnlyOnBroadcast->setCheckable(true);
    connect(mShowChannelOnlyOnBroadcast, &QAction::triggered, this, &frmMain::mnuShowChannelOnlyOnBroadcast_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("ヘルプ"));
    mnuAbout = mnuHelp->addAction(QStringLiteral("このソフトについて"));
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

void frmMain::createPopups() {
    // The hidden menu "POPUP": one submenu per node type and tab kind; only
    // the submenu's own items show when it pops up.
    auto popup = [this](const QString& name) {
        auto* menu = new QMenu(this);
        menu->setObjectName(name);
        mPopups.insert(name, menu);
        return menu;
    };
    QMenu* channelTab = popup(PopupName::ChannelTab);
    connect(channelTab->addAction(QStringLiteral("このチャンネルを閉じる")), &QAction::triggered, this,
            &frmMain::mnuCloseChannelTab_Click);
    QMenu* folderTab = popup(PopupName::MultimonitorTab);
    connect(folderTab->addAction(QStringLiteral("このタブを閉じる")), &QAction::triggered, this,
            &frmMain::mnuCloseMultiMonitorTab_Click);

    QMenu* channelNode = popup(PopupName::ChannelNode);
    connect(channelNode->addAction(QStringLiteral("お気に入りに追加")), &QAction::triggered, this,
            &frmMain::mnuAddChannelToFavarite_Click);
    mAddToFolder << channelNode->addSeparator();  // element 0 of mnuAddChannelToMultiMonitorFolder

    QMenu* favorite = popup(PopupName::FavariteChannelNode);
    connect(favorite->addAction(QStringLiteral("お気に入りから削除")), &QAction::triggered, this,
            &frmMain::mnuRemoveFavariteChannel_Click);
    QMenu* root = popup(PopupName::MultiMonitorRoot);
    connect(root->addAction(QStringLiteral("フォルダーの追加")), &QAction::triggered, this,
            &frmMain::mnuAddMultiMonitorFolder_Click);
    QMenu* member = popup(PopupName::MultiMonitorChannel);
    connect(member->addAction(QStringLiteral("このチャンネルの削除")), &QAction::triggered, this,
            &frmMain::mnuRemoveChannelFromMultiMonitorChannel_Click);
    QMenu* folder = popup(PopupName::MultiMonitorFolder);
    connect(folder->addAction(QStringLiteral("フォルダー名の変更")), &QAction::triggered, this,
            &frmMain::mnuChangeMultiMonitorFolderName_Click);
    connect(folder->addAction(QStringLiteral("このフォルダーの削除")), &QAction::triggered, this,
            &frmMain::mnuRemoveMultiMonitorFolder_Click);
}

QMenu* frmMain::Popup(const QString& name) const {
    if (QMenu* menu = mPopups.value(name)) return menu;
    reportMissing("popup", name);
    // Callers use the result at once: an empty stand-in, made once, keeps
    // them from null.
    if (!mMissingPopup) mMissingPopup = new QMenu(const_cast<frmMain*>(this));
    return mMissingPopup;
}

void frmMain::createToolbar() {
    mToolbar = new QToolBar(mPanel);
    mToolbar->setObjectName(QStringLiteral("tbrNormal"));
    mToolbar->setIconSize(QSize(16, 16));
    mToolbar->setMovable(false);
    mToolbar->setFloatable(false);
    mToolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mToolbar->setStyleSheet(
        QStringLiteral("QToolBar { border: 0px; padding: 0px; spacing: 1px; }"
                       "QToolButton { padding: 1px; margin: 0px; }"
                       // Room for the arrow beside the folder image, which
                       // the style draws whole (a menu-button rule of its
                       // own would lay the arrow's box over the image).
                       "QToolButton[popupMode=\"1\"] { padding-right: 11px; }"));
    auto addButton = [this](const QString& key, int image, bool check) {
        QAction* action = mToolbar->addAction(ToolbarImage(image), QString());
        action->setObjectName(key);
        action->setCheckable(check);
        // Triggered only by the user: a refresh that sets the pressed state
        // does not run the command.
        connect(action, &QAction::triggered, this, [this, key] { tbrNormal_ButtonClick(key); });
        mToolbarButtons.insert(key, action);
        return action;
    };
    addButton(ToolbarKey::NormalView, ToolbarImageNumber::NormalView, true);
    addButton(ToolbarKey::ThumbnailView, ToolbarImageNumber::ThumbnailView, true);
    addButton(ToolbarKey::SavePicture, ToolbarImageNumber::SavePicture, true);
    mToolbar->addSeparator();
    QAction* folderAction = addButton(ToolbarKey::Folder, ToolbarImageNumber::Folder, false);
    mFolderMenu = new QMenu(this);
    mFolderMenu->setObjectName(ToolbarKey::FolderMenu);
    folderAction->setMenu(mFolderMenu);
    mFolderButton = qobject_cast<QToolButton*>(mToolbar->widgetForAction(folderAction));
    if (mFolderButton) mFolderButton->setPopupMode(QToolButton::MenuButtonPopup);
    connect(mFolderMenu, &QMenu::triggered, this, &frmMain::tbrNormal_ButtonMenuClick);
    addButton(ToolbarKey::Close, ToolbarImageNumber::Close, false);
}

QAction* frmMain::ToolbarButton(const QString& Key) const {
    if (QAction* button = mToolbarButtons.value(Key)) return button;
    reportMissing("toolbar button", Key);
    // Not on the toolbar: setting its state or image shows nowhere.
    if (!mMissingButton) mMissingButton = new QAction(const_cast<frmMain*>(this));
    return mMissingButton;
}

void frmMain::createControls() {
    // Every control is placed by hand inside one client widget, as the
    // layout rule computes it.
    mClient = new QWidget(this);
    mClient->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(mClient);
    mClient->installEventFilter(this);

    mLinSplit = mdlFunction::NewEtchedLine(mClient);

    mTreeModel = new ChannelTreeModel(this);
    mUndo = std::make_unique<TreeRemovalUndo>();
    mTree = new ChannelTreeView(mTreeModel, mClient);
    mTree->setObjectName(QStringLiteral("tvwChannelSelect"));
    for (QTreeView* view : {mTree->Tree(), mTree->Results()}) view->viewport()->installEventFilter(this);
    connect(mTree, &ChannelTreeView::NodeActivated, this, &frmMain::tvwChannelSelect_KeyActivate);
    connect(mTree, &ChannelTreeView::SearchActivated, this, &frmMain::tvwChannelSelect_KeyActivate);
    connect(mTree, &ChannelTreeView::NodeMenuRequested, this, &frmMain::tvwChannelSelect_KeyMenu);
    connect(mTree, &ChannelTreeView::RenameRequested, this, &frmMain::tvwChannelSelect_KeyRename);
    connect(mTree, &ChannelTreeView::RemoveRequested, this, &frmMain::tvwChannelSelect_KeyRemove);
    connect(mTree, &ChannelTreeView::UndoRequested, this, &frmMain::UndoLastRemoval);

    mSplitter = new SplitterBar(mClient);
    connect(mSplitter, &SplitterBar::MouseMove, this, &frmMain::cntForResize_MouseMove);

    mPanel = new QWidget(mClient);
    mPanel->setObjectName(QStringLiteral("cntChannelControl"));
    for (int i = 0; i < 2; ++i) {
        mInfoLabels[i] = new QLabel(mPanel);
        mInfoLabels[i]->setObjectName(QStringLiteral("lblChannelInfomation%1").arg(i));
        mInfoLabels[i]->setFont(pixelFont(font(), 11));
        mInfoLabels[i]->setAutoFillBackground(true);
        mInfoLabels[i]->setBackgroundRole(QPalette::Base);
        mInfoLabels[i]->setForegroundRole(QPalette::Text);
        mInfoLabels[i]->setTextFormat(Qt::PlainText);
        mInfoLabels[i]->setContentsMargins(0, 0, 0, 0);
    }
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    mBoxDepth[0] = makeLine(mPanel, shadow);
    mBoxDepth[1] = makeLine(mPanel, shadow);
    mBoxDepth[2] = makeLine(mPanel, light);
    mBoxDepth[3] = makeLine(mPanel, light);
    createToolbar();

    mTabs = new TabStripWidget(mClient);
    mTabs->Bar()->setMinimumWidth(0);
    connect(mTabs, &TabStripWidget::Pressed, this, &frmMain::tabChannelSelect_Pressed);
    connect(mTabs, &TabStripWidget::CloseRequested, this, &frmMain::CloseTabAt);
    connect(mTabs, &TabStripWidget::KeySelected, this, &frmMain::SelectTabAsLeftClick);

    mShowArea = new ShowAreaWidget(mPictures, mClient);
    mShowArea->setFont(pixelFont(font(), 11));
    mShowArea->raise();  // above the tab strip
    mSplitter->raise();  // and the splitter above everything it borders
    connect(mShowArea, &ShowAreaWidget::ElementMouseDown, this, &frmMain::imgChannelShow_MouseDown);
    connect(mShowArea, &ShowAreaWidget::ElementClick, this, &frmMain::imgChannelShow_Click);
    connect(mShowArea, &ShowAreaWidget::ElementDblClick, this, &frmMain::imgChannelShow_DblClick);
    connect(mShowArea, &ShowAreaWidget::KeyDown, this, &frmMain::cntShowBox_KeyDown);

    mStatusBar = new QWidget(mClient);
    mStatusBar->setObjectName(QStringLiteral("sbrMain"));
    mStatusMessage = new QLabel(mStatusBar);
    mStatusMessage->setObjectName(QStringLiteral("sbrMainKey_Message"));
    mStatusMessage->setFrameShape(QFrame::Panel);
    mStatusMessage->setFrameShadow(QFrame::Sunken);
    mStatusTime = mdlFunction::NewClockLabel(mStatusBar, QStringLiteral("HH:mm"));
    mStatusTime->setObjectName(QStringLiteral("sbrMainKey_Time"));
    mStatusTime->setFrameShape(QFrame::Panel);
    mStatusTime->setFrameShadow(QFrame::Sunken);
    mStatusTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    applyGeometry();
}

int frmMain::StatusBarHeight() const { return kStatusBarHeight; }

TabStripMetrics frmMain::tabMetrics() const { return mTabs->Metrics(); }

void frmMain::applyGeometry() {
    const MainLayoutGeometry& g = mGeometry;
    mLinSplit->setGeometry(0, 0, qMax(1, g.LinSplitEnd), 2);
    mTree->setGeometry(g.Tree);
    mSplitter->SetBar(g.Splitter);
    mPanel->setGeometry(g.Panel);
    mInfoLabels[0]->setGeometry(g.Label[0]);
    mInfoLabels[1]->setGeometry(g.Label[1]);
    mToolbar->setGeometry(g.Toolbar);
    for (int i = 0; i < 4; ++i) placeLine(mBoxDepth[i], g.BoxDepth[i]);
    mTabs->setGeometry(g.TabStrip);
    mShowArea->setGeometry(g.ShowArea);
    mStatusBar->setGeometry(g.StatusBar);
    const int timeWidth = 40;
    mStatusMessage->setGeometry(0, 0, qMax(0, g.StatusBar.width() - timeWidth), g.StatusBar.height());
    mStatusTime->setGeometry(qMax(0, g.StatusBar.width() - timeWidth), 0, timeWidth, g.StatusBar.height());
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mClient && event->type() == QEvent::Resize && mShowArea) {
        Form_Resize();
        return false;
    }
    if (mTree && event->type() == QEvent::MouseButtonPress &&
        (watched == mTree->Tree()->viewport() || watched == mTree->Results()->viewport())) {
        auto* e = static_cast<QMouseEvent*>(event);
        const QTreeView* view = watched == mTree->Tree()->viewport() ? mTree->Tree() : mTree->Results();
        bool onDecoration = false;
        TreeNode* node = mTree->NodeAt(view, e->position().toPoint(), &onDecoration);
        // A press on the expand decoration belongs to the tree itself.
        if (onDecoration) return false;
        const MouseButtonCode button = ButtonCodeOf(e->button());
        tvwChannelSelect_MouseDown(button);
        if (node && (button == MouseButtonCode::Left || button == MouseButtonCode::Right)) {
            // Clicking gives the tree the focus, as the view itself would.
            const_cast<QTreeView*>(view)->setFocus(Qt::MouseFocusReason);
            mTree->SetCurrentNode(node);
            tvwChannelSelect_NodeClick(node);
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::moveEvent(QMoveEvent* event) {
    keepOnScreen();
    QMainWindow::moveEvent(event);
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The size start-up asked for has arrived: a later other size is
    // someone else's (the window fit then leaves it), and the stored state
    // can follow.
    if (mStartFit.isValid() && size() == mStartFit) {
        mStartFitSeen = true;
        applyPendingState();
    }
    // The window manager has maximised the window at its size: from now on
    // a normal window's size is the user's.
    if (mStateToArrive == Qt::WindowMaximized && (windowState() & Qt::WindowMaximized) && size() != mNormalSize)
        mStateToArrive = Qt::WindowNoState;
}

void frmMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::WindowStateChange) rememberNormalSize();
    QMainWindow::changeEvent(event);
}

void frmMain::rememberNormalSize() {
    // Not while the stored state is on its way: a window manager may report
    // the window normal, at its first size, for a moment before it
    // maximises it (Qt's own normalGeometry() takes that size).
    if (mPendingState != Qt::WindowNoState || mStateToArrive != Qt::WindowNoState) return;
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) mNormalSize = size();
}

QSize frmMain::normalSizeForSaving() const {
    if (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) return mNormalSize;
    return size();
}

bool frmMain::TickEnabled() const { return mTimer->isActive(); }

void frmMain::tmrCauseOneSecEvent_Timer() {
    if (mChannelManeger) mChannelManeger->CauseOneSecEvent();
}

void frmMain::mnuSetting_Click() {
    if (mSetting) mSetting->ShowSetting();
}

void frmMain::mnuExit_Click() {
    if (mSetting) mSetting->close();
    close();
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    // Both ways out (終了 and the window frame) end here, and only once.
    if (mUnloaded) return;
    mUnloaded = true;
    mTimer->stop();
    if (mSetting) mSetting->close();
    // Every connection goes before the files are written, so the exit never
    // needs a descriptor it cannot get. An answer arriving now could not
    // change what is saved.
    mHTTP->CancelAll();
    mCurl->CloseConnections();
    SaveSetting();
    mWatchViews->Shutdown();
    emit Unloaded();
}

void frmMain::showMessage(const QString& text, const QString& title, bool information) {
    if (MessageBoxFunction) MessageBoxFunction(text, title, information);
}

void frmMain::connectModel() {
    clsChannelManeger* c = mChannelManeger.get();
    connect(c, &clsChannelManeger::ChannelInfomationRefresh, this, &frmMain::mChannelManeger_ChannelInfomationRefresh);
    connect(c, &clsChannelManeger::ChannelControlRefresh, this, &frmMain::mChannelManeger_ChannelControlRefresh);
    connect(c, &clsChannelManeger::ShowBoxRefresh, this, &frmMain::mChannelManeger_ShowBoxRefresh);
    connect(c, &clsChannelManeger::AddChannelToFavarite, this, &frmMain::mChannelManeger_AddChannelToFavarite);
    connect(c, &clsChannelManeger::RemoveChannelFromFavarite, this,
            &frmMain::mChannelManeger_RemoveChannelFromFavarite);
    connect(c, &clsChannelManeger::ChannelStatusRefresh, this, &frmMain::mChannelManeger_ChannelStatusRefresh);

    clsMultiMonitorManeger* m = mMultiMonitorManeger.get();
    connect(m, &clsMultiMonitorManeger::AddMultiMonitorFolderEvent, this,
            &frmMain::mMultiMonitorManeger_AddMultiMonitorFolder);
    connect(m, &clsMultiMonitorManeger::RemoveMultiMonitorFolderEvent, this,
            &frmMain::mMultiMonitorManeger_RemoveMultiMonitorFolder);
    connect(m, &clsMultiMonitorManeger::AddChannelToMultiMonitor, this,
            &frmMain::mMultiMonitorManeger_AddChannelToMultiMonitor);
    connect(m, &clsMultiMonitorManeger::RemoveChannelFromMultiMonitor, this,
            &frmMain::mMultiMonitorManeger_RemoveChannelFromMultiMonitor);
    connect(m, &clsMultiMonitorManeger::ChangeMultiMonitorFolderName, this,
            &frmMain::mMultiMonitorManeger_ChangeMultiMonitorFolderName);
    connect(m, &clsMultiMonitorManeger::ThumbnailBoxRefresh, this, &frmMain::mMultiMonitorManeger_ThumbnailBoxRefresh);

    // One completion handler serves every transfer element.
    mHTTPCompletion = new ChannelHTTPCompletion(*mHTTP, *c, this);
    connect(mHTTP, &HTTPTransferArray::StateChanged, mHTTPCompletion,
            &ChannelHTTPCompletion::netChannelHTTP_StateChanged);
}

// ---- Tabs and tags used everywhere ----------------------------------------

QString frmMain::NodeTag(const TreeNode* node) { return node ? node->Tag() : QString(); }

void frmMain::SetNodeTag(TreeNode* node, const QString& tag) {
    const ParsedTag parsed = ParseTag(tag);
    mTreeModel->SetIdentity(node, parsed.Kind, parsed.ID);
}

TreeNode* frmMain::AddNode(TreeNode* parent, NodeKind kind, const QString& text, const QString& id) {
    return mTreeModel->AddNode(parent, kind, text, id);
}

TreeNode* frmMain::LastAddedNode() const { return mTreeModel->LastAddedNode(); }

QString frmMain::SelectedTabTag() const { return mTabs->Tag(mTabs->SelectedIndex()); }
int frmMain::TabCount() const { return mTabs->Count(); }
QString frmMain::TabTag(int TabIndex) const { return mTabs->Tag(TabIndex); }
QString frmMain::TabCaption(int TabIndex) const { return mTabs->Caption(TabIndex); }
int frmMain::SelectedTabIndex() const { return mTabs->SelectedIndex(); }

QString frmMain::ChannelCaption(const clsChannel* channel) const {
    if (!channel) return QString();
    // "Ch." + number + " " + name when the number is numeric text.
    return Numeric::IsNumeric(channel->ChannelNumber())
               ? QStringLiteral("Ch.") + channel->ChannelNumber() + QLatin1Char(' ') + channel->ChannelName()
               : channel->ChannelName();
}
