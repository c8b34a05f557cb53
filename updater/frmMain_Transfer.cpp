// Downloads of channel list files and channel information files, and the
// parsing of both into the tree. One request at a time: a new one starts only
// from a command in state 1 or after the previous answer was handled.

#include "updater/frmMain.h"

#include "channel/HTTPTransfer.h"
#include "common/TextCompare.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"
#include "storage/TreeListRecords.h"

#include <QProgressBar>
#include <QSet>
#include "navigation/ChannelTreeModel.h"

namespace updater {

namespace {

const QString kListFailed = QStringLiteral(" - チャンネルリストファイルを取得できませんでした");
const QString kInfoFailed = QStringLiteral(" - チャンネル情報ファイルを取得できませんでした");
const QString kInfoDone = QStringLiteral("チャンネル情報の更新完了");

QStringList BodyLines(const QString& body) {
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return mdlFunction::SplitString(text, QChar(u'\n'), true, true);
}

// Components of an identifier's organisation path, trimmed.
QStringList Components(const QString& channelId) {
    return mdlFunction::SplitString(channelId, QChar(u'.'), true, false);
}

// A list file is downloading, for a list node held already or a new one.
bool IsListDownload(UpdaterState state) {
    return state == UpdaterState::DownloadingList || state == UpdaterState::DownloadingNewList;
}

}  // namespace

void frmMain::Finish() {
    mPendingChannelNodes = {0};
    mTargetIndex = -1;
    mUpdateState = UpdaterState::Idle;
    mNewChannelListURL.clear();
    EnableCommands(true);
    prgUpdateChannel->setVisible(false);
}

void frmMain::ShowProgress() {
    const int total = int(mPendingChannelNodes.size()) - 1;
    int handled = 0;
    for (int i = 1; i <= total; ++i) handled += mPendingChannelNodes[i] == -1 ? 1 : 0;
    prgUpdateChannel->setRange(0, total);
    prgUpdateChannel->setValue(handled);
    prgUpdateChannel->setVisible(true);
}

void frmMain::netHTTP_StateChanged(int /*Index*/, int State) {
    if (State == HTTPTransfer::StateError) {
        // No answer at all (refused, reset, silence until the time-out): the
        // same as an answer refused by its status line.
        QString why = netHTTP->ResponseInfo();
        if (why.isEmpty()) why = QStringLiteral("応答がありません");
        TransferFailed(why);
        return;
    }
    if (State != HTTPTransfer::StateResponseCompleted) return;

    const QString statusLine = netHTTP->StatusLine();
    if (!statusLine.contains(QStringLiteral("200"))) {
        TransferFailed(statusLine);
        return;
    }

    const QString contentType = netHTTP->GetHeader(QStringLiteral("Content-type"));
    if (!contentType.contains(QStringLiteral("text"))) {
        if (IsListDownload(mUpdateState)) {
            SetStatus(contentType + kListFailed);
            Finish();
        } else if (mUpdateState == UpdaterState::DownloadingInfo) {
            ++mInfoFailures;
            SetStatus(statusLine + kInfoFailed);
            if (!RequestNextChannelInfomation()) Finish();  // the failure text stays
        } else {
            Finish();
        }
        return;
    }

    const QString body = netHTTP->BodyText();
    if (IsListDownload(mUpdateState)) {
        SetStatus(contentType + QStringLiteral("チャンネルリストファイルの取得完了"));
        ParseChannelList(BodyLines(body));
    } else if (mUpdateState == UpdaterState::DownloadingInfo) {
        SetStatus(contentType + QStringLiteral("チャンネル情報ファイルの取得完了"));
        ParseChannelInfomation(BodyLines(body));
    }
}

// A list or an information file that was not accepted, by its status line
// (prefix is the status line) or because nothing came back at all.
void frmMain::TransferFailed(const QString& prefix) {
    if (IsListDownload(mUpdateState)) {
        SetStatus(prefix + kListFailed);
        Finish();
    } else if (mUpdateState == UpdaterState::DownloadingInfo) {
        ++mInfoFailures;
        SetStatus(prefix + kInfoFailed);
        if (!RequestNextChannelInfomation()) {
            const QString done = InfoDoneText();
            Finish();
            SetStatus(done);
        }
    } else {
        Finish();
        SetStatus(kInfoDone);
    }
}

void frmMain::ParseChannelList(const QStringList& lines) {
    mUpdateState =
        mUpdateState == UpdaterState::DownloadingList ? UpdaterState::ParsingList : UpdaterState::ParsingNewList;
    SetStatus(QStringLiteral("チャンネルリストの解析中"));

    TreeNode* target = nullptr;
    // Saving switches of the channels listed before, by ChannelID: a channel
    // still listed keeps the user's "True".
    QSet<QString> savingBefore;
    if (mUpdateState == UpdaterState::ParsingList) {
        target = NodeById(mTargetIndex);
        if (!target) {
            // The list was removed while its file was downloading.
            Finish();
            SetStatus(QStringLiteral("チャンネルリストが削除されたため、更新を中止しました"));
            return;
        }
        mTreeModel->Walk(
            [&savingBefore, target](TreeNode* n) {
                const NodeTag tag = Tag(n);
                if (n != target && tag.Kind == NodeKind::Channel && tag.SavePicture())
                    savingBefore.insert(CaseKey(tag.Name()));
                return true;
            },
            target);
    }
    // A list of many lines reaches the views as one change.
    mTreeModel->BeginBatch();
    if (target) RemoveChildren(target);

    // Every channel of the tree by ID without regard to case: a line that
    // names one again, in any letter case and in any list, is that channel.
    // Each list that lists it holds a node of it, and all its nodes change
    // alike (SetChannelNode), so it stays while any of them remains.
    QHash<QString, TreeNode*> channels = ChannelNodesByKey();
    auto heldUnder = [this, &channels](const TreeNode* group, const QString& key) -> TreeNode* {
        TreeNode* first = channels.value(key);
        if (!first) return nullptr;
        if (first->Parent() == group) return first;
        for (const qint64 id : mChannelCopies.value(key))
            if (TreeNode* copy = NodeById(id); copy && copy->Parent() == group) return copy;
        return nullptr;
    };
    mChildIndex.clear();
    mIndexing = mUpdateState == UpdaterState::ParsingNewList;
    for (const QString& raw : lines) {
        const QString line = mdlFunction::TrimSpaces(raw);
        if (line.isEmpty()) continue;
        const QStringList fields = mdlFunction::SplitString(line, QChar(u','), true, false);
        if (fields.size() < 3) continue;
        // Fields that would break the list file's line format are cleaned;
        // a line left without an ID, a signature or an address is no channel.
        const QString channelId = CleanListField(fields[0]);
        const QString protocol = CleanListField(fields[1]);
        const QString address = CleanListField(fields[2]);
        if (channelId.isEmpty() || protocol.isEmpty() || address.isEmpty()) continue;

        const QString key = CaseKey(channelId);
        TreeNode* held = channels.value(key);
        // The node the line goes under: the list itself when it is updated,
        // else the group its ID names. Every group on that path needs a
        // name, and the path a bound.
        TreeNode* group = target;
        if (mUpdateState == UpdaterState::ParsingNewList) {
            const QStringList parts = Components(channelId);
            bool placeable = parts.size() - 1 <= kDeepestTreeNode;
            for (int i = 0; placeable && i + 1 < parts.size(); ++i) placeable = !parts[i].isEmpty();
            group = placeable ? GetOrganizationNode(channelId) : nullptr;
        }
        if (!held && !group) continue;
        if (!held) {
            channels.insert(key, NewChannelNode(group, channelId, protocol, kUnnamedChannel, address,
                                                target && savingBefore.contains(key)));
            continue;
        }
        // A channel held already is reused, spelled as it was: its name and
        // signature go, the user's saving switch stays.
        const NodeTag was = Tag(held);
        if (group && !heldUnder(group, key)) {
            QVector<qint64>& copies = mChannelCopies[key];
            if (copies.isEmpty()) copies << NodeId(held);
            copies << NodeId(NewChannelNode(group, was.Name(), protocol, kUnnamedChannel, address, was.SavePicture()));
        }
        SetChannelNode(held, was.Name(), protocol, kUnnamedChannel, address, was.SavePicture());
    }
    mIndexing = false;
    mChildIndex.clear();
    mTreeModel->EndBatch();

    mTargetIndex = -1;
    mUpdateState = UpdaterState::Idle;
    mNewChannelListURL.clear();
    SetStatus(QStringLiteral("チャンネルリストの更新完了"));
    EnableCommands(true);
}

TreeNode* frmMain::GetOrganizationNode(const QString& ChannelID) {
    const QString channelId = mdlFunction::TrimSpaces(ChannelID);
    if (!channelId.contains(QLatin1Char('.'))) {
        TreeNode* unknown = NodeByKey(kUnknownOrganizationKey);
        if (!unknown) {
            unknown = NewNode(nullptr, MakeTag(NodeKind::Group, {kUnknownOrganizationName}));
            SetKey(unknown, kUnknownOrganizationKey);
            IndexChild(nullptr, unknown);
        }
        return unknown;
    }
    if (mTreeModel->RootCount() == 0) return AddOrganizationNodes(nullptr, -1, channelId);

    const QStringList parts = Components(channelId);
    const int last = int(parts.size()) - 1;  // U
    TreeNode* found = FirstChildNamed(nullptr, parts[0]);
    if (!found) return AddOrganizationNodes(nullptr, -1, channelId);
    if (last == 1) return found;
    for (int g = 1; g <= last - 1; ++g) {
        if (found->ChildCount() == 0) return AddOrganizationNodes(found, g - 1, channelId);
        TreeNode* next = FirstChildNamed(found, parts[g]);
        if (!next) return AddOrganizationNodes(found, g - 1, channelId);
        found = next;
    }
    return found;
}

TreeNode* frmMain::AddOrganizationNodes(TreeNode* parent, int pos, const QString& ChannelID) {
    const QStringList parts = Components(ChannelID);
    const int last = int(parts.size()) - 1;  // U
    TreeNode* node = parent;
    if (!parent) {
        node = NewNode(nullptr, MakeTag(NodeKind::Group, {parts[0]}));
        IndexChild(nullptr, node);
        pos = 0;
    }
    mTreeModel->SetExpanded(node, true);
    for (int i = pos + 1; i <= last - 1; ++i) {
        TreeNode* child = NewNode(node, MakeTag(NodeKind::Group, {parts[i]}));
        IndexChild(node, child);
        mTreeModel->SetExpanded(child, true);
        node = child;
    }
    // The last node becomes the new list's node; its name (tag field 1)
    // stays, so the child index keeps finding it.
    const QString name = node->Text();
    SetNode(node, MakeTag(NodeKind::ChannelList, {name, CleanListField(mNewChannelListURL)}));
    return node;
}

void frmMain::ParseChannelInfomation(const QStringList& lines) {
    mUpdateState = UpdaterState::ParsingInfo;
    SetStatus(QStringLiteral("チャンネル情報の解析中"));

    const qint64 id = mPendingChannelNodes.value(int(mTargetIndex), -1);
    // The channel's list may have been removed while the file downloaded.
    if (TreeNode* node = NodeById(id)) {
        const NodeTag held = Tag(node);
        QString name = held.ChannelName();
        QString protocol = held.Protocol();
        for (const QString& line : lines) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq < 0) continue;
            const QString key = mdlFunction::TrimSpaces(line.left(eq));
            // An empty value keeps the previous one; the list file cannot
            // hold an empty field.
            const QString value = CleanListField(line.mid(eq + 1));
            if (value.isEmpty()) continue;
            if (key == QLatin1String("ChannelName"))
                name = value;
            else if (key == QLatin1String("ProtocolSignature"))
                protocol = value;
        }
        // The saving switch is the user's and stays.
        SetChannelNode(node, held.Name(), protocol, name, held.InfoAddress(), held.SavePicture());
    }

    if (!RequestNextChannelInfomation()) {
        const QString done = InfoDoneText();
        Finish();
        SetStatus(done);
    }
}

QString frmMain::InfoDoneText() const {
    if (mInfoFailures == 0) return kInfoDone;
    const int total = int(mPendingChannelNodes.size()) - 1;
    return kInfoDone + QStringLiteral("（%1件のうち%2件は取得できませんでした）").arg(total).arg(mInfoFailures);
}

bool frmMain::RequestNextChannelInfomation() {
    if (mTargetIndex >= 1 && mTargetIndex < mPendingChannelNodes.size()) mPendingChannelNodes[int(mTargetIndex)] = -1;
    for (int i = 1; i < mPendingChannelNodes.size(); ++i) {
        if (mPendingChannelNodes[i] == -1) continue;
        TreeNode* node = NodeById(mPendingChannelNodes[i]);
        if (!node) {
            // Removed with its list: nothing to fetch for it.
            mPendingChannelNodes[i] = -1;
            continue;
        }
        mUpdateState = UpdaterState::DownloadingInfo;
        mTargetIndex = i;
        ShowProgress();
        SetStatus(QStringLiteral("チャンネル情報ファイルの取得中"));
        Request(Tag(node).InfoAddress());
        return true;
    }
    ShowProgress();
    return false;
}

}  // namespace updater
