#include "multimonitor/clsMultiMonitorManeger.h"

#include "channel/clsChannelManeger.h"
#include "multimonitor/clsMultiMonitorFolder.h"

namespace {

// The slot an identifier names: only the canonical decimal text ("1", "2",
// ...) that the manager issued; anything else names no slot.
int slotOf(const QString& MultiMonitorID) {
    bool ok = false;
    const int slot = MultiMonitorID.toInt(&ok);
    if (!ok || slot < 1 || QString::number(slot) != MultiMonitorID) return 0;
    return slot;
}

}  // namespace

clsMultiMonitorManeger::clsMultiMonitorManeger(QObject* parent) : QObject(parent) {
    mMultiMonitorFolder.emplace_back();  // slot 0
}

clsMultiMonitorManeger::~clsMultiMonitorManeger() = default;

void clsMultiMonitorManeger::setShowChannelOnlyOnBroadcast(bool NewValue) {
    const int count = MultiMonitorCount();
    for (int i = 1; i <= count; ++i)
        if (clsMultiMonitorFolder* folder = mMultiMonitorFolder[size_t(i)].get())
            folder->setShowChannelOnlyOnBroadcast(NewValue);
}

void clsMultiMonitorManeger::ClassInitialize(clsChannelManeger* ChannelManeger) { mChannelManeger = ChannelManeger; }

clsMultiMonitorFolder* clsMultiMonitorManeger::MultiMonitor(const QString& MultiMonitorID) const {
    const int slot = slotOf(MultiMonitorID);
    return slot >= 1 && slot <= MultiMonitorCount() ? mMultiMonitorFolder[size_t(slot)].get() : nullptr;
}

void clsMultiMonitorManeger::AddMultiMonitorFolder(const QString& FolderName, bool IsExpand) {
    mMultiMonitorFolder.push_back(std::make_unique<clsMultiMonitorFolder>());
    const QString id = QString::number(MultiMonitorCount());
    mMultiMonitorFolder.back()->MultiMonitorFolderInitialize(id, FolderName, mChannelManeger, this);
    emit AddMultiMonitorFolderEvent(id, FolderName, IsExpand);
}

void clsMultiMonitorManeger::RemoveMultiMonitorFolder(const QString& MultiMonitorID) {
    if (!MultiMonitor(MultiMonitorID)) return;
    // The folder outlives the event, so a handler that still holds it (or
    // the folder's own caller) never sees a freed object.
    const std::unique_ptr<clsMultiMonitorFolder> removed =
        std::move(mMultiMonitorFolder[size_t(slotOf(MultiMonitorID))]);
    if (mChannelManeger) mChannelManeger->DeleteMultiMonitor(MultiMonitorID);
    emit RemoveMultiMonitorFolderEvent(MultiMonitorID);
}

void clsMultiMonitorManeger::RaiseEventRequest_AddChannelToMultiMonitor(const QString& MultiMonitorID,
                                                                        const QString& ChannelID) {
    emit AddChannelToMultiMonitor(MultiMonitorID, ChannelID);
}

void clsMultiMonitorManeger::RaiseEventRequest_RemoveChannelFromMultiMonitor(const QString& MultiMonitorID,
                                                                             const QString& ChannelID) {
    emit RemoveChannelFromMultiMonitor(MultiMonitorID, ChannelID);
}

void clsMultiMonitorManeger::RaiseEventRequest_ChangeMultiMonitorFolderName(const QString& MultiMonitorID,
                                                                            const QString& NewFolderName) {
    emit ChangeMultiMonitorFolderName(MultiMonitorID, NewFolderName);
}

void clsMultiMonitorManeger::RaiseEventRequest_ThumbnailRefresh(const QString& MultiMonitorID) {
    emit ThumbnailBoxRefresh(MultiMonitorID);
}
