// The channel tree: what a click on each kind of node does.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <QAction>
#include <QTreeWidgetItem>

void frmMain::tvwChannelSelect_MouseDown(int Button) { mTreeMouseButton = Button; }

void frmMain::tvwChannelSelect_NodeClick(QTreeWidgetItem* Node) {
    const QString tag = NodeTag(Node);
    const QString id = TagIdentifier(tag);
    const int button = mTreeMouseButton;
    // Reset first: a popup command may act on the tree again.
    mTreeMouseButton = 0;
    auto matches = [&tag](const char* prefix) { return TagMatches(tag, QLatin1String(prefix)); };
    if (button == 1 && (matches("Channel_") || matches("FavariteChannel_") || matches("MultiMonitorChannel_"))) {
        OpenChannelTab(id);
    } else if (button == 1 && matches("MultiMonitorFolder_")) {
        OpenMultiMonitorTab(id);
    } else if (button == 2 && matches("Channel_")) {
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForChannelNode")));
    } else if (button == 2 && matches("FavariteChannel_")) {
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForFavariteChannelNode")));
    } else if (button == 2 && EqualsNoCase(tag, QStringLiteral("MultiMonitorRoot_"))) {
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForMultiMonitorRoot")));
    } else if (button == 2 && matches("MultiMonitorChannel_")) {
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForMultiMonitorChannel")));
    } else if (button == 2 && matches("MultiMonitorFolder_")) {
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForMultiMonitorFolder")));
    }
}

void frmMain::mnuShowChannelOnlyOnBroadcast_Click() {
    // The menu has already flipped its check mark.
    if (!mMultiMonitorManeger) return;
    mMultiMonitorManeger->setShowChannelOnlyOnBroadcast(mShowChannelOnlyOnBroadcast->isChecked());
    const QString tag = SelectedTabTag();
    if (!TagMatches(tag, QStringLiteral("MultiMonitor_"))) return;
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(TagIdentifier(tag));
    if (!folder) return;
    folder->SelectedChannelIDRefresh();
    mChannelManeger->setSelectedChannelID(folder->SelectedChannelID());
    if (!folder->SelectedChannelID().isEmpty())
        if (clsChannel* channel = mChannelManeger->Channel(folder->SelectedChannelID()))
            channel->Request_ChannelInfomationRefresh();
}
