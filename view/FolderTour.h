#pragma once
// The tour of a folder: its members shown one at a time, each for a number
// of one-second ticks, in member order, skipping members that are off the
// air or failing; when every member is, the tour waits (its view shows the
// grid) and looks again at every tick. The member on screen is in normal
// view, so its full picture is fetched as when its own tab is open; the
// others keep their thumbnail view. A tour knows nothing of widgets: its
// views paint Current() and follow Changed().

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class clsChannelManeger;
class clsMultiMonitorManeger;

// Channels whose latest request failed (information file or picture not
// fetched, or an answer of the wrong kind), until a picture of theirs is
// shown again. A channel passes through its failed state into waiting at
// once, so the state is caught as the channel announces it.
class FailingChannels : public QObject {
    Q_OBJECT
public:
    explicit FailingChannels(clsChannelManeger& channels, QObject* parent = nullptr);
    bool IsFailing(const QString& ChannelID) const;

private:
    clsChannelManeger& mChannels;
    QSet<QString> mFailing;  // CaseKey
};

// Normal viewing that tours switch on, shared by every tour: a channel not
// yet in normal view is switched on by the first tour that shows it and off
// again when the last one leaves it, unless its tab has been opened since.
// A channel that was in normal view before (its tab is open) is left alone.
class TourViewing {
public:
    TourViewing(clsChannelManeger& channels, std::function<bool(const QString& ChannelID)> tabOpen);
    void Hold(const QString& ChannelID);
    void Release(const QString& ChannelID);
    int Holds(const QString& ChannelID) const { return mHolds.value(key(ChannelID)); }

private:
    static QString key(const QString& ChannelID);
    clsChannelManeger& mChannels;
    std::function<bool(const QString&)> mTabOpen;
    QHash<QString, int> mHolds;
    QSet<QString> mSwitchedOn;
};

// The member to show next: from index from (-1: before the first) one step
// in direction (+1 or -1), wrapping, the first eligible one; -1 when none
// is. Only from itself, when eligible, is found after a full turn.
int NextTourMember(const QList<bool>& eligible, int from, int direction);

class FolderTour : public QObject {
    Q_OBJECT
public:
    struct Context {
        clsChannelManeger* Channels = nullptr;
        clsMultiMonitorManeger* Folders = nullptr;
        const FailingChannels* Failing = nullptr;
        TourViewing* Viewing = nullptr;
        std::function<int()> Seconds;  // read at every tick: a new setting takes effect at once
    };
    FolderTour(const Context& context, const QString& MultiMonitorID, QObject* parent = nullptr);
    ~FolderTour() override;

    // Shows the first eligible member (or waits); Stop gives normal viewing back.
    void Start();
    void Stop();
    bool Running() const { return mRunning; }

    // One delivered second. While paused the member on screen stays.
    void Tick();
    // The next (+1) or previous (-1) eligible member now; its time starts anew.
    void Step(int direction);
    void SetPaused(bool paused);
    bool Paused() const { return mPaused; }

    QString MultiMonitorID() const { return mMultiMonitorID; }
    // The channel on screen; empty while the tour waits on the grid.
    QString Current() const { return mCurrent; }
    int Elapsed() const { return mElapsed; }

signals:
    void Changed();

private:
    bool eligible(const QString& ChannelID) const;
    void advance(int direction);
    void show(const QString& ChannelID);

    Context mContext;
    QString mMultiMonitorID;
    QString mCurrent;
    QString mLast;  // the member shown last, where a waiting tour goes on from
    bool mRunning = false;
    bool mPaused = false;
    int mElapsed = 0;
};
