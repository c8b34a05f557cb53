// The channel tree from the keyboard: each key runs what the mouse or the
// node's popup runs, on the selected node; Ctrl+Z brings back what the
// session removed.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "navigation/TreeRemovalUndo.h"

void frmMain::tvwChannelSelect_KeyActivate(TreeNode* Node) {
    tvwChannelSelect_MouseDown(MouseButtonCode::Left);
    tvwChannelSelect_NodeClick(Node);
}

void frmMain::tvwChannelSelect_KeyMenu(TreeNode* Node, const QPoint& At) {
    mPopupAt = At;
    tvwChannelSelect_MouseDown(MouseButtonCode::Right);
    tvwChannelSelect_NodeClick(Node);
    mPopupAt.reset();
}

void frmMain::tvwChannelSelect_KeyRename(TreeNode* Node) {
    if (Node && Node->Kind() == NodeKind::MultiMonitorFolder) mnuChangeMultiMonitorFolderName_Click();
}

void frmMain::tvwChannelSelect_KeyRemove(TreeNode* Node) {
    if (!Node) return;
    switch (Node->Kind()) {
        case NodeKind::FavariteChannel:
            return mnuRemoveFavariteChannel_Click();
        case NodeKind::MultiMonitorFolder:
            return mnuRemoveMultiMonitorFolder_Click();
        case NodeKind::MultiMonitorChannel:
            return mnuRemoveChannelFromMultiMonitorChannel_Click();
        default:
            return;
    }
}

void frmMain::UndoLastRemoval() {
    if (!mUndo || mUndo->IsEmpty() || !mChannelManeger) return;
    const RemovedNode removed = mUndo->TakeLast();
    mUndo->Pause(true);
    TreeNode* back = nullptr;
    if (removed.Kind == NodeKind::FavariteChannel) {
        clsChannel* channel = mChannelManeger->Channel(removed.ID);
        if (channel && !channel->BelongFavarite()) channel->setBelongFavarite(true);
        back = mFavoriteNodes.value(CaseKey(removed.ID));
    } else if (removed.Kind == NodeKind::MultiMonitorFolder) {
        // A folder comes back under a new identifier, with its members in order.
        mMultiMonitorManeger->AddMultiMonitorFolder(removed.Name, removed.Expanded);
        const QString id = QString::number(mMultiMonitorManeger->MultiMonitorCount());
        clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(id);
        for (const QString& member : removed.ChannelIDs) {
            const clsChannel* channel = mChannelManeger->Channel(member);
            if (folder && channel && !folder->IsRegistedChannel(channel->ChannelID()))
                folder->AddChannel(channel->ChannelID(), mPictures.Load(), false);
        }
        back = getChildNodeFromTag(mRootMultiMonitor, MakeTag(NodeKind::MultiMonitorFolder, id));
    } else if (removed.Kind == NodeKind::MultiMonitorChannel) {
        // A member comes back as its folder's last, in the grid as in the tree.
        clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(removed.ID);
        const clsChannel* channel = mChannelManeger->Channel(removed.ChannelIDs.value(0));
        if (folder && channel && !folder->IsRegistedChannel(channel->ChannelID())) {
            const bool active = getTabIndexFromTag(MakeTag(NodeKind::MultiMonitor, removed.ID)) != -1;
            folder->AddChannel(channel->ChannelID(), mPictures.Load(), active);
        }
        if (TreeNode* folderNode =
                getChildNodeFromTag(mRootMultiMonitor, MakeTag(NodeKind::MultiMonitorFolder, removed.ID)))
            back = getChildNodeFromTag(folderNode, MakeTag(NodeKind::MultiMonitorChannel, removed.ChannelIDs.value(0)));
    }
    mUndo->Pause(false);
    if (!back) return;
    // Favourites and folders go back to their places, which the files keep.
    if (removed.Kind != NodeKind::MultiMonitorChannel) mTreeModel->MoveNode(back, removed.Row);
    mTree->SetCurrentNode(back);
}
