// The main window's handlers of the channel manager's refresh events.
#include "view/frmMain.h"

#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "view/ToolbarImages.h"
#include "view/WindowVocabulary.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

void frmMain::mChannelManeger_ChannelControlRefresh(const QString& ChannelID, int ControlStatusFlag,
                                                    const QStringList& BelongMultiMonitorID) {
    // The toolbar shows the selected channel only; another channel's views
    // opening or closing leave it alone.
    if (!ChannelID.isEmpty() && !EqualsNoCase(ChannelID, mChannelManeger->SelectedChannelID())) return;
    ToolbarButton(ToolbarKey::NormalView)->setChecked(ControlStatusFlag & clsChannelManeger::ControlNormalView);
    ToolbarButton(ToolbarKey::ThumbnailView)->setChecked(ControlStatusFlag & clsChannelManeger::ControlThumbnailView);
    ToolbarButton(ToolbarKey::SavePicture)->setChecked(ControlStatusFlag & clsChannelManeger::ControlSavePicture);
    mFolderImage = (ControlStatusFlag & clsChannelManeger::ControlBelongFavarite) ? ToolbarImageNumber::FavoriteFolder
                                                                                  : ToolbarImageNumber::Folder;
    ToolbarButton(ToolbarKey::Folder)->setIcon(ToolbarImage(mFolderImage));
    auto folderName = [this](const QString& id) {
        const clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(id);
        return folder ? folder->FolderName() : QString();
    };
    for (QAction* entry : mFolderMenu->actions())
        entry->setText(FolderMark::NotMember + folderName(entry->data().toString()));
    for (qsizetype i = 1; i < BelongMultiMonitorID.size(); ++i) {
        const int index = getFolderMenuIndexFromTag(BelongMultiMonitorID[i]);
        if (index != -1)
            mFolderMenu->actions()[index - 1]->setText(FolderMark::Member + folderName(BelongMultiMonitorID[i]));
    }
}

void frmMain::mChannelManeger_ChannelInfomationRefresh(const QString& ChannelID, const QStringList& InfomationString) {
    if (!ChannelID.isEmpty() && !EqualsNoCase(ChannelID, mChannelManeger->SelectedChannelID())) return;
    if (!ChannelID.isEmpty() || InfomationString.size() > 1) {
        mInfoLabels[0]->setText(InfomationString.value(1));
        mInfoLabels[1]->setText(InfomationString.value(2));
    } else {
        mInfoLabels[0]->clear();
        mInfoLabels[1]->clear();
    }
}

void frmMain::mChannelManeger_ShowBoxRefresh(const QString& ChannelID) {
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind == NodeKind::Channel && EqualsNoCase(tab.ID, ChannelID)) {
        ShowChannelPicture();
    } else if (tab.Kind == NodeKind::MultiMonitor) {
        const clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID);
        if (folder && folder->IsRegistedChannel(ChannelID)) ArrangeThumbnailBox();
    }
}

void frmMain::mChannelManeger_ChannelStatusRefresh(const QString& ChannelID) {
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind != NodeKind::MultiMonitor) return;
    clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID);
    if (!folder || !folder->IsRegistedChannel(ChannelID)) return;
    folder->SelectedChannelIDRefresh();
    mChannelManeger->setSelectedChannelID(folder->SelectedChannelID());
}
