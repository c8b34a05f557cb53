#include "watch/ChannelWatch.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"

#include <QElapsedTimer>

#include <utility>

namespace {

// The name the updater gives a channel whose information file it has not read.
const QString kUnnamedChannel = QStringLiteral("チャンネル名 未取得");

qint64 monotonicMs() {
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

}  // namespace

ChannelWatch::ChannelWatch(clsChannelManeger& channels, Clock clock, WallClock wall, QObject* parent)
    : QObject(parent),
      mChannels(channels),
      mClock(clock ? std::move(clock) : Clock(&monotonicMs)),
      mWall(wall ? std::move(wall) : WallClock([] { return QDateTime::currentDateTime(); })) {
    // What the lists made before the watch began.
    for (int i = 1; i <= mChannels.ChannelCount(); ++i) {
        const clsChannel* channel = mChannels.ChannelAt(i);
        if (channel->BelongFavarite() || channel->ViewFlag() != 0) viewChanged(channel->ChannelID());
    }
    using M = clsChannelManeger;
    connect(&mChannels, &M::ChannelControlRefresh, this, [this](const QString& id, int, const QStringList&) {
        if (!id.isEmpty()) viewChanged(id);
    });
    connect(&mChannels, &M::AddChannelToFavarite, this, &ChannelWatch::favoriteChanged);
    connect(&mChannels, &M::RemoveChannelFromFavarite, this, &ChannelWatch::favoriteChanged);
    connect(&mChannels, &M::ChannelStatusRefresh, this, &ChannelWatch::statusRead);
    connect(&mChannels, &M::RequestOutcome, this, &ChannelWatch::outcome);
}

ChannelWatch::Entry& ChannelWatch::entry(const QString& ChannelID) { return mEntries[CaseKey(ChannelID)]; }

const ChannelWatch::Entry* ChannelWatch::find(const QString& ChannelID) const {
    const auto it = mEntries.constFind(CaseKey(ChannelID));
    return it == mEntries.cend() ? nullptr : &*it;
}

bool ChannelWatch::IsTracked(const QString& ChannelID) const {
    const Entry* e = find(ChannelID);
    return e && e->Tracked;
}

void ChannelWatch::updateTracking(const clsChannel& channel, Entry& e) {
    const bool track = e.Record.Viewed() || channel.BelongFavarite();
    if (track == e.Tracked) return;
    e.Tracked = track;
    if (track)
        mTracked << channel.ChannelID();
    else
        mTracked.removeOne(channel.ChannelID());
}

void ChannelWatch::viewChanged(const QString& ChannelID) {
    const clsChannel* channel = mChannels.Channel(ChannelID);
    if (!channel) return;
    Entry& e = entry(ChannelID);
    if (channel->ViewFlag() != 0) {
        e.Record.ViewStarted(mClock());
    } else {
        if (e.Record.Viewed()) mViewEnded << channel->ChannelID();
        e.Record.ViewEnded();
    }
    updateTracking(*channel, e);
}

void ChannelWatch::favoriteChanged(const QString& ChannelID) {
    if (const clsChannel* channel = mChannels.Channel(ChannelID)) updateTracking(*channel, entry(ChannelID));
}

void ChannelWatch::statusRead(const QString& ChannelID) {
    if (const clsChannel* channel = mChannels.Channel(ChannelID))
        statusBecame(ChannelID, entry(ChannelID), channel->Status());
}

void ChannelWatch::statusBecame(const QString& ChannelID, Entry& e, int status) {
    const int before = e.Record.Status;
    e.Record.StatusRead(status);
    succeeded(ChannelID, e);
    // The first status read is where the watch starts from, not a change.
    const clsChannel* channel = mChannels.Channel(ChannelID);
    if (before >= 0 && before != 0 && status == 0 && channel && channel->BelongFavarite())
        emit WentOnAir(channel->ChannelID());
}

void ChannelWatch::succeeded(const QString& ChannelID, Entry& e) {
    if (!e.FailureAnnounced) return;
    e.FailureAnnounced = false;
    emit Recovered(ChannelID);
}

void ChannelWatch::outcome(const QString& ChannelID, const ChannelOutcome& Outcome) {
    const clsChannel* channel = mChannels.Channel(ChannelID);
    if (!channel) return;
    Entry& e = entry(ChannelID);
    switch (Outcome.What) {
        case ChannelOutcome::InfoRead:
            e.InfoName = channel->Infomation().ChannelName;
            e.InfoComment = channel->Infomation().CommentforChannel;
            break;
        case ChannelOutcome::PictureRead:
            e.Record.PictureRead(Outcome.Picture, mClock(), mWall());
            succeeded(ChannelID, e);
            break;
        case ChannelOutcome::Refused:
        case ChannelOutcome::Failed:
            e.Record.Failed(Outcome.Text, mClock(), mWall());
            break;
        case ChannelOutcome::Received:
            e.Record.BytesReceived += Outcome.Bytes;
            break;
        case ChannelOutcome::Saved:
            ++e.Record.PicturesSaved;
            break;
    }
}

void ChannelWatch::WatchedInfoRead(const QString& ChannelID, int status, const QString& name, const QString& comment) {
    Entry& e = entry(ChannelID);
    e.InfoName = name;
    e.InfoComment = comment;
    statusBecame(ChannelID, e, status);
}

void ChannelWatch::WatchedFailed(const QString& ChannelID, const QString& text) {
    // Only the health view's column: the channel's own requests decide
    // whether it is failing.
    Entry& e = entry(ChannelID);
    e.Record.LastFailureText = text;
    e.Record.LastFailureWall = mWall();
}

QString ChannelWatch::InfoName(const QString& ChannelID) const {
    const Entry* e = find(ChannelID);
    return e ? e->InfoName : QString();
}

QString ChannelWatch::InfoComment(const QString& ChannelID) const {
    const Entry* e = find(ChannelID);
    return e ? e->InfoComment : QString();
}

void ChannelWatch::Tick() {
    const qint64 now = mClock();
    const QStringList ids = mTracked;  // a handler may open or close a view
    for (const QString& id : ids) {
        Entry& e = entry(id);
        const ConditionRecord& r = e.Record;
        if (!r.Viewed() || r.ConsecutiveFailures == 0 || e.FailureAnnounced) continue;
        if (now - r.FailingSince < mFailureNoticeMs) continue;
        e.FailureAnnounced = true;
        emit FailingLong(id);
    }
    tellChanges();
}

void ChannelWatch::tellChanges() {
    // Only a viewed channel has a condition other than NotViewed: those are
    // looked at, and those whose view ended. The others cost nothing.
    QStringList changed;
    auto look = [&](const QString& id) {
        Entry& e = entry(id);
        const Condition now = Now(id).What;
        if (now == e.Told) return;
        e.Told = now;
        changed << id;
    };
    const QStringList ended = std::exchange(mViewEnded, {});
    for (const QString& id : ended) look(id);
    for (const QString& id : mTracked)
        if (const Entry* e = find(id); e && e->Record.Viewed()) look(id);
    if (!changed.isEmpty()) emit ConditionsChanged(changed);
}

ConditionNow ChannelWatch::Now(const QString& ChannelID) const {
    const Entry* e = find(ChannelID);
    const clsChannel* channel = e ? mChannels.Channel(ChannelID) : nullptr;
    if (!channel) return ConditionNow();
    ConditionFacts facts;
    facts.HasPicture = channel->PictureType() != PictureKind::None;
    facts.ReloadSeconds =
        channel->PictureInfo().ReloadTime != -1 ? channel->PictureInfo().ReloadTime : channel->Infomation().ReloadTime;
    return Evaluate(e->Record, facts, mClock());
}

ChannelHealth ChannelWatch::Health(const QString& ChannelID) const {
    ChannelHealth h;
    const clsChannel* channel = mChannels.Channel(ChannelID);
    if (!channel) return h;
    h.ChannelID = channel->ChannelID();
    h.Favorite = channel->BelongFavarite();
    h.Name = channel->ChannelName();
    const Entry* e = find(ChannelID);
    if (!e) return h;
    if ((h.Name.isEmpty() || h.Name == kUnnamedChannel) && !e->InfoName.isEmpty()) h.Name = e->InfoName;
    h.Now = Now(ChannelID);
    h.LastNewPicture = e->Record.LastNewPictureWall;
    h.ConsecutiveFailures = e->Record.ConsecutiveFailures;
    h.LastFailureAt = e->Record.LastFailureWall;
    h.BytesReceived = e->Record.BytesReceived;
    h.PicturesSaved = e->Record.PicturesSaved;
    return h;
}
