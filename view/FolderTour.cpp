#include "view/FolderTour.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

namespace {
constexpr int kNormalViewFlag = 2;  // the view flag's bit of normal viewing
}

FailingChannels::FailingChannels(clsChannelManeger& channels, QObject* parent) : QObject(parent), mChannels(channels) {
    connect(&channels, &clsChannelManeger::ChannelInfomationRefresh, this, [this](const QString& ChannelID) {
        const clsChannel* channel = mChannels.Channel(ChannelID);
        if (!channel) return;
        const ChannelState state = channel->State();
        if (state == ChannelState::InfoFailed || state == ChannelState::PictureFailed || state == ChannelState::Error)
            mFailing.insert(CaseKey(ChannelID));
    });
    connect(&channels, &clsChannelManeger::ShowBoxRefresh, this, [this](const QString& ChannelID) {
        const clsChannel* channel = mChannels.Channel(ChannelID);
        if (channel && channel->PictureType() != PictureKind::None) mFailing.remove(CaseKey(ChannelID));
    });
}

bool FailingChannels::IsFailing(const QString& ChannelID) const { return mFailing.contains(CaseKey(ChannelID)); }

TourViewing::TourViewing(clsChannelManeger& channels, std::function<bool(const QString&)> tabOpen)
    : mChannels(channels), mTabOpen(std::move(tabOpen)) {}

QString TourViewing::key(const QString& ChannelID) { return CaseKey(ChannelID); }

void TourViewing::Hold(const QString& ChannelID) {
    const QString k = key(ChannelID);
    if (mHolds[k]++ > 0) return;
    clsChannel* channel = mChannels.Channel(ChannelID);
    if (!channel || (channel->ViewFlag() & kNormalViewFlag)) return;
    mSwitchedOn.insert(k);
    channel->ViewControl(clsChannel::NormalViewOpen, QString());
}

void TourViewing::Release(const QString& ChannelID) {
    const QString k = key(ChannelID);
    const auto holds = mHolds.find(k);
    if (holds == mHolds.end() || --*holds > 0) return;
    mHolds.erase(holds);
    if (!mSwitchedOn.remove(k) || (mTabOpen && mTabOpen(ChannelID))) return;
    if (clsChannel* channel = mChannels.Channel(ChannelID))
        channel->ViewControl(clsChannel::NormalViewClose, QString());
}

int NextTourMember(const QList<bool>& eligible, int from, int direction) {
    const int n = int(eligible.size());
    if (n == 0) return -1;
    const int step = direction < 0 ? -1 : 1;
    const int start = from >= 0 && from < n ? from : (step > 0 ? -1 : n);
    for (int k = 1; k <= n; ++k) {
        const int i = ((start + step * k) % n + n) % n;
        if (eligible[i]) return i;
    }
    return -1;
}

FolderTour::FolderTour(const Context& context, const QString& MultiMonitorID, QObject* parent)
    : QObject(parent), mContext(context), mMultiMonitorID(MultiMonitorID) {}

FolderTour::~FolderTour() {
    // Normal viewing goes back without telling views that are going too.
    const QSignalBlocker quiet(this);
    Stop();
}

void FolderTour::Start() {
    if (mRunning) return;
    mRunning = true;
    mPaused = false;
    advance(1);
    emit Changed();
}

void FolderTour::Stop() {
    if (!mRunning) return;
    mRunning = false;
    if (!mCurrent.isEmpty() && mContext.Viewing) mContext.Viewing->Release(mCurrent);
    mCurrent.clear();
    emit Changed();
}

void FolderTour::Tick() {
    if (!mRunning) return;
    const clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(mMultiMonitorID) : nullptr;
    // Waiting on the grid, or the member on screen has left the folder:
    // look for one at once.
    if (mCurrent.isEmpty() || !folder || !folder->IsRegistedChannel(mCurrent)) return advance(1);
    if (mPaused) return;
    const int seconds = mContext.Seconds ? qMax(1, mContext.Seconds()) : 1;
    if (++mElapsed >= seconds) advance(1);
}

void FolderTour::Step(int direction) {
    if (mRunning) advance(direction);
}

void FolderTour::SetPaused(bool paused) {
    if (!mRunning || paused == mPaused) return;
    mPaused = paused;
    emit Changed();
}

bool FolderTour::eligible(const QString& ChannelID) const {
    const clsChannel* channel = mContext.Channels ? mContext.Channels->Channel(ChannelID) : nullptr;
    return channel && channel->IsOnBroadcast() && !(mContext.Failing && mContext.Failing->IsFailing(ChannelID));
}

void FolderTour::advance(int direction) {
    const clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(mMultiMonitorID) : nullptr;
    const QStringList members = folder ? folder->Members() : QStringList();
    QList<bool> ok;
    for (const QString& id : members) ok << eligible(id);
    // From the member on screen, or where the tour stood before it waited.
    const int next = NextTourMember(ok, int(members.indexOf(mCurrent.isEmpty() ? mLast : mCurrent)), direction);
    mElapsed = 0;
    show(next < 0 ? QString() : members[next]);
}

void FolderTour::show(const QString& ChannelID) {
    if (ChannelID == mCurrent) return;
    if (!mCurrent.isEmpty() && mContext.Viewing) mContext.Viewing->Release(mCurrent);
    mCurrent = ChannelID;
    if (!ChannelID.isEmpty()) {
        mLast = ChannelID;
        if (mContext.Viewing) mContext.Viewing->Hold(ChannelID);
    }
    emit Changed();
}
