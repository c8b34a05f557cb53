// Tabs: opening and closing channel and folder tabs, and the selection.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/NodeTag.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"
#include "view/WatchViews.h"
#include "view/WindowVocabulary.h"

int frmMain::getTabIndexFromTag(const QString& Tag) const {
    for (int i = 1; i <= mTabs->Count(); ++i)
        if (EqualsNoCase(mTabs->Tag(i), Tag)) return i;
    return -1;
}

TreeNode* frmMain::getChildNodeFromTag(TreeNode* Parent, const QString& Tag) const {
    if (!Parent) return nullptr;
    // A child's tag is its kind's prefix, "_" and its identifier: equal to
    // Tag without regard to case when both parts are.
    const ParsedTag wanted = ParseTag(Tag);
    if (wanted.Kind == NodeKind::None) return nullptr;
    for (int i = 0; i < Parent->ChildCount(); ++i) {
        TreeNode* child = Parent->Child(i);
        if (child->Kind() == wanted.Kind && EqualsNoCase(child->ID(), wanted.ID)) return child;
    }
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
    mTabMouseButton = MouseButtonCode::Left;
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
    openTab(MakeTag(NodeKind::Channel, ChannelID), ChannelCaption(channel),
            [channel] { channel->ViewControl(clsChannel::NormalViewOpen, QString()); });
}

void frmMain::OpenMultiMonitorTab(const QString& MultiMonitorID) {
    clsMultiMonitorFolder* folder = mMultiMonitorManeger ? mMultiMonitorManeger->MultiMonitor(MultiMonitorID) : nullptr;
    if (!folder) return;
    openTab(MakeTag(NodeKind::MultiMonitor, MultiMonitorID), folder->FolderName(),
            [folder] { folder->MultMonitorControl(clsMultiMonitorFolder::FolderShown, false); });
}

void frmMain::CloseTab(int TabIndex, bool IsAthoerCheak) {
    if (mTabs->SelectedIndex() != TabIndex) return;
    const ParsedTag tab = ParseTag(SelectedTabTag());
    if (tab.Kind == NodeKind::Channel) {
        if (clsChannel* channel = mChannelManeger->Channel(tab.ID))
            channel->ViewControl(clsChannel::NormalViewClose, QString());
    } else if (tab.Kind == NodeKind::MultiMonitor) {
        // A removed folder has already switched its members off; a folder
        // shown in its own window as well keeps them.
        if (clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID)) {
            if (!mWatchViews->FolderWindowShows(tab.ID))
                folder->MultMonitorControl(clsMultiMonitorFolder::FolderHidden, IsAthoerCheak);
            mWatchViews->FolderTabClosed();
        }
    }
    tabChannelSelect_BeforeClick();
    mTabMouseButton = MouseButtonCode::Left;
    if (mTabs->Count() == 1) {
        mTabs->SetTag(1, QString());
        mTabs->SetCaption(1, QString());
        mTabMouseButton = MouseButtonCode::None;
        mChannelManeger->setSelectedChannelID(QString());
        return;
    }
    // The tab that took the closed one's place, or the new last one.
    mTabs->Remove(TabIndex);
    mTabs->SetSelected(qMin(TabIndex, mTabs->Count()));
    mTabMouseButton = MouseButtonCode::None;
    const ParsedTag next = ParseTag(SelectedTabTag());
    if (next.Kind == NodeKind::Channel) {
        mChannelManeger->setSelectedChannelID(next.ID);
    } else if (next.Kind == NodeKind::MultiMonitor) {
        clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(next.ID);
        mChannelManeger->setSelectedChannelID(folder ? folder->SelectedChannelID() : QString());
    }
}

void frmMain::tabChannelSelect_MouseDown(MouseButtonCode Button) { mTabMouseButton = Button; }

void frmMain::tabChannelSelect_BeforeClick() {
    mWatchViews->TabChanging();
    HideAllShowBoxes();
}

void frmMain::tabChannelSelect_Click() {
    const ParsedTag tab = ParseTag(SelectedTabTag());
    const bool channelTab = tab.Kind == NodeKind::Channel;
    const bool folderTab = tab.Kind == NodeKind::MultiMonitor;
    const MouseButtonCode button = mTabMouseButton;
    if (channelTab && button == MouseButtonCode::Right) {
        mTabMouseButton = MouseButtonCode::None;
        PopupMenuFunction(Popup(PopupName::ChannelTab));
        return;
    }
    if (folderTab && button == MouseButtonCode::Right) {
        mTabMouseButton = MouseButtonCode::None;
        PopupMenuFunction(Popup(PopupName::MultimonitorTab));
        return;
    }
    if (channelTab && button == MouseButtonCode::Left && mChannelManeger) {
        mChannelManeger->setSelectedChannelID(tab.ID);
    } else if (folderTab && button == MouseButtonCode::Left && mChannelManeger) {
        clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(tab.ID);
        mChannelManeger->setSelectedChannelID(folder ? folder->SelectedChannelID() : QString());
    }
    mTabMouseButton = MouseButtonCode::None;
}

void frmMain::mnuCloseChannelTab_Click() { CloseTab(mTabs->SelectedIndex(), false); }

void frmMain::mnuCloseMultiMonitorTab_Click() { CloseTab(mTabs->SelectedIndex(), true); }
