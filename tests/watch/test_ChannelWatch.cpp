// The watch on the real channel engine (a real server, real transfers): what
// each kind of failure reads as, what is counted, which channels are
// watched, when a favourite goes on air and when failures are announced,
// and the favourite watch's information-only requests. Time is a fake clock.

#include "ChannelRig.h"
#include "Rows.h"
#include "watch/ChannelWatch.h"
#include "watch/FavoriteWatch.h"

#include <QSignalSpy>

namespace {

QString path(const QString& id, const char* file) { return QStringLiteral("/%1/%2").arg(id, QLatin1String(file)); }

// The bytes of ch's information file as ChannelRig::publish writes it.
QByteArray infoBytes(ChannelSite& site, int reload, int status) {
    return InfoFile{"ch", site.url("/ch/full.jpg"), site.url("/ch/thumb.jpg"), reload, status}.bytes();
}

class WatchTest : public ::testing::Test {
protected:
    qint64 nowMs = 1'000'000;
    ChannelSite site;
    ChannelRig rig;
    ChannelWatch watch{*rig.manager, [this] { return nowMs; },
                       [this] { return QDateTime(QDate(2026, 12, 6), QTime(12, 0)).addMSecs(nowMs); }};

    clsChannel* open(clsChannel* channel) {
        channel->ViewControl(clsChannel::NormalViewOpen, QString());
        return channel;
    }
    // Ticks (and lets answers arrive) until the channel has asked again and settled.
    // Another channel's request on the same site does not count: the
    // channel would still be waiting for its own cycle.
    bool nextCycle(clsChannel* channel) {
        const qsizetype before = requestsOf(channel->ChannelID()).size();
        return QTest::qWaitFor(
                   [&] {
                       if (requestsOf(channel->ChannelID()).size() == before) rig.tick();
                       return requestsOf(channel->ChannelID()).size() > before;
                   },
                   8000) &&
               ChannelRig::settle(channel);
    }
    QStringList requestsOf(const QString& id) const { return site.requests().filter("/" + id + "/"); }
};

// What a failure reads as: the status line, the transfer's Japanese text,
// or why the answer was refused.
struct FailureRow {
    const char* name;
    // Publishes what the channel meets; returns its information file's address.
    std::function<QString(ChannelSite&, ChannelRig&, const QString& id)> setUp;
    const char* text;
};
class FailureTexts : public WatchTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(FailureTexts, AreTheConditionsWords) {
    clsChannel* channel = open(rig.add("ch", GetParam().setUp(site, rig, "ch")));
    ASSERT_TRUE(ChannelRig::settle(channel));
    const ChannelHealth h = watch.Health(channel->ChannelID());
    EXPECT_EQ(ConditionWord(h.Now.What), ConditionWord(Condition::Failing));
    EXPECT_EQ(h.Now.FailureText, QString::fromUtf8(GetParam().text));
    EXPECT_EQ(h.ConsecutiveFailures, 1);
    EXPECT_EQ(h.LastFailureAt.time(), QTime(12, 0).addMSecs(int(nowMs)));
}

const QByteArray kJpeg = JpegFactory::make(64, 48);
QString infoOf(ChannelSite& s, const QString& id) { return s.url(path(id, "info.txt")); }
const FailureRow kFailures[] = {
    {"InfoNotFound", [](ChannelSite& s, ChannelRig&, const QString& id) { return infoOf(s, id); },
     "HTTP/1.1 404 Not Found"},
    {"PictureNotFound",
     [](ChannelSite& s, ChannelRig& r, const QString& id) {
         r.publish(s, id, 0, 5, kJpeg, [&](InfoFile& i) { i.url = s.url("/nowhere.jpg"); });
         return infoOf(s, id);
     },
     "HTTP/1.1 404 Not Found"},
    {"Refused", [](ChannelSite&, ChannelRig&, const QString&) { return QStringLiteral("http://127.0.0.1:1/i.txt"); },
     "接続が拒否されました"},
    {"InfoWithoutItsKeys",
     [](ChannelSite& s, ChannelRig&, const QString& id) {
         s.set(path(id, "info.txt"), {"hello", "text/plain", {}});
         return infoOf(s, id);
     },
     "情報ファイルが正しくありません"},
    {"PictureForTheInfo",
     [](ChannelSite& s, ChannelRig&, const QString& id) {
         s.picture(path(id, "info.txt"), kJpeg);
         return infoOf(s, id);
     },
     "情報ファイルではない応答です"},
    {"TextForThePicture",
     [](ChannelSite& s, ChannelRig& r, const QString& id) {
         r.publish(s, id, 0, 5);
         s.set(path(id, "full.jpg"), {"not a picture", "text/plain", {}});
         return infoOf(s, id);
     },
     "画像ではない応答です"},
    {"BrokenPicture",
     [](ChannelSite& s, ChannelRig& r, const QString& id) {
         r.publish(s, id, 0, 5, kJpeg.left(kJpeg.size() / 2));
         return infoOf(s, id);
     },
     "画像が正しくありません"},
};
VANTORA_ROWS(FailureTexts, kFailures);

// Bytes and saved pictures are counted; a picture whose bytes do not change
// goes stale, a new one is live again.
TEST_F(WatchTest, CountsWhatArrivesAndJudgesPicturesByTheirBytes) {
    // A second later at every save, so that no saved name repeats.
    rig.settings.Now = [n = 0]() mutable { return QDateTime(QDate(2026, 12, 6), QTime(9, 0)).addSecs(n++); };
    clsChannel* channel = open(rig.addPublished(site, "ch", 0, 1, kJpeg, /*savePicture=*/true));
    ASSERT_TRUE(ChannelRig::settle(channel));
    ChannelHealth h = watch.Health("ch");
    EXPECT_EQ(ConditionWord(h.Now.What), ConditionWord(Condition::Live));
    EXPECT_EQ(h.BytesReceived, infoBytes(site, 1, 0).size() + kJpeg.size());
    EXPECT_EQ(h.PicturesSaved, 1);
    const QDateTime first = h.LastNewPicture;

    for (int i = 0; i < 3; ++i) {  // the same frame again and again
        nowMs += 11'000;
        ASSERT_TRUE(nextCycle(channel));
    }
    h = watch.Health("ch");
    EXPECT_EQ(ConditionWord(h.Now.What), ConditionWord(Condition::Stale));
    EXPECT_EQ(h.Now.QuietMs, 33'000);
    EXPECT_EQ(h.LastNewPicture, first);
    EXPECT_EQ(h.BytesReceived, infoBytes(site, 1, 0).size() + 4 * kJpeg.size());

    site.picture("/ch/full.jpg", JpegFactory::make(64, 48, Qt::yellow));
    ASSERT_TRUE(nextCycle(channel));
    h = watch.Health("ch");
    EXPECT_EQ(ConditionWord(h.Now.What), ConditionWord(Condition::Live));
    EXPECT_EQ(h.Now.PictureAgeMs, 0);
    EXPECT_EQ(h.PicturesSaved, 5);
}

// The channels a view shows and the favourites, in the order they came.
TEST_F(WatchTest, WatchesTheShownChannelsAndTheFavourites) {
    for (const char* id : {"a", "b", "c"}) rig.addPublished(site, id, 1, 60);
    clsChannel* a = rig.manager->Channel("a");
    clsChannel* c = rig.manager->Channel("c");
    c->setBelongFavarite(true);
    open(a);
    a->ViewControl(clsChannel::ThumbnailViewOpen, "1");
    c->ViewControl(clsChannel::ThumbnailViewOpen, "1");
    EXPECT_EQ(watch.Tracked(), (QStringList{"c", "a"}));
    a->ViewControl(clsChannel::NormalViewClose, QString());
    EXPECT_EQ(watch.Tracked(), (QStringList{"c", "a"}));  // still in a folder's view
    a->ViewControl(clsChannel::ThumbnailViewClose, "1");
    c->ViewControl(clsChannel::ThumbnailViewClose, "1");
    EXPECT_EQ(watch.Tracked(), QStringList{"c"});
    EXPECT_EQ(ConditionWord(watch.Now("C").What), ConditionWord(Condition::NotViewed));
    c->setBelongFavarite(false);
    EXPECT_TRUE(watch.Tracked().isEmpty());
    // A watch begun after the lists were loaded finds their favourites.
    a->setBelongFavarite(true);
    ChannelWatch later(*rig.manager);
    EXPECT_EQ(later.Tracked(), QStringList{"a"});
}

// Only a favourite's change from another status to 放送中 is announced.
TEST_F(WatchTest, AFavouriteGoingOnAirIsAnnouncedOnce) {
    QSignalSpy onAir(&watch, &ChannelWatch::WentOnAir);
    clsChannel* fav = rig.addPublished(site, "fav", 1, 1);
    clsChannel* other = rig.addPublished(site, "other", 1, 1);
    clsChannel* already = rig.addPublished(site, "already", 0, 1);
    for (clsChannel* c : {fav, already}) c->setBelongFavarite(true);
    for (clsChannel* c : {fav, other, already}) ASSERT_TRUE(ChannelRig::settle(open(c)));
    EXPECT_EQ(onAir.count(), 0);  // a first reading is where the watch starts
    for (const char* id : {"fav", "other"}) rig.publish(site, id, 0, 1);
    for (clsChannel* c : {fav, other}) ASSERT_TRUE(nextCycle(c));
    ASSERT_TRUE(nextCycle(fav));  // still on air: no second announcement
    ASSERT_EQ(onAir.count(), 1);
    EXPECT_EQ(onAir.at(0).at(0).toString(), "fav");
}

// A shown channel failing for the notice time is announced once, and its
// recovery once; a failure that heals sooner is not.
TEST_F(WatchTest, LastingFailuresAndTheirRecoveryAreAnnouncedOnce) {
    QSignalSpy failing(&watch, &ChannelWatch::FailingLong);
    QSignalSpy recovered(&watch, &ChannelWatch::Recovered);
    watch.setFailureNoticeMs(120'000);
    clsChannel* channel = open(rig.add("ch", site.url("/ch/info.txt")));
    ASSERT_TRUE(ChannelRig::settle(channel));
    nowMs += 119'000;
    watch.Tick();
    EXPECT_EQ(failing.count(), 0);
    nowMs += 1'000;
    watch.Tick();
    watch.Tick();
    ASSERT_EQ(failing.count(), 1);
    EXPECT_EQ(failing.at(0).at(0).toString(), "ch");
    ASSERT_TRUE(nextCycle(channel));  // fails again: still one announcement
    watch.Tick();
    EXPECT_EQ(failing.count(), 1);
    EXPECT_EQ(watch.Health("ch").ConsecutiveFailures, 2);

    rig.publish(site, "ch", 0, 5);
    ASSERT_TRUE(nextCycle(channel));
    EXPECT_EQ(recovered.count(), 1);
    EXPECT_EQ(ConditionWord(watch.Now("ch").What), ConditionWord(Condition::Live));

    site.set("/ch/full.jpg", {"gone", "text/plain", {}});
    ASSERT_TRUE(nextCycle(channel));
    nowMs += 60'000;
    watch.Tick();
    rig.publish(site, "ch", 0, 5);
    ASSERT_TRUE(nextCycle(channel));
    nowMs += 120'000;
    watch.Tick();
    EXPECT_EQ(failing.count(), 1);
    EXPECT_EQ(recovered.count(), 1);
}

// Once a tick the watch tells whose condition changed since the last tick,
// and only those: a view beginning, a picture, time alone, a failure, its
// recovery, a view ending. A channel no view shows is never told.
TEST_F(WatchTest, TellsOnceATickWhoseConditionChanged) {
    QSignalSpy told(&watch, &ChannelWatch::ConditionsChanged);
    clsChannel* a = rig.addPublished(site, "a", 0, 5);
    clsChannel* b = rig.addPublished(site, "b", 0, 5);
    rig.addPublished(site, "unseen", 0, 5)->setBelongFavarite(true);
    struct Step {
        const char* name;
        std::function<bool()> act;
        QStringList told;
        Condition a;
    };
    const Step steps[] = {
        {"views_begin", [&] { return open(a) && open(b); }, {"a", "b"}, Condition::Waiting},
        {"pictures_arrive",
         [&] { return ChannelRig::settle(a) && ChannelRig::settle(b); },
         {"a", "b"},
         Condition::Live},
        {"nothing_new", [] { return true; }, {}, Condition::Live},
        {"time_alone_makes_both_stale", [&] { return (nowMs += 31'000) > 0; }, {"a", "b"}, Condition::Stale},
        {"a_fails",
         [&] {
             site.set("/a/full.jpg", {"gone", "text/plain", {}});
             return nextCycle(a);
         },
         {"a"},
         Condition::Failing},
        {"a_recovers",
         [&] {
             site.picture("/a/full.jpg", JpegFactory::make(64, 48, Qt::yellow));
             return nextCycle(a);
         },
         {"a"},
         Condition::Live},
        {"a_view_ends",
         [&] {
             a->ViewControl(clsChannel::NormalViewClose, QString());
             return true;
         },
         {"a"},
         Condition::NotViewed},
        {"a_again_and_away_within_a_tick",
         [&] {
             open(a)->ViewControl(clsChannel::NormalViewClose, QString());
             return true;
         },
         {},
         Condition::NotViewed},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ASSERT_TRUE(step.act());
        told.clear();
        watch.Tick();
        EXPECT_EQ(told.isEmpty() ? QStringList() : told.at(0).at(0).toStringList(), step.told);
        EXPECT_LE(told.size(), 1);
        EXPECT_EQ(ConditionWord(watch.Now("a").What), ConditionWord(step.a));
    }
}

// Favourites that no view shows: their information file only, at most once
// per max(ReloadTime, 60 s), and only while the watch is on.
TEST_F(WatchTest, TheFavouriteWatchReadsOnlyInformationFilesAndNotTooOften) {
    clsChannel* fav = rig.addPublished(site, "fav", 1, 5);
    clsChannel* shown = rig.addPublished(site, "shown", 1, 5);
    rig.addPublished(site, "plain", 1, 5);
    fav->setBelongFavarite(true);
    shown->setBelongFavarite(true);
    ASSERT_TRUE(ChannelRig::settle(open(shown)));
    FavoriteWatch favorites(*rig.manager, watch, rig.curl);
    QSignalSpy onAir(&watch, &ChannelWatch::WentOnAir);
    auto tickAndWait = [&](int ticks = 1) {
        for (int i = 0; i < ticks; ++i) favorites.Tick();
        ASSERT_TRUE(QTest::qWaitFor([&] { return favorites.InFlight() == 0; }, 8000));
    };
    tickAndWait();
    EXPECT_TRUE(requestsOf("fav").isEmpty()) << "off until enabled";
    favorites.setEnabled(true);
    tickAndWait(5);
    EXPECT_EQ(requestsOf("fav"), QStringList{"/fav/info.txt"});
    EXPECT_EQ(watch.Health("fav").Now.Status, 1);
    nowMs += 59'000;
    tickAndWait();
    EXPECT_EQ(requestsOf("fav").size(), 1);
    rig.publish(site, "fav", 0, 90);
    nowMs += 1'000;
    tickAndWait();
    ASSERT_EQ(requestsOf("fav").size(), 2);
    ASSERT_EQ(onAir.count(), 1);
    EXPECT_EQ(onAir.at(0).at(0).toString(), "fav");
    nowMs += 89'000;  // the file now gives 90 s
    tickAndWait();
    EXPECT_EQ(requestsOf("fav").size(), 2);
    nowMs += 1'000;
    tickAndWait();
    EXPECT_EQ(requestsOf("fav").size(), 3);

    EXPECT_EQ(requestsOf("fav").filter(".jpg"), QStringList());
    EXPECT_EQ(requestsOf("plain"), QStringList());
    EXPECT_EQ(requestsOf("shown").filter("info.txt").size(), 1);  // its own first reading only
    favorites.setEnabled(false);
    nowMs += 600'000;
    tickAndWait();
    EXPECT_EQ(requestsOf("fav").size(), 3);
}

}  // namespace
