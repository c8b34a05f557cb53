#pragma once
// Listmender's one window: the channel lists in a tree, the commands that
// download list files and information files into it, and ChannelList.txt
// read at start-up and written when the window closes. The handlers live in
// three files: frmMain.cpp (window and commands), frmMain_Transfer.cpp
// (downloads and parsing), frmMain_ChannelListFile.cpp (the list file).

#include "common/MouseButtonCode.h"
#include "common/TextFile.h"
#include "updater/NodeTag.h"

#include <QHash>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class ChannelTreeModel;
class ChannelTreeView;
class CurlMulti;
class HTTPTransfer;
class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QStatusBar;
class QWidget;
class TreeNode;

namespace updater {

class ChannelListFile;
class ElidedLabel;

// What the window is doing: the transfer commands run only when it is Idle.
enum class UpdaterState {
    Idle = 1,
    DownloadingList = 2,     // the list file of an existing list node
    DownloadingInfo = 3,     // a channel's information file
    DownloadingNewList = 4,  // the list file of a list being added
    ParsingList = 5,         // a downloaded list into its existing node
    ParsingInfo = 6,         // a downloaded information file
    ParsingNewList = 7,      // a downloaded list as a new list
};

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // Fixed texts.
    static const QString kUnknownOrganizationKey;   // "tvwKey_UnKnown_Organization"
    static const QString kUnknownOrganizationName;  // "分類なし"
    static const QString kUnnamedChannel;           // "チャンネル名 未取得"
    static const QString kMessagePanel;             // "sbrMainKey_Message"
    static const QString kTimePanel;                // "sbrMainKey_Time"

    // programDirectory holds ChannelList.txt; programFileDirectory the
    // viewer's program file (empty: programDirectory, a portable folder).
    explicit frmMain(const QString& programDirectory, const QString& programFileDirectory = QString(),
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up. False when the viewer runs: the error was shown, nothing was
    // loaded, and the program must end without saving.
    bool Form_Load();
    void Form_Resize();

    // Commands, as the menus run them.
    void mnuAddChannelList_Click();
    // The command after its input box: starts adding the list at address.
    void StartAddChannelList(const QString& address);
    void mnuUpdateChannelList_Click();
    void mnuUpdateChannel_Click();
    void mnuRemoveChannelList_Click();
    void mnuExitForExe_Click();
    void mnuExit_Click();

    // A press on the tree: the button is recorded, the node under the
    // pointer selected, then NodeClick runs (the event filter does this).
    void tvwChannelSelect_MouseDown(MouseButtonCode button);
    void tvwChannelSelect_NodeClick(TreeNode* node, const QPoint& globalPos);

    // Downloads and parsing.
    void netHTTP_StateChanged(int Index, int State);
    void ParseChannelList(const QStringList& lines);
    TreeNode* GetOrganizationNode(const QString& ChannelID);
    TreeNode* AddOrganizationNodes(TreeNode* parent, int pos, const QString& ChannelID);
    void ParseChannelInfomation(const QStringList& lines);
    bool RequestNextChannelInfomation();

    // The list file. lines as ReadLines returns them (element 0 is no line).
    void LoadChannelList(const QStringList& lines);
    // Appends the lines of node and its descendants, in pre-order.
    void SaveChannelListNode(TreeNode* node, QStringList& lines) const;
    // Writes the whole tree; an empty tree leaves the file alone. False when
    // the file could not be written (*error says why).
    bool SaveChannelList(QString* error = nullptr);
    QString ChannelListPath() const;

    // Dialogs and the program start, replaceable by tests.
    std::function<bool()> ViewerRunning;
    std::function<void(QWidget* parent, const QString& text, const QString& title)> ShowError;
    std::function<QString(QWidget* parent, const QString& prompt, const QString& title)> InputBox;
    std::function<bool(QWidget* parent, const QString& text, const QString& title)> ConfirmBox;
    std::function<void(QMenu* menu, const QPoint& globalPos)> ShowPopup;
    std::function<bool(const QString& program, const QString& workingDirectory)> StartProgram;

    // Controls. The tree's nodes are TreeModel's.
    ChannelTreeView* tvwChannelSelect = nullptr;
    QStatusBar* sbrMain = nullptr;
    QProgressBar* prgUpdateChannel = nullptr;  // n of N during チャンネル情報を更新する
    QProgressBar* prgBusy = nullptr;           // shown while a download runs
    HTTPTransfer* netHTTP = nullptr;
    QWidget* linSplit = nullptr;
    QMenu* mnuFile = nullptr;
    QAction* mnuAddChannelList = nullptr;
    QAction* mnuFileBar = nullptr;
    QAction* mnuExitForExe = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuPopup = nullptr;
    QMenu* mnuPopupForChannelList = nullptr;
    QAction* mnuUpdateChannelList = nullptr;
    QAction* mnuUpdateChannel = nullptr;
    QAction* mnuPopupForChannelListBar = nullptr;
    QAction* mnuRemoveChannelList = nullptr;

    // Status panels by key ("sbrMainKey_Message", "sbrMainKey_Time").
    QLabel* Panel(const QString& key) const;
    QString StatusText() const;

    // Window state.
    MouseButtonCode mTreeMouseButton = MouseButtonCode::None;
    UpdaterState UpdateState() const { return mUpdateState; }
    qint64 TargetIndex() const { return mTargetIndex; }
    const QVector<qint64>& PendingChannelNodes() const { return mPendingChannelNodes; }
    QString NewChannelListURL() const { return mNewChannelListURL; }

    // Nodes. Ids stay valid across removals of other nodes and are never
    // reused; NodeById answers nullptr for a removed node.
    ChannelTreeModel* TreeModel() const { return mTreeModel; }
    // A node's kind and fields as its tag has them.
    static NodeTag Tag(const TreeNode* node);
    // Replaces a node's tag as it is (the window's own changes go through
    // SetNode, which keeps copies of a channel alike).
    void SetTag(TreeNode* node, const NodeTag& tag);
    QString Key(const TreeNode* node) const;
    void SetKey(TreeNode* node, const QString& key);
    static qint64 NodeId(const TreeNode* node);
    TreeNode* NodeById(qint64 id) const;
    TreeNode* NodeByKey(const QString& key) const;
    int NodeCount() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    void createControls();
    void Form_Unload();

    void SetStatus(const QString& text);
    void EnableCommands(bool enabled);
    void Request(const QString& address);
    void Finish();
    void ShowProgress();
    void TransferFailed(const QString& prefix);
    // "チャンネル情報の更新完了", with how many channels failed when any did.
    QString InfoDoneText() const;

    // Tree maintenance: every node is made and removed through these so
    // that ids and the parse-time child index stay right.
    // The node gets its tag and text before it enters the tree, so the
    // view hears of it once.
    TreeNode* NewNode(TreeNode* parent, const NodeTag& tag);
    TreeNode* NewChannelNode(TreeNode* parent, const QString& channelId, const QString& protocol, const QString& name,
                             const QString& infoAddress, bool savePicture);
    void RemoveNode(TreeNode* node);
    void RemoveChildren(TreeNode* node);
    void ForgetSubtree(TreeNode* node);
    void SetNode(TreeNode* node, const NodeTag& tag);
    void SetChannelNode(TreeNode* node, const QString& channelId, const QString& protocol, const QString& name,
                        const QString& infoAddress, bool savePicture);
    // First group or list node among the children of parent (nullptr: the
    // roots) whose tag field 1 equals name.
    TreeNode* FirstChildNamed(TreeNode* parent, const QString& name);
    // The first channel node of each ID in tree order, by CaseKey.
    QHash<QString, TreeNode*> ChannelNodesByKey() const;
    void IndexChild(TreeNode* parent, TreeNode* child);

    QString mProgramDirectory;
    QString mProgramFileDirectory;
    CurlMulti* mCurl = nullptr;  // made before netHTTP, so deleted before it
    ElidedLabel* mMessagePanel = nullptr;
    QLabel* mTimePanel = nullptr;
    bool mUnloaded = false;
    std::unique_ptr<ChannelListFile> mFile;

    UpdaterState mUpdateState = UpdaterState::Idle;
    // DownloadingList: the id of the list node being updated;
    // DownloadingInfo: the slot of mPendingChannelNodes being fetched; -1
    // otherwise.
    qint64 mTargetIndex = -1;
    // DownloadingInfo: node ids in slots 1..n (slot 0 unused); -1 once handled.
    QVector<qint64> mPendingChannelNodes{0};
    QString mNewChannelListURL;
    int mInfoFailures = 0;  // information files not read in this name refresh

    ChannelTreeModel* mTreeModel = nullptr;
    // Node ids of each channel (by CaseKey) the file listed more than once:
    // one channel to the viewer, so every change reaches all of them.
    QHash<QString, QVector<qint64>> mChannelCopies;
    // While a list is parsed: per parent, the first group child of each name.
    QHash<TreeNode*, QHash<QString, TreeNode*>> mChildIndex;
    bool mIndexing = false;
};

}  // namespace updater
