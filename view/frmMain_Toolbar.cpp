// The toolbar: viewing, saving, favourite and folder membership of the
// selected channel, and closing the selected tab.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "view/TabStripWidget.h"
#include "view/WindowVocabulary.h"

#include <QAction>
#include <QMenu>

void frmMain::tbrNormal_ButtonClick(const QString& Key) {
    if (!mChannelManeger || mChannelManeger->SelectedChannelID().isEmpty()) return;
    clsChannel* channel = mChannelManeger->Channel(mChannelManeger->SelectedChannelID());
    if (!channel) return;
    const ParsedTag tab = ParseTag(SelectedTabTag());
    const QString folder = tab.Kind == NodeKind::MultiMonitor ? tab.ID : QString();
    auto pressed = [this](const QString& key) { return ToolbarButton(key)->isChecked(); };

    if (EqualsNoCase(Key, ToolbarKey::Close)) {
        CloseTab(mTabs->SelectedIndex(), false);
    } else if (EqualsNoCase(Key, ToolbarKey::NormalView)) {
        channel->ViewControl(pressed(ToolbarKey::NormalView) ? clsChannel::NormalViewOpen : clsChannel::NormalViewClose,
                             QString());
    } else if (EqualsNoCase(Key, ToolbarKey::ThumbnailView)) {
        channel->ViewControl(
            pressed(ToolbarKey::ThumbnailView) ? clsChannel::ThumbnailViewOpen : clsChannel::ThumbnailViewClose,
            folder);
    } else if (EqualsNoCase(Key, ToolbarKey::SavePicture)) {
        channel->setSavePicture(pressed(ToolbarKey::SavePicture));
    } else if (EqualsNoCase(Key, ToolbarKey::Folder)) {
        channel->setBelongFavarite(!channel->BelongFavarite());
    }
}

void frmMain::tbrNormal_ButtonMenuClick(QAction* Entry) {
    if (!Entry || !mChannelManeger || mChannelManeger->SelectedChannelID().isEmpty()) return;
    clsChannel* channel = mChannelManeger->Channel(mChannelManeger->SelectedChannelID());
    const QString folderId = Entry->data().toString();
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(folderId);
    if (!channel || !folder) return;
    const QString id = channel->ChannelID();
    if (Entry->text().startsWith(FolderMark::Member)) {
        if (folder->IsRegistedChannel(id)) folder->RemoveChannel(id);
        return;
    }
    if (folder->IsRegistedChannel(id)) return;
    // Active only while the folder's tab is open, as from the tree's popup.
    const bool active = getTabIndexFromTag(MakeTag(NodeKind::MultiMonitor, folderId)) != -1;
    folder->AddChannel(id, mPictures.Load(), active);
}

int frmMain::getFolderMenuIndexFromTag(const QString& Tag) const {
    const QList<QAction*> entries = mFolderMenu->actions();
    for (int i = 0; i < entries.size(); ++i)
        if (EqualsNoCase(entries[i]->data().toString(), Tag)) return i + 1;
    return -1;
}
