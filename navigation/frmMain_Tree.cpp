// The channel tree: what a click on each kind of node does.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/NodeTag.h"
#include "view/WindowVocabulary.h"

#include <QAction>

void frmMain::tvwChannelSelect_MouseDown(MouseButtonCode Button) { mTreeMouseButton = Button; }

void frmMain::tvwChannelSelect_NodeClick(TreeNode* Node) {
    const ParsedTag tag = ParseTag(NodeTag(Node));
    const MouseButtonCode button = mTreeMouseButton;
    // Reset first: a popup command may act on the tree again.
    mTreeMouseButton = MouseButtonCode::None;
    if (button == MouseButtonCode::Left) {
        if (tag.Kind == NodeKind::Channel || tag.Kind == NodeKind::FavariteChannel ||
            tag.Kind == NodeKind::MultiMonitorChannel) {
            OpenChannelTab(tag.ID);
        } else if (tag.Kind == NodeKind::MultiMonitorFolder) {
            OpenMultiMonitorTab(tag.ID);
        }
        return;
    }
    if (button != MouseButtonCode::Right) return;
    const QString* popup = nullptr;
    switch (tag.Kind) {
        case NodeKind::Channel:
            popup = &PopupName::ChannelNode;
            break;
        case NodeKind::FavariteChannel:
            popup = &PopupName::FavariteChannelNode;
            break;
        case NodeKind::MultiMonitorRoot:
            // The root's tag is the bare prefix; nothing else pops this up.
            if (tag.ID.isEmpty()) popup = &PopupName::MultiMonitorRoot;
            break;
        case NodeKind::MultiMonitorChannel:
            popup = &PopupName::MultiMonitorChannel;
            break;
        case NodeKind::MultiMonitorFolder:
            popup = &PopupName::MultiMonitorFolder;
            break;
        default:
            break;
    }
    if (popup) PopupMenuFunction(Popup(*popup));
}

void frmMain::mnuShowChannelOnlyOnBroadcast_Click() {
    // The menu has already flipped its check mark.
    if (!mMultiMonitorManeger) return;
    mMultiMonitorManeger->setShowChannelOnlyOnBroadcast(mShowChannelOnlyOnBroadcast->isChecked());
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind != NodeKind::MultiMonitor) return;
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID);
    if (!folder) return;
    folder->SelectedChannelIDRefresh();
    mChannelManeger->setSelectedChannelID(folder->SelectedChannelID());
    if (!folder->SelectedChannelID().isEmpty())
        if (clsChannel* channel = mChannelManeger->Channel(folder->SelectedChannelID()))
            channel->Request_ChannelInfomationRefresh();
}
