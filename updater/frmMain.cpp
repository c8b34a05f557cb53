#include "updater/frmMain.h"

#include "channel/HTTPTransfer.h"
#include "common/Logging.h"
#include "common/TextCompare.h"
#include "common/mdlFunction.h"
#include "common/mdlFunctionWidgets.h"
#include "storage/TreeListFormat.h"
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
#include <QTreeWidget>

namespace updater {

const QString frmMain::kUnknownOrganizationKey = QStringLiteral("tvwKey_UnKnown_Organization");
const QString frmMain::kUnknownOrganizationName = QStringLiteral("分類なし");
const QString frmMain::kUnnamedChannel = QStringLiteral("チャンネル名 未取得");
const QString frmMain::kMessagePanel = QStringLiteral("sbrMainKey_Message");
const QString frmMain::kTimePanel = QStringLiteral("sbrMainKey_Time");

namespace {

constexpr int kTagRole = Qt::UserRole;  // the tag's fields, split
constexpr int kKeyRole = Qt::UserRole + 1;
constexpr int kIdRole = Qt::UserRole + 2;
constexpr int kKindRole = Qt::UserRole + 3;

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

frmMain::~frmMain() = default;

void frmMain::createControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    central->installEventFilter(this);

    // The separator keeps its length when the window is resized.
    linSplit = mdlFunction::NewEtchedLine(central);
    linSplit->setObjectName(QStringLiteral("linSplit"));
    linSplit->setGeometry(0, 0, kSplitLength + 1, 2);

    tvwChannelSelect = new QTreeWidget(central);
    tvwChannelSelect->setObjectName(QStringLiteral("tvwChannelSelect"));
    tvwChannelSelect->setHeaderHidden(true);
    tvwChannelSelect->setColumnCount(1);
    tvwChannelSelect->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvwChannelSelect->setSelectionMode(QAbstractItemView::SingleSelection);
    tvwChannelSelect->setUniformRowHeights(true);
    // Long "name(address)" texts scroll sideways instead of being cut.
    tvwChannelSelect->header()->setStretchLastSection(false);
    tvwChannelSelect->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tvwChannelSelect->viewport()->installEventFilter(this);
    tvwChannelSelect->move(kTreeLeft, kTreeTop);

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
    mFileInfo = file.Info;
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
    } else if (tvwChannelSelect && watched == tvwChannelSelect->viewport() &&
               event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const MouseButtonCode button = ButtonCodeOf(mouse->button());
        tvwChannelSelect_MouseDown(button);
        QTreeWidgetItem* node = tvwChannelSelect->itemAt(mouse->position().toPoint());
        if (node) {
            tvwChannelSelect->setCurrentItem(node);
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

void frmMain::tvwChannelSelect_NodeClick(QTreeWidgetItem* node, const QPoint& globalPos) {
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
    QTreeWidgetItem* node = tvwChannelSelect->currentItem();
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
    QTreeWidgetItem* node = tvwChannelSelect->currentItem();
    if (!node || Tag(node).Kind != NodeKind::ChannelList) return;
    // Direct children only; groups and other non-channel children have no
    // information file to fetch.
    QVector<qint64> pending{0};
    for (int i = 0; i < node->childCount(); ++i) {
        const NodeTag child = Tag(node->child(i));
        if (child.Kind == NodeKind::Channel && !child.InfoAddress().isEmpty()) pending.append(NodeId(node->child(i)));
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
    QTreeWidgetItem* node = tvwChannelSelect->currentItem();
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

NodeTag frmMain::Tag(const QTreeWidgetItem* node) {
    if (!node) return NodeTag();
    return {NodeKind(node->data(0, kKindRole).toInt()), node->data(0, kTagRole).toStringList()};
}

void frmMain::SetTag(QTreeWidgetItem* node, const NodeTag& tag) {
    node->setData(0, kTagRole, tag.Fields);
    node->setData(0, kKindRole, int(tag.Kind));
}

QString frmMain::Key(const QTreeWidgetItem* node) { return node ? node->data(0, kKeyRole).toString() : QString(); }

void frmMain::SetKey(QTreeWidgetItem* node, const QString& key) {
    node->setData(0, kKeyRole, key);
    mKeyedNodes.insert(key, NodeId(node));
}

qint64 frmMain::NodeId(const QTreeWidgetItem* node) { return node ? node->data(0, kIdRole).toLongLong() : qint64(-1); }

QTreeWidgetItem* frmMain::NodeById(qint64 id) const { return mNodes.value(id, nullptr); }

QTreeWidgetItem* frmMain::NodeByKey(const QString& key) const {
    QTreeWidgetItem* node = NodeById(mKeyedNodes.value(key, -1));
    return node && Key(node) == key ? node : nullptr;
}

namespace {
QString ChannelText(const QString& channelId, const QString& name) {
    return name + QLatin1Char('(') + channelId + QLatin1Char(')');
}
}  // namespace

QTreeWidgetItem* frmMain::NewChannelNode(QTreeWidgetItem* parent, const QString& channelId, const QString& protocol,
                                         const QString& name, const QString& infoAddress, bool savePicture) {
    return NewNode(parent, MakeChannelTag(channelId, protocol, name, infoAddress, savePicture),
                   ChannelText(channelId, name));
}

QTreeWidgetItem* frmMain::NewNode(QTreeWidgetItem* parent, const NodeTag& tag, const QString& text) {
    auto* node = new QTreeWidgetItem(QStringList{text});
    SetTag(node, tag);
    const qint64 id = mNextNodeId++;
    node->setData(0, kIdRole, id);
    if (parent)
        parent->addChild(node);
    else
        tvwChannelSelect->addTopLevelItem(node);
    mNodes.insert(id, node);
    return node;
}

void frmMain::ForgetSubtree(QTreeWidgetItem* node) {
    QVector<QTreeWidgetItem*> stack{node};
    while (!stack.isEmpty()) {
        QTreeWidgetItem* n = stack.takeLast();
        mNodes.remove(NodeId(n));
        mChildIndex.remove(n);
        for (int i = 0; i < n->childCount(); ++i) stack.append(n->child(i));
    }
}

void frmMain::RemoveChildren(QTreeWidgetItem* node) {
    for (int i = 0; i < node->childCount(); ++i) ForgetSubtree(node->child(i));
    mChildIndex.remove(node);
    // All at once: taking children one by one searches the list each time.
    qDeleteAll(node->takeChildren());
}

void frmMain::RemoveNode(QTreeWidgetItem* node) {
    ForgetSubtree(node);
    mChildIndex.remove(node->parent());  // its first-of-name answers may change
    if (QTreeWidgetItem* parent = node->parent())
        parent->removeChild(node);
    else
        tvwChannelSelect->takeTopLevelItem(tvwChannelSelect->indexOfTopLevelItem(node));
    delete node;
}

void frmMain::SetNode(QTreeWidgetItem* node, const NodeTag& tag, const QString& text) {
    SetTag(node, tag);
    node->setText(0, text);
}

void frmMain::SetChannelNode(QTreeWidgetItem* node, const QString& channelId, const QString& protocol,
                             const QString& name, const QString& infoAddress, bool savePicture) {
    const NodeTag tag = MakeChannelTag(channelId, protocol, name, infoAddress, savePicture);
    const QString text = ChannelText(channelId, name);
    SetNode(node, tag, text);
    if (mChannelCopies.isEmpty()) return;
    for (const qint64 id : mChannelCopies.value(CaseKey(channelId)))
        if (QTreeWidgetItem* copy = NodeById(id)) SetNode(copy, tag, text);
}

int frmMain::ChildCount(QTreeWidgetItem* parent) const {
    return parent ? parent->childCount() : tvwChannelSelect->topLevelItemCount();
}

QTreeWidgetItem* frmMain::Child(QTreeWidgetItem* parent, int i) const {
    return parent ? parent->child(i) : tvwChannelSelect->topLevelItem(i);
}

QTreeWidgetItem* frmMain::FirstChildNamed(QTreeWidgetItem* parent, const QString& name) {
    auto isGroup = [](NodeKind kind) { return kind == NodeKind::Group || kind == NodeKind::ChannelList; };
    if (!mIndexing) {
        for (int i = 0, n = ChildCount(parent); i < n; ++i) {
            const NodeTag tag = Tag(Child(parent, i));
            if (isGroup(tag.Kind) && tag.Name() == name) return Child(parent, i);
        }
        return nullptr;
    }
    // While a list is parsed the same parents are asked again and again:
    // index each one once instead of walking its children for every line.
    auto it = mChildIndex.find(parent);
    if (it == mChildIndex.end()) {
        QHash<QString, QTreeWidgetItem*> index;
        for (int i = 0, n = ChildCount(parent); i < n; ++i) {
            QTreeWidgetItem* child = Child(parent, i);
            const NodeTag tag = Tag(child);
            if (isGroup(tag.Kind) && !index.contains(tag.Name())) index.insert(tag.Name(), child);
        }
        it = mChildIndex.insert(parent, index);
    }
    return it->value(name, nullptr);
}

void frmMain::IndexChild(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
    auto it = mChildIndex.find(parent);
    if (it == mChildIndex.end()) return;  // indexed when first asked
    const NodeTag tag = Tag(child);
    if ((tag.Kind == NodeKind::Group || tag.Kind == NodeKind::ChannelList) && !it->contains(tag.Name()))
        it->insert(tag.Name(), child);
}

QHash<QString, QTreeWidgetItem*> frmMain::ChannelNodesByKey() const {
    QHash<QString, QTreeWidgetItem*> channels;
    QVector<QTreeWidgetItem*> stack;
    for (int i = tvwChannelSelect->topLevelItemCount() - 1; i >= 0; --i)
        stack.append(tvwChannelSelect->topLevelItem(i));
    while (!stack.isEmpty()) {
        QTreeWidgetItem* node = stack.takeLast();
        const NodeTag tag = Tag(node);
        if (tag.Kind == NodeKind::Channel) {
            const QString key = CaseKey(tag.Name());
            if (!channels.contains(key)) channels.insert(key, node);
        }
        for (int i = node->childCount() - 1; i >= 0; --i) stack.append(node->child(i));
    }
    return channels;
}

}  // namespace updater
