#pragma once
// A channel's condition at a glance, from what the viewer already knows: the
// outcome of its requests, the broadcast status it read, and whether its
// picture has changed. Pure: times are milliseconds of a monotonic clock that
// the caller passes in, so the rules are tested with a fake clock.

#include <QByteArray>
#include <QDateTime>
#include <QString>

enum class Condition {
    NotViewed,  // no view shows it
    Waiting,    // viewed, no picture yet
    Live,       // a new picture arrived within the expected time
    OffAir,     // status 休止中, 中止中 or 情報なし
    Failing,    // its last request failed; LastFailureText says why
    Stale,      // viewed, broadcasting, and no new picture for too long
};

// The word for a condition; the status bar counts and the health view use it.
QString ConditionWord(Condition condition);
// "8秒", "3分", "2時間", "4日": the largest unit that fits.
QString DurationText(qint64 ms);
// Silence after which a broadcasting channel counts as stale:
// max(3 × reload time, 30 s).
qint64 StaleAfterMs(int reloadSeconds);

// What a channel's condition is built from, besides the facts read from the
// channel itself.
struct ConditionRecord {
    int Status = -1;          // broadcast status last read; -1 before any
    qint64 ViewedSince = -1;  // -1 while no view shows the channel
    qint64 LastNewPictureAt = -1;
    QDateTime LastNewPictureWall;
    int ConsecutiveFailures = 0;
    qint64 FailingSince = -1;  // the first failure of the present run
    QString LastFailureText;
    QDateTime LastFailureWall;
    qint64 BytesReceived = 0;
    int PicturesSaved = 0;

    bool Viewed() const { return ViewedSince >= 0; }

    void ViewStarted(qint64 now);
    void ViewEnded() { ViewedSince = -1; }
    void StatusRead(int status);
    // True when the bytes differ from the last accepted picture's.
    bool PictureRead(const QByteArray& bytes, qint64 now, const QDateTime& wall);
    void Failed(const QString& text, qint64 now, const QDateTime& wall);

private:
    void succeeded();

    size_t mPictureHash = 0;
    qsizetype mPictureSize = -1;
};

// Read from the channel when the condition is asked for.
struct ConditionFacts {
    bool HasPicture = false;  // its boxes hold a picture
    int ReloadSeconds = -1;   // the picture's reload time, else the information file's
};

struct ConditionNow {
    Condition What = Condition::NotViewed;
    qint64 PictureAgeMs = -1;  // since the last new picture; -1 without one
    qint64 QuietMs = 0;        // Stale: since the last new picture, or since viewing began
    int Status = -1;
    QString FailureText;
};

ConditionNow Evaluate(const ConditionRecord& record, const ConditionFacts& facts, qint64 now);
