// Favourites: the popup commands and the handlers that keep the お気に入り
// nodes and the toolbar's folder image in step with BelongFavarite.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "navigation/NodeTag.h"
#include "navigation/TreeRemovalUndo.h"
#include "view/ToolbarImages.h"
#include "view/WindowVocabulary.h"

#include <QAction>

void frmMain::mnuAddChannelToFavarite_Click() {
    clsChannel* channel = mChannelManeger->Channel(ParseTag(NodeTag(mTree->CurrentNode())).ID);
    if (channel && !channel->BelongFavarite()) channel->setBelongFavarite(true);
}

void frmMain::mnuRemoveFavariteChannel_Click() {
    clsChannel* channel = mChannelManeger->Channel(ParseTag(NodeTag(mTree->CurrentNode())).ID);
    if (channel && channel->BelongFavarite()) channel->setBelongFavarite(false);
}

void frmMain::mChannelManeger_AddChannelToFavarite(const QString& ChannelID) {
    const clsChannel* channel = mChannelManeger->Channel(ChannelID);
    const QString key = CaseKey(ChannelID);
    // One node per favourite, however often the flag is written.
    if (channel && !mFavoriteNodes.contains(key))
        mFavoriteNodes.insert(key,
                              AddNode(mRootFavarite, NodeKind::FavariteChannel, channel->ChannelName(), ChannelID));
    if (EqualsNoCase(ChannelID, mChannelManeger->SelectedChannelID())) {
        mFolderImage = ToolbarImageNumber::FavoriteFolder;
        ToolbarButton(ToolbarKey::Folder)->setIcon(ToolbarImage(mFolderImage));
    }
}

void frmMain::mChannelManeger_RemoveChannelFromFavarite(const QString& ChannelID) {
    if (TreeNode* node = mFavoriteNodes.take(CaseKey(ChannelID))) {
        mUndo->Removed({NodeKind::FavariteChannel, ChannelID, QString(), {}, false, node->Row()});
        mTreeModel->RemoveNode(node);
    }
    if (EqualsNoCase(ChannelID, mChannelManeger->SelectedChannelID())) {
        mFolderImage = ToolbarImageNumber::Folder;
        ToolbarButton(ToolbarKey::Folder)->setIcon(ToolbarImage(mFolderImage));
    }
}
