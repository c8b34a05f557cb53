#pragma once
// The condition of every channel that a view shows, and of the favourites:
// listens to the channel manager's events beside the window's handlers,
// keeps a ConditionRecord per channel, and says when a favourite goes on
// air, when a shown channel has been failing for long, and when it answers
// again. It never asks anything of the channels' fetch cycle.

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "channel/ChannelOutcome.h"
#include "watch/ChannelCondition.h"

class clsChannel;
class clsChannelManeger;

// One channel as the health view and the tool tips show it.
struct ChannelHealth {
    QString ChannelID;
    QString Name;  // the list's name, or the information file's for the updater's placeholder
    bool Favorite = false;
    ConditionNow Now;
    QDateTime LastNewPicture;
    int ConsecutiveFailures = 0;
    QDateTime LastFailureAt;
    qint64 BytesReceived = 0;
    int PicturesSaved = 0;
};

class ChannelWatch : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<qint64()>;  // milliseconds, monotonic
    using WallClock = std::function<QDateTime()>;

    // Without clocks, the system's.
    explicit ChannelWatch(clsChannelManeger& channels, Clock clock = {}, WallClock wall = {},
                          QObject* parent = nullptr);

    qint64 NowMs() const { return mClock(); }

    // The channels a view shows and the favourites, in the order they came.
    const QStringList& Tracked() const { return mTracked; }
    bool IsTracked(const QString& ChannelID) const;
    ConditionNow Now(const QString& ChannelID) const;
    ChannelHealth Health(const QString& ChannelID) const;

    // How long a shown channel fails before FailingLong.
    void setFailureNoticeMs(qint64 ms) { mFailureNoticeMs = ms; }
    // Once a tick: announces the failures that have lasted, and tells whose
    // condition has changed since the last tick.
    void Tick();

    // What the favourite watch read for a favourite that no view shows.
    void WatchedInfoRead(const QString& ChannelID, int status, const QString& name, const QString& comment);
    void WatchedFailed(const QString& ChannelID, const QString& text);
    // The information file's name and comment as last read.
    QString InfoName(const QString& ChannelID) const;
    QString InfoComment(const QString& ChannelID) const;

signals:
    void WentOnAir(const QString& ChannelID);    // a favourite's status became 放送中
    void FailingLong(const QString& ChannelID);  // a shown channel has failed for the notice time
    void Recovered(const QString& ChannelID);    // ... and has answered again since
    // From Tick, when any has changed: the channels whose condition is not
    // the one the last tick told (time alone makes a channel stale).
    void ConditionsChanged(const QStringList& ChannelIDs);

private:
    struct Entry {
        ConditionRecord Record;
        QString InfoName, InfoComment;
        bool FailureAnnounced = false;
        bool Tracked = false;
        Condition Told = Condition::NotViewed;  // as the last tick told it
    };

    void viewChanged(const QString& ChannelID);
    void favoriteChanged(const QString& ChannelID);
    void statusRead(const QString& ChannelID);
    void outcome(const QString& ChannelID, const ChannelOutcome& Outcome);
    void statusBecame(const QString& ChannelID, Entry& e, int status);
    void succeeded(const QString& ChannelID, Entry& e);
    void updateTracking(const clsChannel& channel, Entry& e);
    void tellChanges();
    Entry& entry(const QString& ChannelID);
    const Entry* find(const QString& ChannelID) const;

    clsChannelManeger& mChannels;
    Clock mClock;
    WallClock mWall;
    QHash<QString, Entry> mEntries;  // by CaseKey
    QStringList mTracked;
    // Channels whose view ended since the last tick: no longer viewed, they
    // may no longer be tracked either.
    QStringList mViewEnded;
    qint64 mFailureNoticeMs = 2 * 60 * 1000;
};
