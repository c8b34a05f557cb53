// The main window's handlers of the channel manager's refresh events.
#include "view/frmMain.h"

#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "view/ToolbarImages.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace {
const QString kMember = QStringLiteral("υ ");
const QString kNotMember = QStringLiteral("　 ");
}  // namespace

void frmMain::mChannelManeger_ChannelControlRefresh(const QString& ChannelID, int ControlStatusFlag,
                                                    const QStringList& BelongMultiMonitorID) {
    // The toolbar shows the selected channel only; another channel's views
    // opening or closing leave it alone.
    if (!ChannelID.isEmpty() && !EqualsNoCase(ChannelID, mChannelManeger->SelectedChannelID())) return;
    ToolbarButton(QStringLiteral("tbrNormlKey_NormalView"))
        ->setChecked(ControlStatusFlag & clsChannelManeger::ControlNormalView);
    ToolbarButton(QStringLiteral("tbrNormlKey_ThumbnailView"))
        ->setChecked(ControlStatusFlag & clsChannelManeger::ControlThumbnailView);
    ToolbarButton(QStringLiteral("tbrNormlKey_SavePicture"))
        ->setChecked(ControlStatusFlag & clsChannelManeger::ControlSavePicture);
    mFolderImage = (ControlStatusFlag & clsChannelManeger::ControlBelongFavarite) ? 4 : 6;
    ToolbarButton(QStringLiteral("tbrNormlKey_Folder"))->setIcon(ToolbarImage(mFolderImage));
    auto folderName = [this](const QString& id) {
        const clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(id);
        return folder ? folder->FolderName() : QString();
    };
    for (QAction* entry : mFolderMenu->actions()) entry->setText(kNotMember + folderName(entry->data().toString()));
    for (qsizetype i = 1; i < BelongMultiMonitorID.size(); ++i) {
        const int index = getFolderMenuIndexFromTag(BelongMultiMonitorID[i]);
        if (index != -1) mFolderMenu->actions()[index - 1]->setText(kMember + folderName(BelongMultiMonitorID[i]));
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
