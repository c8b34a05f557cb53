#include "watch/ChannelCondition.h"

#include <QHash>

#include <algorithm>

QString ConditionWord(Condition condition) {
    switch (condition) {
        case Condition::NotViewed:
            return QStringLiteral("閲覧停止中");
        case Condition::Waiting:
            return QStringLiteral("受信待ち");
        case Condition::Live:
            return QStringLiteral("放送中");
        case Condition::OffAir:
            return QStringLiteral("休止中");
        case Condition::Failing:
            return QStringLiteral("失敗");
        case Condition::Stale:
            return QStringLiteral("更新なし");
    }
    return QString();
}

QString DurationText(qint64 ms) {
    const qint64 s = std::max<qint64>(0, ms / 1000);
    if (s < 60) return QStringLiteral("%1秒").arg(s);
    if (s < 3600) return QStringLiteral("%1分").arg(s / 60);
    if (s < 86400) return QStringLiteral("%1時間").arg(s / 3600);
    return QStringLiteral("%1日").arg(s / 86400);
}

qint64 StaleAfterMs(int reloadSeconds) { return std::max<qint64>(3LL * std::max(reloadSeconds, 0), 30) * 1000; }

void ConditionRecord::ViewStarted(qint64 now) {
    if (Viewed()) return;
    ViewedSince = now;
    // A failure from before the view does not count towards a notice.
    if (FailingSince >= 0) FailingSince = now;
}

void ConditionRecord::StatusRead(int status) {
    Status = status;
    succeeded();
}

bool ConditionRecord::PictureRead(const QByteArray& bytes, qint64 now, const QDateTime& wall) {
    succeeded();
    const size_t hash = qHash(bytes);
    if (mPictureSize == bytes.size() && mPictureHash == hash) return false;
    mPictureSize = bytes.size();
    mPictureHash = hash;
    LastNewPictureAt = now;
    LastNewPictureWall = wall;
    return true;
}

void ConditionRecord::Failed(const QString& text, qint64 now, const QDateTime& wall) {
    ++ConsecutiveFailures;
    if (FailingSince < 0) FailingSince = now;
    LastFailureText = text;
    LastFailureWall = wall;
}

void ConditionRecord::succeeded() {
    ConsecutiveFailures = 0;
    FailingSince = -1;
}

ConditionNow Evaluate(const ConditionRecord& record, const ConditionFacts& facts, qint64 now) {
    ConditionNow c;
    c.Status = record.Status;
    c.FailureText = record.LastFailureText;
    if (record.LastNewPictureAt >= 0) c.PictureAgeMs = now - record.LastNewPictureAt;
    if (!record.Viewed()) return c;
    if (record.ConsecutiveFailures > 0) {
        c.What = Condition::Failing;
        return c;
    }
    if (record.Status < 0) {  // nothing read yet
        c.What = Condition::Waiting;
        return c;
    }
    if (record.Status != 0) {  // a status outside 0..3 is no broadcast either
        c.What = Condition::OffAir;
        return c;
    }
    // A picture from before this view began is not held against it.
    c.QuietMs = now - std::max(record.LastNewPictureAt, record.ViewedSince);
    if (c.QuietMs > StaleAfterMs(facts.ReloadSeconds))
        c.What = Condition::Stale;
    else
        c.What = facts.HasPicture ? Condition::Live : Condition::Waiting;
    return c;
}
