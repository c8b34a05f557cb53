// Multi-monitor folders in the main window: the popup commands, and the
// handlers that turn the folder manager's events into tree nodes, toolbar
// drop-down entries and add-to-folder popup entries.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "navigation/NodeTag.h"
#include "navigation/TreeRemovalUndo.h"
#include "storage/TreeListFormat.h"
#include "view/TabStripWidget.h"
#include "view/WatchViews.h"
#include "view/WindowVocabulary.h"

#include <QAction>
#include <QMenu>

namespace {
const QString kPrompt = QStringLiteral("新しいフォルダーの名前を入力して下さい");
const QString kTitle = QStringLiteral("新しいフォルダーの入力");
QString folderNodeTag(const QString& MultiMonitorID) { return MakeTag(NodeKind::MultiMonitorFolder, MultiMonitorID); }
QString folderTabTag(const QString& MultiMonitorID) { return MakeTag(NodeKind::MultiMonitor, MultiMonitorID); }
}  // namespace

// ---- Commands --------------------------------------------------------------

void frmMain::mnuAddMultiMonitorFolder_Click() {
    // A name cannot hold what would break the list file; blank cancels.
    const QString name = CleanListField(InputBoxFunction(kPrompt, kTitle, QString()));
    if (name.isEmpty()) return;
    mMultiMonitorManeger->AddMultiMonitorFolder(name, true);
}

void frmMain::mnuChangeMultiMonitorFolderName_Click() {
    const ParsedTag tag = ParseTag(NodeTag(mTree->CurrentNode()));
    if (tag.Kind != NodeKind::MultiMonitorFolder) return;
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tag.ID);
    if (!folder) return;
    // The box starts with the folder's name, so a rename is an edit of it.
    const QString name = CleanListField(InputBoxFunction(kPrompt, kTitle, folder->FolderName()));
    if (name.isEmpty()) return;
    folder->setFolderName(name);
}

void frmMain::mnuRemoveMultiMonitorFolder_Click() {
    const ParsedTag tag = ParseTag(NodeTag(mTree->CurrentNode()));
    if (tag.Kind != NodeKind::MultiMonitorFolder) return;
    const QString& id = tag.ID;
    // The folder is gone when its removal event arrives, so its members
    // stop fetching for it now (members another open folder shows go on).
    if (clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(id))
        if (getTabIndexFromTag(folderTabTag(id)) != -1 || mWatchViews->FolderWindowShows(id))
            folder->MultMonitorControl(clsMultiMonitorFolder::FolderHidden, true);
    mMultiMonitorManeger->RemoveMultiMonitorFolder(id);
}

void frmMain::mnuRemoveChannelFromMultiMonitorChannel_Click() {
    TreeNode* node = mTree->CurrentNode();
    const ParsedTag member = ParseTag(NodeTag(node));
    if (!node || member.Kind != NodeKind::MultiMonitorChannel) return;
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(ParseTag(NodeTag(node->Parent())).ID);
    const QString& id = member.ID;
    if (folder && folder->IsRegistedChannel(id)) folder->RemoveChannel(id);
}

void frmMain::mnuAddChannelToMultiMonitorFolder_Click(int Index) {
    if (Index <= 0 || Index >= mAddToFolder.size()) return;
    const clsChannel* channel = mChannelManeger->Channel(ParseTag(NodeTag(mTree->CurrentNode())).ID);
    const QString folderId = mAddToFolder[Index]->data().toString();
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(folderId);
    if (!channel || !folder) return;
    // Members are kept in the channel's own spelling, so a second add in
    // another letter case is the same member.
    if (folder->IsRegistedChannel(channel->ChannelID())) return;
    PictureElement* box = mPictures.Load();
    const bool active = getTabIndexFromTag(folderTabTag(folderId)) != -1;
    folder->AddChannel(channel->ChannelID(), box, active);
}

// ---- Events of the folder manager ------------------------------------------

void frmMain::mMultiMonitorManeger_AddMultiMonitorFolder(const QString& MultiMonitorID, const QString& FolderName,
                                                         bool IsExpand) {
    TreeNode* node = AddNode(mRootMultiMonitor, NodeKind::MultiMonitorFolder, FolderName, MultiMonitorID);
    mTreeModel->SetExpanded(node, IsExpand);

    QAction* entry = mFolderMenu->addAction(FolderMark::NotMember + FolderName);
    entry->setData(MultiMonitorID);

    const int index = int(mAddToFolder.size());
    QAction* item = Popup(PopupName::ChannelNode)->addAction(FolderName + QStringLiteral("に追加"));
    item->setData(MultiMonitorID);
    connect(item, &QAction::triggered, this, [this, index] { mnuAddChannelToMultiMonitorFolder_Click(index); });
    mAddToFolder << item;
}

void frmMain::mMultiMonitorManeger_RemoveMultiMonitorFolder(const QString& MultiMonitorID) {
    if (TreeNode* node = getChildNodeFromTag(mRootMultiMonitor, folderNodeTag(MultiMonitorID))) {
        // Ctrl+Z makes it again from what its node shows: name, flag and members in order.
        QStringList members;
        for (int i = 0; i < node->ChildCount(); ++i) members << node->Child(i)->ID();
        mUndo->Removed(
            {NodeKind::MultiMonitorFolder, MultiMonitorID, node->Text(), members, node->Expanded(), node->Row()});
        mTreeModel->RemoveNode(node);
    }

    // No tab may refer to the removed folder, selected or not.
    const int tab = getTabIndexFromTag(folderTabTag(MultiMonitorID));
    if (tab != -1) {
        if (tab == mTabs->SelectedIndex()) {
            CloseTab(tab, false);
        } else {
            mTabs->Remove(tab);
        }
    }

    const int entry = getFolderMenuIndexFromTag(MultiMonitorID);
    if (entry != -1) delete mFolderMenu->actions()[entry - 1];

    // The popup entry stays in its place, hidden, and is never reused.
    for (int i = 1; i < mAddToFolder.size(); ++i) {
        if (EqualsNoCase(mAddToFolder[i]->data().toString(), MultiMonitorID)) {
            mAddToFolder[i]->setVisible(false);
            break;
        }
    }
}

void frmMain::mMultiMonitorManeger_AddChannelToMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID) {
    if (TreeNode* folderNode = getChildNodeFromTag(mRootMultiMonitor, folderNodeTag(MultiMonitorID))) {
        const clsChannel* channel = mChannelManeger->Channel(ChannelID);
        AddNode(folderNode, NodeKind::MultiMonitorChannel, channel ? channel->ChannelName() : ChannelID, ChannelID);
    }
    if (EqualsNoCase(SelectedTabTag(), folderTabTag(MultiMonitorID))) ArrangeThumbnailBox();
    markFolderEntry(MultiMonitorID, ChannelID, true);
}

void frmMain::mMultiMonitorManeger_RemoveChannelFromMultiMonitor(const QString& MultiMonitorID,
                                                                 const QString& ChannelID) {
    if (TreeNode* folderNode = getChildNodeFromTag(mRootMultiMonitor, folderNodeTag(MultiMonitorID))) {
        if (TreeNode* node = getChildNodeFromTag(folderNode, MakeTag(NodeKind::MultiMonitorChannel, ChannelID))) {
            mUndo->Removed({NodeKind::MultiMonitorChannel, MultiMonitorID, QString(), {ChannelID}, false, node->Row()});
            mTreeModel->RemoveNode(node);
        }
    }
    if (EqualsNoCase(SelectedTabTag(), folderTabTag(MultiMonitorID))) ArrangeThumbnailBox();
    markFolderEntry(MultiMonitorID, ChannelID, false);
}

void frmMain::markFolderEntry(const QString& MultiMonitorID, const QString& ChannelID, bool member) {
    const int entry = getFolderMenuIndexFromTag(MultiMonitorID);
    const clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(MultiMonitorID);
    if (EqualsNoCase(ChannelID, mChannelManeger->SelectedChannelID()) && entry != -1 && folder)
        mFolderMenu->actions()[entry - 1]->setText((member ? FolderMark::Member : FolderMark::NotMember) +
                                                   folder->FolderName());
}

void frmMain::mMultiMonitorManeger_ChangeMultiMonitorFolderName(const QString& MultiMonitorID,
                                                                const QString& NewFolderName) {
    if (TreeNode* node = getChildNodeFromTag(mRootMultiMonitor, folderNodeTag(MultiMonitorID)))
        mTreeModel->SetText(node, NewFolderName);
    const int tab = getTabIndexFromTag(folderTabTag(MultiMonitorID));
    if (tab != -1) mTabs->SetCaption(tab, NewFolderName);
    const int entry = getFolderMenuIndexFromTag(MultiMonitorID);
    if (entry != -1) {
        QAction* action = mFolderMenu->actions()[entry - 1];
        action->setText(action->text().left(2) + NewFolderName);  // the marker stays
    }
    for (int i = 1; i < mAddToFolder.size(); ++i) {
        if (EqualsNoCase(mAddToFolder[i]->data().toString(), MultiMonitorID)) {
            mAddToFolder[i]->setText(NewFolderName + QStringLiteral("に追加"));
            break;
        }
    }
}

void frmMain::mMultiMonitorManeger_ThumbnailBoxRefresh(const QString& MultiMonitorID) {
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind != NodeKind::MultiMonitor || !EqualsNoCase(tab.ID, MultiMonitorID)) return;
    HideAllShowBoxes();
    ArrangeThumbnailBox();
}
