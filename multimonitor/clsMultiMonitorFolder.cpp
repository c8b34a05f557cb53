#include "multimonitor/clsMultiMonitorFolder.h"

#include "channel/PictureElement.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "multimonitor/clsMultiMonitorManeger.h"

namespace {
clsChannel* channelOf(clsChannelManeger* manager, const QString& ChannelID) {
    return manager ? manager->Channel(ChannelID) : nullptr;
}
}  // namespace

void clsMultiMonitorFolder::setFolderName(const QString& NewName) {
    mFolderName = NewName;
    if (mMultiMonitrManeger)
        mMultiMonitrManeger->RaiseEventRequest_ChangeMultiMonitorFolderName(mMultiMonitorID, NewName);
}

QList<PictureElement*> clsMultiMonitorFolder::ShowBox() const {
    QList<PictureElement*> boxes{nullptr};
    for (int i = 1; i <= mChannelCount; ++i)
        if (!mChannelID[i].isEmpty() && isShowable(mChannelID[i])) boxes << mShowBox[i];
    return boxes;
}

void clsMultiMonitorFolder::setShowChannelOnlyOnBroadcast(bool NewValue) {
    mShowChannelOnlyOnBroadcast = NewValue;
    if (NewValue && !mSelectedChannelID.isEmpty()) {
        const clsChannel* selected = channelOf(mChannelManeger, mSelectedChannelID);
        if (!selected || !selected->IsOnBroadcast()) mSelectedChannelID = getFirstShowableChannelID();
    } else if (!NewValue && mSelectedChannelID.isEmpty()) {
        mSelectedChannelID = getFirstShowableChannelID();
    }
    if (mMultiMonitrManeger) mMultiMonitrManeger->RaiseEventRequest_ThumbnailRefresh(mMultiMonitorID);
}

void clsMultiMonitorFolder::SelectedChannelIDRefresh() {
    if (mSelectedChannelID.isEmpty()) {
        mSelectedChannelID = getFirstShowableChannelID();
    } else if (mShowChannelOnlyOnBroadcast) {
        const clsChannel* selected = channelOf(mChannelManeger, mSelectedChannelID);
        if (!selected || !selected->IsOnBroadcast()) mSelectedChannelID = getFirstShowableChannelID();
    }
}

bool clsMultiMonitorFolder::IsRegistedChannel(const QString& ChannelID) const {
    return getChannelIndexFromChannelID(ChannelID) != 0;
}

void clsMultiMonitorFolder::MultiMonitorFolderInitialize(const QString& MultiMonitorID, const QString& FolderName,
                                                         clsChannelManeger* ChannelManeger,
                                                         clsMultiMonitorManeger* MultiMonitrManeger) {
    mMultiMonitorID = MultiMonitorID;
    mFolderName = FolderName;
    mChannelManeger = ChannelManeger;
    mMultiMonitrManeger = MultiMonitrManeger;
}

void clsMultiMonitorFolder::AddChannel(const QString& ChannelID, PictureElement* ShowBox, bool IsShowBoxIsActive) {
    clsChannel* channel = channelOf(mChannelManeger, ChannelID);
    if (!channel) return;
    // One spelling per channel: the member takes the channel's own ChannelID.
    const QString id = channel->ChannelID();

    ++mChannelCount;
    mChannelID.append(id);
    mShowBox.append(ShowBox);
    if (ShowBox) ShowBox->Tag = id;
    channel->AddThumbnailShowBox(mMultiMonitorID, ShowBox, IsShowBoxIsActive);
    if (mSelectedChannelID.isEmpty()) mSelectedChannelID = getFirstShowableChannelID();
    // A box added to a folder that is on screen must also switch the
    // channel's thumbnail viewing on, or the box would never be filled.
    if (IsShowBoxIsActive) channel->ViewControl(clsChannel::ThumbnailViewOpen, mMultiMonitorID);
    if (mMultiMonitrManeger) mMultiMonitrManeger->RaiseEventRequest_AddChannelToMultiMonitor(mMultiMonitorID, id);
}

void clsMultiMonitorFolder::RemoveChannel(const QString& ChannelID) {
    const int i = getChannelIndexFromChannelID(ChannelID);
    if (i == 0) return;
    mChannelID[i].clear();
    mShowBox[i] = nullptr;
    if (clsChannel* channel = channelOf(mChannelManeger, ChannelID)) {
        const bool wasActive =
            channel->ThumbnailIsActive(channel->getThumbnailShowBoxIndexFromMultiMonitorID(mMultiMonitorID));
        channel->RemoveThumbnailShowBox(mMultiMonitorID);
        // The channel stops thumbnail viewing unless another open folder
        // still shows it.
        if (wasActive && !channel->IsAvailOtherActiveThumbnail(mMultiMonitorID))
            channel->ViewControl(clsChannel::ThumbnailViewClose, mMultiMonitorID);
    }
    if (ChannelID == mSelectedChannelID) mSelectedChannelID = getFirstShowableChannelID();
    if (mMultiMonitrManeger)
        mMultiMonitrManeger->RaiseEventRequest_RemoveChannelFromMultiMonitor(mMultiMonitorID, ChannelID);
}

void clsMultiMonitorFolder::MultMonitorControl(int ControlType, bool IsAthoerCheak) {
    if (ControlType != FolderShown && ControlType != FolderHidden) return;
    // The count is read once: a handler of the view change may add members.
    const int count = mChannelCount;
    for (int i = 1; i <= count; ++i) {
        if (mChannelID[i].isEmpty()) continue;
        clsChannel* channel = channelOf(mChannelManeger, mChannelID[i]);
        if (!channel) continue;
        if (ControlType == FolderShown) {
            channel->ViewControl(clsChannel::ThumbnailViewOpen, mMultiMonitorID);
        } else if (IsAthoerCheak && channel->IsAvailOtherActiveThumbnail(mMultiMonitorID)) {
            // The channel stays in thumbnail viewing for the other folder, but
            // this folder's box is no longer shown: left marked active, it
            // would keep the channel fetching after the other folder closes.
            channel->setThumbnailIsActive(mMultiMonitorID, false);
        } else {
            channel->ViewControl(clsChannel::ThumbnailViewClose, mMultiMonitorID);
        }
    }
}

QStringList clsMultiMonitorFolder::Members() const {
    QStringList members;
    for (int i = 1; i <= mChannelCount; ++i)
        if (!mChannelID[i].isEmpty()) members << mChannelID[i];
    return members;
}

QString clsMultiMonitorFolder::getFirstShowableChannelID() const {
    for (int i = 1; i <= mChannelCount; ++i)
        if (!mChannelID[i].isEmpty() && isShowable(mChannelID[i])) return mChannelID[i];
    return QString();
}

int clsMultiMonitorFolder::getChannelIndexFromChannelID(const QString& ChannelID) const {
    if (ChannelID.isEmpty()) return 0;
    for (int i = 1; i <= mChannelCount; ++i)
        if (mChannelID[i] == ChannelID) return i;
    return 0;
}

bool clsMultiMonitorFolder::isShowable(const QString& ChannelID) const {
    if (!mShowChannelOnlyOnBroadcast) return true;
    const clsChannel* channel = channelOf(mChannelManeger, ChannelID);
    return channel && channel->IsOnBroadcast();
}
