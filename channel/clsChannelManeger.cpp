#include "channel/clsChannelManeger.h"

#include "channel/HTTPTransfer.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannel.h"
#include "common/Numeric.h"
#include "common/TextCompare.h"

clsChannelManeger::clsChannelManeger(ProgramSettings& settings, HTTPTransferArray& http, QObject* parent)
    : QObject(parent), mSettings(settings), mHTTP(http) {
    mChannels.emplace_back();  // element 0
}

clsChannelManeger::~clsChannelManeger() = default;

void clsChannelManeger::setSelectedChannelID(const QString& NewID) {
    mSelectedChannelID = NewID;
    clsChannel* channel = NewID.isEmpty() ? nullptr : Channel(NewID);
    if (!channel) {
        // No selection, or one that names no channel: the window clears its
        // toolbar and labels rather than keep showing the previous channel.
        emit ChannelControlRefresh(QString(), 0, QStringList{QString()});
        emit ChannelInfomationRefresh(QString(), QStringList{QString()});
        return;
    }
    channel->Request_ChannelControlRefresh();
    channel->Request_ChannelInfomationRefresh();
    emit ShowBoxRefresh(NewID);
}

void clsChannelManeger::setShowPictureOnlyOnBroadCast(bool NewValue) {
    const int count = ChannelCount();
    for (int i = 1; i <= count; ++i) mChannels[size_t(i)]->setShowPictureOnlyOnBroadCast(NewValue);
}

bool clsChannelManeger::ChannelInitialize(ShowBoxElement ChannelShowBox, const QStringList& PropertyString) {
    if (PropertyString.size() < 6) return false;
    bool isSavePicture = false;
    if (!Numeric::ToBoolean(PropertyString[5], &isSavePicture)) return false;
    const QString& channelID = PropertyString[2];
    // An empty identifier could never be selected and would name no file.
    if (channelID.isEmpty()) return false;
    // One lookup both finds an existing channel and takes the new one's place.
    int& index = mIndexByKey[CaseKey(channelID)];
    if (index != 0) return false;
    index = ChannelCount() + 1;

    auto channel = std::make_unique<clsChannel>();
    const int http = mHTTP.ReserveHTTPObject(mSettings.Timeout, mSettings.Proxy, mSettings.ProxyEnable);
    // A list's channels share one protocol signature: one copy of its text.
    const QString& protocol = *mProtocols.insert(PropertyString[1]);
    channel->ClassInitialize(channelID, protocol, PropertyString[3], PropertyString[4], isSavePicture, ChannelShowBox,
                             TransferElement(mHTTP, http), this);
    mChannels.push_back(std::move(channel));
    return true;
}

void clsChannelManeger::MakeRoomFor(int count) {
    if (count <= 0) return;
    mChannels.reserve(mChannels.size() + size_t(count));
    mIndexByKey.reserve(mIndexByKey.size() + count);
    mHTTP.MakeRoomFor(count);
}

void clsChannelManeger::CauseOneSecEvent() {
    // The count is fixed for the pass; a handler that adds a channel does
    // not extend it, and indexes stay valid when the table grows.
    const int count = ChannelCount();
    for (int i = 1; i <= count; ++i) mChannels[size_t(i)]->CauseOneSecEvent();
}

void clsChannelManeger::DeleteMultiMonitor(const QString& MultiMonitorID) {
    const int count = ChannelCount();
    for (int i = 1; i <= count; ++i) mChannels[size_t(i)]->RemoveThumbnailShowBox(MultiMonitorID);
}

clsChannel* clsChannelManeger::Channel(const QString& ChannelID) const {
    // The lists are written in the order they were read: the channel after
    // the last one found is tried first. Its exact spelling settles it (IDs
    // are unique without regard to case); anything else goes to the index.
    const int next = mLastFound + 1;
    if (next <= ChannelCount() && mChannels[size_t(next)]->ChannelID() == ChannelID) {
        mLastFound = next;
        return mChannels[size_t(next)].get();
    }
    const int index = getChannelIndexFromChannelID(ChannelID);
    if (index != 0) mLastFound = index;
    return ChannelAt(index);
}

clsChannel* clsChannelManeger::ChannelAt(int index) const {
    return index >= 1 && index <= ChannelCount() ? mChannels[size_t(index)].get() : nullptr;
}

int clsChannelManeger::getChannelIndexFromChannelID(const QString& ChannelID) const {
    return mIndexByKey.value(CaseKey(ChannelID), 0);
}

void clsChannelManeger::RaiseEventRequest_ShowBoxRefresh(const QString& ChannelID) { emit ShowBoxRefresh(ChannelID); }

void clsChannelManeger::RaiseEventRequest_ChannelInfomationRefresh(const QString& ChannelID,
                                                                   const QStringList& InfomationString) {
    emit ChannelInfomationRefresh(ChannelID, InfomationString);
}

void clsChannelManeger::RaiseEventRequest_ChannelControlRefres(const QString& ChannelID, int ControlStatusFlag,
                                                               const QStringList& BelongMultiMonitorID) {
    emit ChannelControlRefresh(ChannelID, ControlStatusFlag, BelongMultiMonitorID);
}

void clsChannelManeger::RaiseEventRequest_AddChannelToFavarite(const QString& ChannelID) {
    emit AddChannelToFavarite(ChannelID);
}

void clsChannelManeger::RaiseEventRequest_RemoveChannelFromFavarite(const QString& ChannelID) {
    emit RemoveChannelFromFavarite(ChannelID);
}

void clsChannelManeger::RaiseEventRequest_ChannelStatusRefresh(const QString& ChannelID) {
    emit ChannelStatusRefresh(ChannelID);
}

void clsChannelManeger::RaiseEventRequest_RequestOutcome(const QString& ChannelID, const ChannelOutcome& Outcome) {
    emit RequestOutcome(ChannelID, Outcome);
}
