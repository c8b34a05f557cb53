// Tabs: opening and closing channel and folder tabs, and the selection.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"

#include <QTreeWidgetItem>

namespace {
const QString kChannelTab = QStringLiteral("Channel_");
const QString kFolderTab = QStringLiteral("MultiMonitor_");
}  // namespace

int frmMain::getTabIndexFromTag(const QString& Tag) const {
    for (int i = 1; i <= mTabs->Count(); ++i)
        if (EqualsNoCase(mTabs->Tag(i), Tag)) return i;
    return -1;
}

QTreeWidgetItem* frmMain::getChildNodeFromTag(QTreeWidgetItem* Parent, const QString& Tag) const {
    if (!Parent) return nullptr;
    for (int i = 0; i < Parent->childCount(); ++i)
        if (EqualsNoCase(NodeTag(Parent->child(i)), Tag)) return Parent->child(i);
    return nullptr;
}

void frmMain::SelectTab(int TabIndex) {
    // A selection from code goes the way of a user's click.
    tabChannelSelect_BeforeClick();
    mTabs->SetSelected(TabIndex);
    tabChannelSelect_Click();
}

void frmMain::openTab(const QString& Tag, const QString& Caption, const std::function<void()>& SwitchViewingOn) {
    const int existing = getTabIndexFromTag(Tag);
    mTabMouseButton = 1;
    if (existing != -1) {
        SelectTab(existing);
        return;
    }
    // The blank tab, when it is the only one, takes the new content.
    const int index = mTabs->Tag(1).isEmpty() ? 1 : mTabs->Add(QString(), QString());
    mTabs->SetCaption(index, Caption);
    mTabs->SetTag(index, Tag);
    SwitchViewingOn();
    SelectTab(index);
}

void frmMain::OpenChannelTab(const QString& ChannelID) {
    clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(ChannelID) : nullptr;
    if (!channel) return;
    openTab(kChannelTab + ChannelID, ChannelCaption(channel),
            [channel] { channel->ViewControl(clsChannel::NormalViewOpen, QString()); });
}

void frmMain::OpenMultiMonitorTab(const QString& MultiMonitorID) {
    clsMultiMonitorFolder* folder = mMultiMonitorManeger ? mMultiMonitorManeger->MultiMonitor(MultiMonitorID) : nullptr;
    if (!folder) return;
    openTab(kFolderTab + MultiMonitorID, folder->FolderName(), [folder] { folder->MultMonitorControl(1, false); });
}

void frmMain::CloseTab(int TabIndex, bool IsAthoerCheak) {
    if (mTabs->SelectedIndex() != TabIndex) return;
    const QString tag = SelectedTabTag();
    if (TagMatches(tag, kChannelTab)) {
        if (clsChannel* channel = mChannelManeger->Channel(TagIdentifier(tag)))
            channel->ViewControl(clsChannel::NormalViewClose, QString());
    } else if (TagMatches(tag, kFolderTab)) {
        // A removed folder has already switched its members off.
        if (clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(TagIdentifier(tag)))
            folder->MultMonitorControl(2, IsAthoerCheak);
    }
    tabChannelSelect_BeforeClick();
    mTabMouseButton = 1;
    if (mTabs->Count() == 1) {
        mTabs->SetTag(1, QString());
        mTabs->SetCaption(1, QString());
        mTabMouseButton = 0;
        mChannelManeger->setSelectedChannelID(QString());
        return;
    }
    // The tab that took the closed one's place, or the new last one.
    mTabs->Remove(TabIndex);
    mTabs->SetSelected(qMin(TabIndex, mTabs->Count()));
    mTabMouseButton = 0;
    const QString next = SelectedTabTag();
    if (TagMatches(next, kChannelTab)) {
        mChannelManeger->setSelectedChannelID(TagIdentifier(next));
    } else if (TagMatches(next, kFolderTab)) {
        clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(TagIdentifier(next));
        mChannelManeger->setSelectedChannelID(folder ? folder->SelectedChannelID() : QString());
    }
}

void frmMain::tabChannelSelect_MouseDown(int Button) { mTabMouseButton = Button; }

void frmMain::tabChannelSelect_BeforeClick() { HideAllShowBoxes(); }

void frmMain::tabChannelSelect_Click() {
    const QString tag = SelectedTabTag();
    const bool channelTab = TagMatches(tag, kChannelTab);
    const bool folderTab = TagMatches(tag, kFolderTab);
    if (channelTab && mTabMouseButton == 2) {
        mTabMouseButton = 0;
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForChannelTab")));
        return;
    }
    if (folderTab && mTabMouseButton == 2) {
        mTabMouseButton = 0;
        PopupMenuFunction(Popup(QStringLiteral("mnuPopupForMultimonitorTab")));
        return;
    }
    if (channelTab && mTabMouseButton == 1 && mChannelManeger) {
        mChannelManeger->setSelectedChannelID(TagIdentifier(tag));
    } else if (folderTab && mTabMouseButton == 1 && mChannelManeger) {
        clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(TagIdentifier(tag));
        mChannelManeger->setSelectedChannelID(folder ? folder->SelectedChannelID() : QString());
    }
    mTabMouseButton = 0;
}

void frmMain::mnuCloseChannelTab_Click() { CloseTab(mTabs->SelectedIndex(), false); }

void frmMain::mnuCloseMultiMonitorTab_Click() { CloseTab(mTabs->SelectedIndex(), true); }
