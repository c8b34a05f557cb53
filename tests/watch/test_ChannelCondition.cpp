// The condition rules on a fake clock: each row is what a channel went
// through, second by second, and what it is at the end.

#include <gtest/gtest.h>

#include "Rows.h"
#include "watch/ChannelCondition.h"
#include "watch/ConditionOverlay.h"

#include <vector>

namespace {

// One step at a second: V view, U unview, S<n> status n read, P<x> picture
// of bytes x accepted, F<text> a failure.
struct Step {
    int at;
    const char* what;
};

struct ConditionRow {
    const char* name;
    std::vector<Step> steps;
    int now;  // seconds, when asked
    bool hasPicture;
    int reload;
    Condition expected;
    int quietOrAge;  // Stale: seconds quiet; Live: picture age; else ignored
    int failures;
    const char* failureText;  // the last failure kept, "" for none
    int failingSince = -1;    // the second a failure notice counts from
};

ConditionNow run(const ConditionRow& row, ConditionRecord& r) {
    for (const Step& s : row.steps) {
        const qint64 ms = qint64(s.at) * 1000;
        const QString arg = QString::fromUtf8(s.what + 1);
        switch (s.what[0]) {
            case 'V':
                r.ViewStarted(ms);
                break;
            case 'U':
                r.ViewEnded();
                break;
            case 'S':
                r.StatusRead(arg.toInt());
                break;
            case 'P':
                r.PictureRead(arg.toUtf8(), ms, QDateTime());
                break;
            case 'F':
                r.Failed(arg, ms, QDateTime());
                break;
        }
    }
    return Evaluate(r, {row.hasPicture, row.reload}, qint64(row.now) * 1000);
}

class ConditionTable : public ::testing::TestWithParam<ConditionRow> {};

TEST_P(ConditionTable, FollowsWhatTheChannelWentThrough) {
    const ConditionRow& row = GetParam();
    ConditionRecord record;
    const ConditionNow now = run(row, record);
    EXPECT_EQ(ConditionWord(now.What), ConditionWord(row.expected));
    if (row.expected == Condition::Stale) {
        EXPECT_EQ(now.QuietMs / 1000, row.quietOrAge);
    } else if (row.expected == Condition::Live) {
        EXPECT_EQ(now.PictureAgeMs / 1000, row.quietOrAge);
    }
    EXPECT_EQ(record.ConsecutiveFailures, row.failures);
    EXPECT_EQ(now.FailureText, QString::fromUtf8(row.failureText));
    EXPECT_EQ(record.FailingSince < 0 ? -1 : record.FailingSince / 1000, row.failingSince);
}

const ConditionRow kConditions[] = {
    {"NeverViewed", {{0, "S0"}, {1, "Pa"}}, 5, true, 5, Condition::NotViewed, 0, 0, ""},
    {"ViewedNothingReadYet", {{0, "V"}}, 20, false, 5, Condition::Waiting, 0, 0, ""},
    {"StatusUnknownForLongStillWaits", {{0, "V"}}, 500, false, 5, Condition::Waiting, 0, 0, ""},
    {"BroadcastingNoPictureYet", {{0, "V"}, {1, "S0"}}, 20, false, 5, Condition::Waiting, 0, 0, ""},
    {"NewPictureWithinItsTime", {{0, "V"}, {1, "S0"}, {2, "Pa"}}, 12, true, 5, Condition::Live, 10, 0, ""},
    // The publisher keeps answering with the same frame: stale all the same.
    {"StaleByUnchangedBytes",
     {{0, "V"}, {0, "S0"}, {1, "Pa"}, {11, "Pa"}, {21, "Pa"}, {31, "Pa"}},
     32,
     true,
     5,
     Condition::Stale,
     31,
     0,
     ""},
    {"ChangedBytesKeepItLive",
     {{0, "V"}, {0, "S0"}, {1, "Pa"}, {11, "Pa"}, {21, "Pb"}, {31, "Pb"}},
     32,
     true,
     5,
     Condition::Live,
     11,
     0,
     ""},
    {"SameLengthOtherBytesAreNew",
     {{0, "V"}, {0, "S0"}, {1, "Pab"}, {25, "Pba"}},
     40,
     true,
     5,
     Condition::Live,
     15,
     0,
     ""},
    {"ThirtySecondsAtLeast", {{0, "V"}, {0, "S0"}, {0, "Pa"}}, 30, true, 2, Condition::Live, 30, 0, ""},
    {"ThirtyOneSecondsIsStale", {{0, "V"}, {0, "S0"}, {0, "Pa"}}, 31, true, 2, Condition::Stale, 31, 0, ""},
    {"ThreeReloadTimesWhenLonger", {{0, "V"}, {0, "S0"}, {0, "Pa"}}, 60, true, 20, Condition::Live, 60, 0, ""},
    {"BeyondThreeReloadTimes", {{0, "V"}, {0, "S0"}, {0, "Pa"}}, 61, true, 20, Condition::Stale, 61, 0, ""},
    {"NoPictureForTooLong", {{0, "V"}, {0, "S0"}}, 45, false, 5, Condition::Stale, 45, 0, ""},
    // An old picture is not held against a view that has just begun.
    {"QuietCountsFromTheView",
     {{0, "V"}, {0, "S0"}, {1, "Pa"}, {5, "U"}, {100, "V"}},
     110,
     true,
     5,
     Condition::Live,
     109,
     0,
     ""},
    {"Resting", {{0, "V"}, {0, "S1"}, {1, "Pa"}}, 200, true, 5, Condition::OffAir, 0, 0, ""},
    {"NoInformation", {{0, "V"}, {0, "S3"}}, 200, false, 5, Condition::OffAir, 0, 0, ""},
    {"StatusOutsideTheWords", {{0, "V"}, {0, "S7"}}, 200, false, 5, Condition::OffAir, 0, 0, ""},
    {"FailingWithAnOldPicture",
     {{0, "V"}, {0, "S0"}, {1, "Pa"}, {6, "FHTTP/1.1 404 Not Found"}},
     7,
     true,
     5,
     Condition::Failing,
     0,
     1,
     "HTTP/1.1 404 Not Found",
     6},
    {"FailuresCountAndKeepTheLastText",
     {{0, "V"}, {1, "Fサーバーが見つかりません"}, {61, "Fタイムアウトしました"}},
     62,
     false,
     5,
     Condition::Failing,
     0,
     2,
     "タイムアウトしました",
     1},
    {"FailingBeforeOffAir",
     {{0, "V"}, {0, "S2"}, {5, "F接続が拒否されました"}},
     6,
     false,
     5,
     Condition::Failing,
     0,
     1,
     "接続が拒否されました",
     5},
    // A failure met before a view began counts towards a notice from the view on.
    {"AFailureBeforeTheViewCountsFromTheView",
     {{0, "V"}, {0, "S0"}, {5, "F接続が拒否されました"}, {6, "U"}, {100, "V"}},
     101,
     false,
     5,
     Condition::Failing,
     0,
     1,
     "接続が拒否されました",
     100},
    // Recovery: one answer read clears the failures; the last text stays for the record.
    {"RecoveredByInformation",
     {{0, "V"}, {0, "S0"}, {1, "Pa"}, {5, "F接続が拒否されました"}, {10, "S1"}},
     11,
     true,
     5,
     Condition::OffAir,
     0,
     0,
     "接続が拒否されました"},
    {"RecoveredByANewPicture",
     {{0, "V"}, {0, "S0"}, {1, "Pa"}, {5, "F画像が正しくありません"}, {10, "Pb"}},
     11,
     true,
     5,
     Condition::Live,
     1,
     0,
     "画像が正しくありません"},
    {"StaleUntilANewPictureComes",
     {{0, "V"}, {0, "S0"}, {0, "Pa"}, {40, "Pa"}, {41, "Pc"}},
     42,
     true,
     5,
     Condition::Live,
     1,
     0,
     ""},
};
VANTORA_ROWS(ConditionTable, kConditions);

TEST(ConditionTexts, DurationsAndWhatABoxShows) {
    const std::pair<qint64, const char*> durations[] = {
        {-5, "0秒"},         {8'999, "8秒"},       {59'999, "59秒"},       {60'000, "1分"},
        {3'599'999, "59分"}, {3'600'000, "1時間"}, {86'399'999, "23時間"}, {86'400'000, "1日"}};
    for (const auto& [ms, text] : durations) EXPECT_EQ(DurationText(ms), QString::fromUtf8(text)) << ms;

    struct Look {
        Condition what;
        int status;
        qint64 ageMs, quietMs;
        bool picture;
        const char* shown;  // style, then "dim" and "whole" when they apply, then the words
    };
    const Look looks[] = {
        {Condition::Live, 0, 8'000, 0, true, "age 8秒前"},
        {Condition::Waiting, 0, -1, 0, false, "waiting whole 受信待ち"},
        {Condition::Waiting, -1, -1, 0, true, "none"},
        {Condition::OffAir, 1, 5'000, 0, true, "offair 休止中"},
        {Condition::OffAir, 2, -1, 0, false, "offair whole 中止中"},
        {Condition::OffAir, 9, -1, 0, false, "offair whole 情報なし"},
        {Condition::Stale, 0, 180'000, 180'000, true, "stale dim 更新なし 3分"},
        {Condition::Stale, 0, -1, 45'000, false, "stale whole 更新なし 45秒"},
        {Condition::Failing, 0, 9'000, 0, true, "failing dim whole 失敗 / x"},
        {Condition::Failing, 0, -1, 0, false, "failing whole 失敗 / x"},
        {Condition::NotViewed, 0, 1'000, 0, true, "none"},
    };
    const char* styles[] = {"none", "age", "offair", "stale", "failing", "waiting"};
    for (const Look& l : looks) {
        ConditionNow now;
        now.What = l.what;
        now.Status = l.status;
        now.PictureAgeMs = l.ageMs;
        now.QuietMs = l.quietMs;
        now.FailureText = QStringLiteral("x");
        const BoxLook look = LookFor(now, l.picture);
        QString shown = QString::fromLatin1(styles[look.What]);
        if (look.Dim) shown += QStringLiteral(" dim");
        if (look.Placeholder) shown += QStringLiteral(" whole");
        if (!look.Text.isEmpty()) shown += QLatin1Char(' ') + look.Text;
        if (!look.Detail.isEmpty()) shown += QStringLiteral(" / ") + look.Detail;
        EXPECT_EQ(shown, QString::fromUtf8(l.shown)) << ConditionWord(l.what).toStdString() << " " << l.picture;
    }
}

}  // namespace
