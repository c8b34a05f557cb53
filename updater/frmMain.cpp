#include "updater/frmMain.h"

#include "channel/HTTPTransfer.h"
#include "common/Logging.h"
#include "common/TextCompare.h"
#include "common/mdlFunction.h"
#include "common/mdlFunctionWidgets.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "storage/TreeListFormat.h"
#include "updater/ChannelListFile.h"
#include "updater/ElidedLabel.h"
#include "updater/RunningViewer.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeView>

namespace updater {

const QString frmMain::kUnknownOrganizationKey = QStringLiteral("tvwKey_UnKnown_Organization");
const QString frmMain::kUnknownOrganizationName = QStringLiteral("分類なし");
const QString frmMain::kUnnamedChannel = QStringLiteral("チャンネル名 未取得");
const QString frmMain::kMessagePanel = QStringLiteral("sbrMainKey_Message");
const QString frmMain::kTimePanel = QStringLiteral("sbrMainKey_Time");

namespace {

// The layout is kept in twips, as the form was designed.
using mdlFunction::kTwipsPerPixel;
constexpr int kTreeLeft = 4;  // pixels
constexpr int kTreeTop = 3;
constexpr int kSplitLength = 500;  // 7500 twips

bool defaultConfirmBox(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("キャンセル"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

}  // namespace

frmMain::frmMain(const QString& programDirectory, const QString& programFileDirectory, QWidget* parent)
    : QMainWindow(parent),
      mProgramDirectory(programDirectory),
      mProgramFileDirectory(programFileDirectory.isEmpty() ? programDirectory : programFileDirectory) {
    ViewerRunning = [this] { return IsViewerRunning(mProgramDirectory); };
    ShowError = mdlFunction::ErrorBox;
    InputBox = [](QWidget* parent, const QString& prompt, const QString& title) {
        return mdlFunction::InputBox(parent, prompt, title);
    };
    ConfirmBox = defaultConfirmBox;
    ShowPopup = [](QMenu* menu, const QPoint& pos) { menu->popup(pos); };
    StartProgram = [](const QString& program, const QString& dir) { return QProcess::startDetached(program, {}, dir); };

    setWindowTitle(QStringLiteral("Vantora  -  チャンネルの更新"));
    createControls();
    createMenus();

    mCurl = new CurlMulti(this);
    netHTTP = new HTTPTransfer(0, mCurl, this);
    connect(netHTTP, &HTTPTransfer::StateChanged, this, &frmMain::netHTTP_StateChanged);
    // After the handler, which may have started the next request.
    connect(netHTTP, &HTTPTransfer::StateChanged, this, [this] { prgBusy->setVisible(netHTTP->StillExecuting()); });

    resize(kSplitLength, 420);
}

frmMain::~frmMain() {
    // The views go before the tree's nodes.
    delete tvwChannelSelect;
}

void frmMain::createControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    central->installEventFilter(this);

    // The separator keeps its length when the window is resized.
    linSplit = mdlFunction::NewEtchedLine(central);
    linSplit->setObjectName(QStringLiteral("linSplit"));
    linSplit->setGeometry(0, 0, kSplitLength + 1, 2);

    mTreeModel = new ChannelTreeModel(this);
    mTreeModel->SetShowIdentityInText(true);
    mTreeModel->KeepSerialIndex();
    mFile = std::make_unique<ChannelListFile>(*mTreeModel, mProgramDirectory + QStringLiteral("/ChannelList.txt"));
    tvwChannelSelect = new ChannelTreeView(mTreeModel, central);
    tvwChannelSelect->setObjectName(QStringLiteral("tvwChannelSelect"));
    for (QTreeView* view : {tvwChannelSelect->Tree(), tvwChannelSelect->Results()}) {
        // Long "name(address)" texts scroll sideways instead of being cut.
        view->header()->setStretchLastSection(false);
        view->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
        view->viewport()->installEventFilter(this);
    }
    tvwChannelSelect->move(kTreeLeft, kTreeTop);
    // The keys act as the mouse does: Enter and Space a left click, the Menu
    // key and Shift+F10 a right click at the node, Delete removes a list.
    connect(tvwChannelSelect, &ChannelTreeView::NodeActivated, this, [this](TreeNode* node) {
        tvwChannelSelect_MouseDown(MouseButtonCode::Left);
        tvwChannelSelect_NodeClick(node, tvwChannelSelect->PopupPosition(node));
    });
    connect(tvwChannelSelect, &ChannelTreeView::NodeMenuRequested, this, [this](TreeNode* node, const QPoint& at) {
        tvwChannelSelect_MouseDown(MouseButtonCode::Right);
        tvwChannelSelect_NodeClick(node, at);
    });
    connect(tvwChannelSelect, &ChannelTreeView::RemoveRequested, this, [this](TreeNode* node) {
        if (Tag(node).Kind == NodeKind::ChannelList) mnuRemoveChannelList_Click();
    });

    sbrMain = new QStatusBar(central);
    sbrMain->setObjectName(QStringLiteral("sbrMain"));
    sbrMain->setSizeGripEnabled(false);
    mMessagePanel = new ElidedLabel(sbrMain);
    mMessagePanel->setObjectName(kMessagePanel);
    mMessagePanel->setTextFormat(Qt::PlainText);
    prgUpdateChannel = new QProgressBar(sbrMain);
    prgUpdateChannel->setObjectName(QStringLiteral("prgUpdateChannel"));
    prgUpdateChannel->setFormat(QStringLiteral("%v / %m"));
    prgUpdateChannel->setMaximumWidth(140);
    prgUpdateChannel->setVisible(false);
    // The style draws the part of "3 / 5" over the bar's chunk in the
    // highlighted text colour and the rest of it in the same colour too,
    // white on the white groove: one ink, readable on both.
    QPalette progressColours = prgUpdateChannel->palette();
    progressColours.setColor(QPalette::HighlightedText, progressColours.color(QPalette::Text));
    prgUpdateChannel->setPalette(progressColours);
    // Moves while any download runs: an answer may take up to the time-out.
    prgBusy = new QProgressBar(sbrMain);
    prgBusy->setObjectName(QStringLiteral("prgBusy"));
    prgBusy->setRange(0, 0);
    prgBusy->setTextVisible(false);
    prgBusy->setMaximumWidth(60);
    prgBusy->setVisible(false);
    mTimePanel = mdlFunction::NewClockLabel(sbrMain, QStringLiteral("H:mm"));
    mTimePanel->setObjectName(kTimePanel);
    mTimePanel->setAlignment(Qt::AlignCenter);
    mTimePanel->setMinimumWidth(50);
    sbrMain->addWidget(mMessagePanel, 1);
    sbrMain->addPermanentWidget(prgBusy);
    sbrMain->addPermanentWidget(prgUpdateChannel);
    sbrMain->addPermanentWidget(mTimePanel);
    sbrMain->raise();  // over the tree's bottom edge, as the form had it
}

void frmMain::createMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("ファイル"));
    mnuAddChannelList = mnuFile->addAction(QStringLiteral("チャンネルリストの追加"));
    mnuFileBar = mnuFile->addSeparator();
    mnuExitForExe = mnuFile->addAction(QStringLiteral("Vantoraの起動"));
    mnuExit = mnuFile->addAction(QStringLiteral("終了"));

    // A hidden menu of the menu bar that only carries the popup.
    mnuPopup = new QMenu(QStringLiteral("Popup"), this);
    menuBar()->addMenu(mnuPopup)->setVisible(false);
    mnuPopupForChannelList = mnuPopup->addMenu(QStringLiteral("Popup For ChannelList"));
    mnuUpdateChannelList = mnuPopupForChannelList->addAction(QStringLiteral("チャンネルリストを更新する"));
    mnuUpdateChannel = mnuPopupForChannelList->addAction(QStringLiteral("チャンネル情報を更新する"));
    mnuPopupForChannelListBar = mnuPopupForChannelList->addSeparator();
    mnuRemoveChannelList = mnuPopupForChannelList->addAction(QStringLiteral("チャンネルリストの削除"));

    connect(mnuAddChannelList, &QAction::triggered, this, &frmMain::mnuAddChannelList_Click);
    connect(mnuExitForExe, &QAction::triggered, this, &frmMain::mnuExitForExe_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(mnuUpdateChannelList, &QAction::triggered, this, &frmMain::mnuUpdateChannelList_Click);
    connect(mnuUpdateChannel, &QAction::triggered, this, &frmMain::mnuUpdateChannel_Click);
    connect(mnuRemoveChannelList, &QAction::triggered, this, &frmMain::mnuRemoveChannelList_Click);
}

// ---------------------------------------------------------------------------
// Start-up, layout, closing

bool frmMain::Form_Load() {
    if (ViewerRunning && ViewerRunning()) {
        ShowError(nullptr, QStringLiteral("Vantora本体起動中は、チャンネルリストの更新はできません"),
                  QStringLiteral("起動エラー"));
        mUnloaded = true;  // nothing was loaded, so nothing may be saved
        return false;
    }
    mPendingChannelNodes = {0};
    mUpdateState = UpdaterState::Idle;
    mTargetIndex = -1;
    mNewChannelListURL.clear();

    const TreeListFile file = ReadTreeListFile(ChannelListPath());
    mFile->SetFound(file.Info);
    LoadChannelList(file.Lines);
    return true;
}

void frmMain::Form_Resize() {
    QWidget* client = centralWidget();
    const int innerWidth = client->width() * kTwipsPerPixel;
    const int innerHeight = client->height() * kTwipsPerPixel;
    const int barHeight = sbrMain->sizeHint().height();
    sbrMain->setGeometry(0, client->height() - barHeight, client->width(), barHeight);

    QRect tree = tvwChannelSelect->geometry();
    const int left = tree.left() * kTwipsPerPixel;
    if (innerWidth > 10) tree.setWidth(qMax(0, (innerWidth - 2 * left) / kTwipsPerPixel));
    if (barHeight * kTwipsPerPixel + 10 < innerHeight)
        tree.setHeight(qMax(0, (innerHeight - barHeight * kTwipsPerPixel - 6) / kTwipsPerPixel));
    tvwChannelSelect->setGeometry(tree);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize) {
        Form_Resize();
    } else if (tvwChannelSelect && event->type() == QEvent::MouseButtonPress &&
               (watched == tvwChannelSelect->Tree()->viewport() ||
                watched == tvwChannelSelect->Results()->viewport())) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const MouseButtonCode button = ButtonCodeOf(mouse->button());
        tvwChannelSelect_MouseDown(button);
        const QTreeView* view =
            watched == tvwChannelSelect->Tree()->viewport() ? tvwChannelSelect->Tree() : tvwChannelSelect->Results();
        TreeNode* node = tvwChannelSelect->NodeAt(view, mouse->position().toPoint());
        if (node) {
            tvwChannelSelect->SetCurrentNode(node);
            tvwChannelSelect_NodeClick(node, mouse->globalPosition().toPoint());
        }
        // A right press only selects; the view's own handling would start a
        // drag selection under the popup.
        return button == MouseButtonCode::Right;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMain::Form_Unload() {
    if (mUnloaded) return;
    mUnloaded = true;
    netHTTP->Cancel();  // a late answer must not change what was saved
    QString error;
    const bool existed = QFileInfo::exists(ChannelListPath());
    if (!SaveChannelList(&error))
        ShowError(this,
                  (existed ? QStringLiteral(
                                 "ChannelList.txt を保存できませんでした。以前のファイルはそのまま残っています。\n")
                           : QStringLiteral("ChannelList.txt を作成できませんでした。\n")) +
                      error,
                  QStringLiteral("保存エラー"));
}

// ---------------------------------------------------------------------------
// Tree clicks and commands

void frmMain::tvwChannelSelect_MouseDown(MouseButtonCode button) { mTreeMouseButton = button; }

void frmMain::tvwChannelSelect_NodeClick(TreeNode* node, const QPoint& globalPos) {
    if (!node || mTreeMouseButton != MouseButtonCode::Right) return;
    if (Tag(node).Kind != NodeKind::ChannelList) return;
    ShowPopup(mnuPopupForChannelList, globalPos);
}

void frmMain::mnuAddChannelList_Click() {
    if (mUpdateState != UpdaterState::Idle) return;
    const QString answer = InputBox(this, QStringLiteral("追加するチャンネルリストのURLを入力して下さい"),
                                    QStringLiteral("チャンネルリストの追加"));
    // An answer of spaces only counts as empty, as a cancel does.
    if (mdlFunction::TrimSpaces(answer).isEmpty()) return;
    StartAddChannelList(answer);
}

void frmMain::StartAddChannelList(const QString& answer) {
    if (mUpdateState != UpdaterState::Idle) return;
    EnableCommands(false);
    mUpdateState = UpdaterState::DownloadingNewList;
    mTargetIndex = -1;
    mNewChannelListURL = answer;
    SetStatus(QStringLiteral("チャンネルリストファイルの取得中"));
    Request(answer);
}

void frmMain::mnuUpdateChannelList_Click() {
    if (mUpdateState != UpdaterState::Idle) return;
    TreeNode* node = tvwChannelSelect->CurrentNode();
    const NodeTag tag = Tag(node);
    if (!node || tag.Kind != NodeKind::ChannelList) return;
    EnableCommands(false);
    mUpdateState = UpdaterState::DownloadingList;
    mTargetIndex = NodeId(node);
    SetStatus(QStringLiteral("チャンネルリストファイルの取得中"));
    Request(tag.ListAddress());
}

void frmMain::mnuUpdateChannel_Click() {
    if (mUpdateState != UpdaterState::Idle) return;
    TreeNode* node = tvwChannelSelect->CurrentNode();
    if (!node || Tag(node).Kind != NodeKind::ChannelList) return;
    // Direct children only; groups and other non-channel children have no
    // information file to fetch.
    QVector<qint64> pending{0};
    for (int i = 0; i < node->ChildCount(); ++i) {
        const NodeTag child = Tag(node->Child(i));
        if (child.Kind == NodeKind::Channel && !child.InfoAddress().isEmpty()) pending.append(NodeId(node->Child(i)));
    }
    if (pending.size() < 2) return;
    mPendingChannelNodes = pending;
    mInfoFailures = 0;
    EnableCommands(false);
    mUpdateState = UpdaterState::DownloadingInfo;
    mTargetIndex = 1;
    ShowProgress();
    SetStatus(QStringLiteral("チャンネル情報ファイルの取得中"));
    Request(Tag(NodeById(mPendingChannelNodes[1])).InfoAddress());
}

void frmMain::mnuRemoveChannelList_Click() {
    TreeNode* node = tvwChannelSelect->CurrentNode();
    if (!node || Tag(node).Kind != NodeKind::ChannelList) return;
    if (!ConfirmBox(this, QStringLiteral("このチャンネルリストを削除しますか？"),
                    QStringLiteral("チャンネルリストの削除")))
        return;
    // A download running for this list, or for channels below it, finds its
    // node gone by id and drops its result (frmMain_Transfer.cpp).
    RemoveNode(node);
}

void frmMain::mnuExitForExe_Click() {
    close();
    if (!mUnloaded) return;
    // The viewer is beside the updater's program file, which is not the
    // data folder when the program folder is read-only.
    const QString viewer = mProgramFileDirectory + QStringLiteral("/Vantomon");
    if (!QFileInfo(viewer).isFile())
        qCWarning(lcUpdater).noquote() << "no viewer to start at" << viewer;
    else if (!StartProgram(viewer, mProgramFileDirectory))
        qCWarning(lcUpdater).noquote() << "the viewer did not start:" << viewer;
}

void frmMain::mnuExit_Click() { close(); }

// ---------------------------------------------------------------------------
// Status, commands, requests

QLabel* frmMain::Panel(const QString& key) const {
    if (key == kMessagePanel) return mMessagePanel;
    if (key == kTimePanel) return mTimePanel;
    return nullptr;
}

QString frmMain::StatusText() const { return mMessagePanel->text(); }

void frmMain::SetStatus(const QString& text) { mMessagePanel->SetWholeText(text); }

void frmMain::EnableCommands(bool enabled) {
    mnuUpdateChannelList->setEnabled(enabled);
    mnuUpdateChannel->setEnabled(enabled);
    mnuAddChannelList->setEnabled(enabled);
}

void frmMain::Request(const QString& address) {
    netHTTP->Execute(address, QStringLiteral("GET"));
    prgBusy->setVisible(netHTTP->StillExecuting());
}

// ---------------------------------------------------------------------------
// Nodes

// A group holds its name as text; a list its name and address (the node's
// identifier); a channel its name and ChannelID, and protocol, information
// address and saving switch as fields.
NodeTag frmMain::Tag(const TreeNode* node) {
    if (!node) return NodeTag();
    switch (node->Kind()) {
        case ::NodeKind::Node:
            return MakeTag(NodeKind::Group, {node->Text()});
        case ::NodeKind::ChannelList:
            return MakeTag(NodeKind::ChannelList, {node->Text(), node->ID()});
        case ::NodeKind::Channel: {
            const QStringList& f = node->Fields();
            return MakeTag(NodeKind::Channel, {node->ID(), f.value(0), node->Text(), f.value(1), f.value(2)});
        }
        default:
            return NodeTag();
    }
}

namespace {

// What the model keeps of a tag.
struct NodeParts {
    ::NodeKind Kind = ::NodeKind::None;
    QString Text, ID;
    QStringList Fields;
};

NodeParts partsOf(const NodeTag& tag) {
    switch (tag.Kind) {
        case NodeKind::Group:
            return {::NodeKind::Node, tag.Name(), QString(), {}};
        case NodeKind::ChannelList:
            return {::NodeKind::ChannelList, tag.Name(), tag.ListAddress(), {}};
        case NodeKind::Channel:
            return {::NodeKind::Channel,
                    tag.ChannelName(),
                    tag.Name(),
                    {tag.Protocol(), tag.InfoAddress(), tag.SaveSwitch()}};
        default:
            return {};
    }
}

}  // namespace

void frmMain::SetTag(TreeNode* node, const NodeTag& tag) {
    const NodeParts p = partsOf(tag);
    mTreeModel->SetNode(node, p.Kind, p.Text, p.ID, p.Fields);
}

QString frmMain::Key(const TreeNode* node) const { return node ? mTreeModel->KeyOf(node) : QString(); }

void frmMain::SetKey(TreeNode* node, const QString& key) { mTreeModel->SetKey(node, key); }

qint64 frmMain::NodeId(const TreeNode* node) { return node ? qint64(node->Serial()) : qint64(-1); }

TreeNode* frmMain::NodeById(qint64 id) const {
    return id > 0 && id <= 0xffffffffLL ? mTreeModel->NodeBySerial(quint32(id)) : nullptr;
}

TreeNode* frmMain::NodeByKey(const QString& key) const { return mTreeModel->NodeByKey(key); }

int frmMain::NodeCount() const { return mTreeModel->NodeCount(); }

TreeNode* frmMain::NewChannelNode(TreeNode* parent, const QString& channelId, const QString& protocol,
                                  const QString& name, const QString& infoAddress, bool savePicture) {
    return NewNode(parent, MakeChannelTag(channelId, protocol, name, infoAddress, savePicture));
}

TreeNode* frmMain::NewNode(TreeNode* parent, const NodeTag& tag) {
    const NodeParts p = partsOf(tag);
    return mTreeModel->AddNode(parent, p.Kind, p.Text, p.ID, p.Fields);
}

void frmMain::ForgetSubtree(TreeNode* node) {
    mTreeModel->Walk(
        [this](TreeNode* n) {
            mChildIndex.remove(n);
            return true;
        },
        node);
}

void frmMain::RemoveChildren(TreeNode* node) {
    for (int i = 0; i < node->ChildCount(); ++i) ForgetSubtree(node->Child(i));
    mChildIndex.remove(node);
    mTreeModel->RemoveChildren(node);
}

void frmMain::RemoveNode(TreeNode* node) {
    ForgetSubtree(node);
    mChildIndex.remove(node->Parent());  // its first-of-name answers may change
    mTreeModel->RemoveNode(node);
}

void frmMain::SetNode(TreeNode* node, const NodeTag& tag) { SetTag(node, tag); }

void frmMain::SetChannelNode(TreeNode* node, const QString& channelId, const QString& protocol, const QString& name,
                             const QString& infoAddress, bool savePicture) {
    const NodeTag tag = MakeChannelTag(channelId, protocol, name, infoAddress, savePicture);
    SetNode(node, tag);
    if (mChannelCopies.isEmpty()) return;
    for (const qint64 id : mChannelCopies.value(CaseKey(channelId)))
        if (TreeNode* copy = NodeById(id)) SetNode(copy, tag);
}

namespace {
bool isGroup(const TreeNode* node) {
    return node->Kind() == ::NodeKind::Node || node->Kind() == ::NodeKind::ChannelList;
}
}  // namespace

TreeNode* frmMain::FirstChildNamed(TreeNode* parent, const QString& name) {
    if (!mIndexing) {
        for (int i = 0, n = mTreeModel->ChildCount(parent); i < n; ++i) {
            TreeNode* child = mTreeModel->Child(parent, i);
            if (isGroup(child) && child->Text() == name) return child;
        }
        return nullptr;
    }
    // While a list is parsed the same parents are asked again and again:
    // index each one once instead of walking its children for every line.
    auto it = mChildIndex.find(parent);
    if (it == mChildIndex.end()) {
        QHash<QString, TreeNode*> index;
        for (int i = 0, n = mTreeModel->ChildCount(parent); i < n; ++i) {
            TreeNode* child = mTreeModel->Child(parent, i);
            if (isGroup(child) && !index.contains(child->Text())) index.insert(child->Text(), child);
        }
        it = mChildIndex.insert(parent, index);
    }
    return it->value(name, nullptr);
}

void frmMain::IndexChild(TreeNode* parent, TreeNode* child) {
    auto it = mChildIndex.find(parent);
    if (it == mChildIndex.end()) return;  // indexed when first asked
    if (isGroup(child) && !it->contains(child->Text())) it->insert(child->Text(), child);
}

QHash<QString, TreeNode*> frmMain::ChannelNodesByKey() const {
    QHash<QString, TreeNode*> channels;
    mTreeModel->Walk([&channels](TreeNode* node) {
        if (node->Kind() == ::NodeKind::Channel) {
            const QString key = CaseKey(node->ID());
            if (!channels.contains(key)) channels.insert(key, node);
        }
        return true;
    });
    return channels;
}

}  // namespace updater
