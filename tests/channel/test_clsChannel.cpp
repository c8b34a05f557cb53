// The fetch cycle of one channel against a real server, driven tick by tick.

#include "ChannelRig.h"

#include <QSignalSpy>

#include <atomic>
#include <future>

namespace {

class ChannelCycleTest : public ::testing::Test {
protected:
    ChannelSite site;
    ChannelRig rig;

    static QString path(const QString& id, const char* file) {
        return QStringLiteral("/%1/%2").arg(id, QLatin1String(file));
    }
    clsChannel* addPublished(const QString& id, int status, int reload,
                             const QByteArray& picture = JpegFactory::make(64, 48)) {
        return rig.addPublished(site, id, status, reload, picture);
    }
    static QString text(const clsChannel* ch) { return ch->InfomationString().value(1); }

    // The first letters of the files asked for (info.txt, full.jpg,
    // thumb.jpg), or "." for none.
    static QString word(const QStringList& requests) {
        QString w;
        for (const QString& r : requests) w += r.section('/', 2).at(0);
        return w.isEmpty() ? QStringLiteral(".") : w;
    }
    // What the channel asks for at its opening (when open) and at each of
    // the next ticks, one word each.
    std::string fetches(clsChannel* ch, int ticks, bool open = false) {
        QStringList words;
        for (int t = open ? -1 : 0; t < ticks; ++t) {
            const int before = site.requests().size();
            if (t < 0) {
                ch->ViewControl(clsChannel::NormalViewOpen, QString());
            } else {
                rig.tick();
            }
            if (!ChannelRig::settle(ch)) return "unsettled in state " + std::to_string(int(ch->State()));
            words << word(site.requests().mid(before).filter("/" + ch->ChannelID() + "/"));
        }
        return words.join(' ').toStdString();
    }
};

// When a viewed channel asks for what: a broadcasting one only for its
// picture, every reload time its pictures carry, else every ReloadTime; any
// other status (or no picture address) for its info file every ReloadTime,
// after one picture; with 放送中の画像のみ表示 an off-air channel asks for its
// picture every wait but shows nothing.
TEST_F(ChannelCycleTest, TheStatusDecidesWhatIsFetchedAtWhichTick) {
    struct Case {
        const char* id;
        int status, pictureReload;  // -1: the pictures carry no record
        bool withURL, onlyOnBroadcast;
        const char *word, *expected;
    };
    const Case cases[] = {
        {"pictureReload", 0, 3, true, false, "放送中", "if . . f . . f"},
        {"infoReload", 0, -1, true, false, "放送中", "if . . . f . . . f"},
        {"paused", 1, -1, true, false, "休止中", "if . . . i . . . i"},
        {"stopped", 2, -1, true, false, "中止中", "if . . . i . . . i"},
        {"odd", 7, -1, true, false, "", "if . . . i . . . i"},
        {"noURL", 0, -1, false, false, "放送中", "i . . . i . . . i"},
        {"oddOnAir", 7, -1, true, true, "", "i . . . i . . . i"},
        {"pausedOnAir", 1, -1, true, true, "休止中", "i . . . f . . . f"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const QByteArray plain = JpegFactory::make(64, 48);
        InfoFile info =
            rig.publish(site, c.id, c.status, 4,
                        c.pictureReload < 0 ? plain : JpegFactory::withRecord(plain, 0, c.pictureReload, "", ""));
        if (!c.withURL) info.url.clear();
        site.text(path(c.id, "info.txt"), info.bytes());
        clsChannel* ch = rig.add(c.id, site.url(path(c.id, "info.txt")));
        ASSERT_TRUE(ch);
        ch->setShowPictureOnlyOnBroadCast(c.onlyOnBroadcast);
        // Unviewed, it asks for nothing.
        rig.tick(10);
        EXPECT_EQ(ch->State(), ChannelState::Stopped);
        EXPECT_TRUE(text(ch).contains(QStringLiteral("閲覧停止中")));
        EXPECT_EQ(site.count(path(c.id, "info.txt")), 0);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        EXPECT_EQ(ch->State(), ChannelState::InfoRequested);
        EXPECT_TRUE(text(ch).contains(QStringLiteral("情報取得中")));
        EXPECT_EQ(ch->HTTP()->LastAddress(), site.url(path(c.id, "info.txt")));
        ASSERT_TRUE(ChannelRig::settle(ch));
        const int wait = c.pictureReload > 0 ? c.pictureReload : 4;
        EXPECT_TRUE(text(ch).startsWith(QStringLiteral("名前\u3000%1\u3000待機中\u30000/%2").arg(c.word).arg(wait)))
            << text(ch).toStdString();
        EXPECT_EQ(ch->ChannelNumber(), "12");
        const QString opening = word(site.requests().filter("/" + QString(c.id) + "/"));
        EXPECT_EQ(opening.toStdString() + ' ' + fetches(ch, QString(c.expected).count(' ')), c.expected);
        EXPECT_EQ(ch->ShowBox()->HasPicture(), c.withURL && !c.onlyOnBroadcast);
        ch->ViewControl(clsChannel::NormalViewClose, QString());
    }
}

// A status change: a picture that says 休止中 sends a broadcasting channel
// back to its info file; an info file that says 中止中 to a paused one has
// the picture fetched again after the next wait.
TEST_F(ChannelCycleTest, AStatusChangeChangesWhatIsFetched) {
    const QByteArray plain = JpegFactory::make(64, 48);
    clsChannel* onAir = addPublished("onair", 0, 4);
    EXPECT_EQ(fetches(onAir, 4, true), "if . . . f");
    site.picture("/onair/full.jpg", JpegFactory::withRecord(plain, 1, 2, "", ""));
    EXPECT_EQ(fetches(onAir, 6), ". . . f . if");
    EXPECT_EQ(onAir->Status(), 1);
    EXPECT_EQ(onAir->WaitCount(), 2);
    onAir->ViewControl(clsChannel::NormalViewClose, QString());

    clsChannel* paused = addPublished("paused", 1, 4);
    QSignalSpy statusSpy(rig.manager.get(), &clsChannelManeger::ChannelStatusRefresh);
    EXPECT_EQ(fetches(paused, 0, true), "if");
    EXPECT_EQ(statusSpy.count(), 1);
    EXPECT_EQ(paused->PictureType(), PictureKind::Full);
    EXPECT_EQ(fetches(paused, 4), ". . . i");
    rig.publish(site, "paused", 2, 4);
    EXPECT_EQ(fetches(paused, 12), ". . . i . . . f . . . i");
    EXPECT_EQ(paused->Status(), 2);
    EXPECT_EQ(paused->ShowedStatus(), 2);
}

// Which address a view asks for, where the picture is cached, and the empty
// ThumbnailURL falling back to URL.
TEST_F(ChannelCycleTest, TheViewsChooseTheAddressAndTheCacheName) {
    struct Case {
        const char* id;
        bool normal, thumbnail, thumbnailURL;
        const char *expectedPath, *cacheName, *fetching;
        PictureKind pictureType;
    };
    const Case cases[] = {
        {"both", true, true, true, "full.jpg", "both.jpg", "\u3000画像取得中", PictureKind::Full},
        {"normal", true, false, true, "full.jpg", "normal.jpg", "\u3000画像取得中", PictureKind::Full},
        {"thumbonly", false, true, true, "thumb.jpg", "thumbonly_thumbnail.jpg", "サムネイル画像取得中",
         PictureKind::Thumbnail},
        {"nothumb", false, true, false, "full.jpg", "nothumb_thumbnail.jpg", "サムネイル画像取得中",
         PictureKind::Thumbnail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const QByteArray jpeg = JpegFactory::make(80, 60, QColor(200, 10, 10));
        InfoFile info = rig.publish(site, c.id, 1, 5, jpeg);
        info.withThumbnailURL = c.thumbnailURL;
        site.text(path(c.id, "info.txt"), info.bytes());
        clsChannel* ch = rig.add(c.id, site.url(path(c.id, "info.txt")));
        ManagerLog log(*rig.manager);
        if (c.thumbnail) ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
        if (c.normal) ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_TRUE(log.texts().contains(QString::fromUtf8(c.fetching)));
        EXPECT_EQ(site.requests().last(), path(c.id, c.expectedPath));
        EXPECT_EQ(ch->PictureType(), c.pictureType);
        EXPECT_EQ(ch->PictureFile(), rig.cacheFile(c.cacheName));
        EXPECT_EQ(ChannelRig::readFile(rig.cacheFile(c.cacheName)), jpeg);
    }
    // A channel holding a thumbnail asks for the full picture at once when
    // its normal view opens.
    clsChannel* ch = rig.manager->Channel("thumbonly");
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    EXPECT_EQ(ch->HTTP()->LastAddress(), site.url("/thumbonly/full.jpg"));
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->PictureType(), PictureKind::Full);
    EXPECT_TRUE(QFile::exists(rig.cacheFile("thumbonly.jpg")));
}

// The show box and every thumbnail box share one decoded picture; a removed
// slot is blanked and never reused.
TEST_F(ChannelCycleTest, ThumbnailSlotsShareOneDecodedPictureAndAreNeverReused) {
    clsChannel* ch = addPublished("ch01", 0, 5, JpegFactory::make(640, 480));
    PictureElement *a = rig.boxes.Load(), *b = rig.boxes.Load(), *c = rig.boxes.Load();
    ch->AddThumbnailShowBox("1", a, false);
    ch->AddThumbnailShowBox("2", b, false);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("2"), 2);
    ManagerLog log(*rig.manager);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(log.events.filter("showbox:"), QStringList{"showbox:ch01"});
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(640, 480));
    const qint64 key = ch->DecodedPicture().cacheKey();
    for (PictureElement* box : {ch->ShowBox(), a, b}) EXPECT_EQ(box->Picture().cacheKey(), key);

    ch->RemoveThumbnailShowBox("2");
    ch->AddThumbnailShowBox("2", c, false);
    ch->RemoveThumbnailShowBox("9");  // nothing to blank
    EXPECT_EQ(c->Picture().cacheKey(), key);
    EXPECT_EQ(ch->ThumbnailCount(), 3);
    EXPECT_EQ(ch->ThumbnailMultiMonitorID(2), "");
    EXPECT_EQ(ch->ThumbnailShowBox(2), nullptr);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("2"), 3);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("9"), 0);
    site.picture("/ch01/full.jpg", JpegFactory::make(32, 32));
    rig.tick(5);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(a->Picture().size(), QSize(32, 32));
    EXPECT_EQ(c->Picture().size(), QSize(32, 32));
    EXPECT_EQ(b->Picture().size(), QSize(640, 480));

    ch->ViewControl(clsChannel::NormalViewClose, QString());
    log.events.clear();
    ch->ViewControl(clsChannel::ThumbnailViewOpen, "2");
    EXPECT_TRUE(ch->ThumbnailIsActive(3));
    EXPECT_FALSE(ch->ThumbnailIsActive(1));
    EXPECT_TRUE(ch->IsAvailOtherActiveThumbnail("1"));
    EXPECT_FALSE(ch->IsAvailOtherActiveThumbnail("2"));
    EXPECT_EQ(log.events.filter("control:"), QStringList{"control:ch01:2:,1,2"});
    // Closing the thumbnail view clears the flag even while another slot is
    // active; callers ask IsAvailOtherActiveThumbnail first.
    ch->ViewControl(clsChannel::ThumbnailViewOpen, "1");
    ch->ViewControl(clsChannel::ThumbnailViewClose, "2");
    EXPECT_EQ(ch->ViewFlag(), 0);
    EXPECT_TRUE(ch->ThumbnailIsActive(1));
    EXPECT_FALSE(ch->ThumbnailIsActive(3));
    EXPECT_TRUE(ch->IsAvailOtherActiveThumbnail("2"));
}

// Every kind of answer to the info file or the picture request, from a raw
// server: read, refused (state 5 or 6), wrong (エラー発生) or dropped (no
// content type the handler knows). A refused or wrong answer shows its text,
// the channel waits its previous wait (or DefaultWaitCount), asks again and
// recovers once the server answers properly. A dropped answer leaves the
// channel in its request state until a view change finds its element idle.
TEST_F(ChannelCycleTest, EveryAnswerIsReadRefusedRejectedOrDropped) {
    enum Outcome { Read, Refused, Rejected, Dropped };
    struct Case {
        const char* name;
        bool onPicture;
        std::vector<RawHttpServer::Step> steps;
        Outcome outcome;
    };
    std::atomic<const Case*> current{nullptr};
    std::atomic<bool> failing{true};
    const QByteArray jpeg = JpegFactory::make(16, 16);
    QByteArray sjis;
    auto answer = [](const QByteArray& head, const QByteArray& body) {
        return std::vector<RawHttpServer::Step>{RawHttpServer::send(
            head + "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body)};
    };
    RawHttpServer raw([&](const QString& p) {
        const bool picture = p == "/full.jpg";
        const Case* c = current;
        if (failing && c && c->onPicture == picture) return c->steps;
        return picture ? answer("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg", jpeg)
                       : answer("HTTP/1.1 200 OK\r\nContent-Type: text/plain", sjis);
    });
    InfoFile info;
    info.url = raw.url("/full.jpg");
    info.statusFlag = 1;
    info.reloadTime = 7;
    sjis = info.bytes();
    const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Type: ";
    const Case cases[] = {
        {"info", false, answer(ok + "text/plain", sjis), Read},
        {"HTTP/1.0, upper case", false, answer("HTTP/1.0 200 OK\r\nContent-Type: TEXT/HTML", sjis), Read},
        {"declared UTF-8", false, answer(ok + "text/plain; charset=UTF-8", Cp932::decode(sjis).toUtf8()), Read},
        {"info 404", false, answer("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain", sjis), Refused},
        {"info 500", false, answer("HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain", sjis), Refused},
        {"info 204", false, answer("HTTP/1.1 204 No Content", {}), Refused},
        {"info reset", false, {RawHttpServer::reset()}, Refused},
        {"info timeout", false, {RawHttpServer::silence()}, Refused},
        {"picture to an info request", false, answer("HTTP/1.1 200 OK\r\nContent-Type: Image/JPEG", jpeg), Rejected},
        {"info without required keys", false, answer(ok + "text/plain", "ChannelID=x\r\nChannelName=y\r\n"), Rejected},
        {"octet-stream", false, answer(ok + "application/octet-stream", sjis), Dropped},
        {"no content type", false, answer("HTTP/1.1 200 OK", sjis), Dropped},
        {"picture 404", true, answer("HTTP/1.1 404 Not Found\r\nContent-Type: image/jpeg", jpeg), Refused},
        {"picture reset", true, {RawHttpServer::reset()}, Refused},
        {"picture timeout", true, {RawHttpServer::silence()}, Refused},
        {"text to a picture request", true, answer(ok + "text/plain", "ChannelID=x"), Rejected},
        {"bytes that are no JPEG", true, answer(ok + "image/jpeg", "GIF89a...."), Rejected},
        {"JPEG markers the decoder refuses", true, answer(ok + "image/jpeg", QByteArray::fromHex("ffd8ffd9")),
         Rejected},
        {"picture without a body", true, answer(ok + "image/jpeg", {}), Rejected},
    };
    rig.settings.Timeout = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        current = &c;
        failing = true;
        clsChannel* ch = rig.add(c.name, raw.url("/info.txt"));
        const QString id = ch->ChannelID();
        ManagerLog log(*rig.manager);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        if (c.outcome == Dropped) {
            ASSERT_TRUE(ChannelRig::idle(ch));
            rig.tick(20);
            EXPECT_EQ(ch->State(), ChannelState::InfoRequested);
            EXPECT_EQ(log.events, (QStringList{"control:" + id + ":1:", "info:" + id}));
            failing = false;
            ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
            EXPECT_EQ(ch->State(), ChannelState::Waiting);
            rig.tick();
            EXPECT_EQ(ch->HTTP()->LastAddress(), raw.url("/info.txt"));
        } else if (c.outcome != Read) {
            ASSERT_TRUE(ChannelRig::settle(ch, 10000));
            EXPECT_TRUE(log.texts().contains(c.outcome == Rejected ? QStringLiteral("エラー発生")
                                             : c.onPicture ? QStringLiteral("画像ファイルの取得に失敗")
                                                           : QStringLiteral("情報ファイルの取得に失敗")));
            const int wait = c.onPicture ? 7 : rig.settings.DefaultWaitCount;
            EXPECT_TRUE(text(ch).contains(QStringLiteral("待機中\u30000/%1").arg(wait)));
            EXPECT_EQ(ch->PictureType(), PictureKind::None);
            EXPECT_FALSE(ch->ShowBox()->HasPicture());
            EXPECT_FALSE(QFile::exists(rig.cacheFile(id + ".jpg")));
            const int requests = raw.requests().size();
            rig.tick(wait - 1);
            EXPECT_TRUE(text(ch).contains(QStringLiteral("待機中\u3000%1/%2").arg(wait - 1).arg(wait)));
            EXPECT_EQ(raw.requests().size(), requests);
            failing = false;
            rig.tick();
            // Without a picture address a failed info file is asked for again.
            EXPECT_EQ(ch->HTTP()->LastAddress(), raw.url(c.onPicture ? "/full.jpg" : "/info.txt"));
        }
        ASSERT_TRUE(ChannelRig::settle(ch, 10000));
        EXPECT_EQ(ch->Status(), 1);
        EXPECT_EQ(ch->PictureType(), PictureKind::Full);
        EXPECT_TRUE(log.texts().contains(QStringLiteral("テスト放送①")));
        EXPECT_TRUE(log.events.contains("status:" + id));
        ch->ViewControl(clsChannel::NormalViewClose, QString());
        ch->ViewControl(clsChannel::ThumbnailViewClose, QString());
    }
}

// Many channels whose pictures hang on one server never hold up a channel
// whose picture that server answers at once: no cap of connections per host.
TEST_F(ChannelCycleTest, SlowAnswersDoNotHoldUpOtherChannels) {
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    TestHttpServer pictures;
    pictures.handle("/slow.jpg", [gate](const httplib::Request&, httplib::Response& res) {
        gate.wait_for(std::chrono::seconds(20));
        res.set_content(JpegFactory::make(64, 48).toStdString(), "image/jpeg");
    });
    pictures.serve("/fast.jpg", JpegFactory::make(64, 48), "image/jpeg");
    pictures.start();
    auto open = [&](const QString& id, const char* picture) {
        InfoFile info = rig.publish(site, id, 0, 5);
        info.url = pictures.url(picture);
        site.text(path(id, "info.txt"), info.bytes());
        clsChannel* ch = rig.add(id, site.url(path(id, "info.txt")));
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        return ch;
    };
    QList<clsChannel*> slow;
    for (int i = 0; i < 12; ++i) slow << open(QStringLiteral("slow%1").arg(i), "/slow.jpg");
    // Twelve connections at once can overflow the server's listen backlog; a
    // dropped SYN is resent after a second. Start the fast one once all are held.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pictures.count("/slow.jpg") == 12; }, 5000));
    clsChannel* fast = open("fast", "/fast.jpg");
    ASSERT_TRUE(ChannelRig::settle(fast));
    EXPECT_EQ(fast->PictureType(), PictureKind::Full);
    for (clsChannel* ch : slow) EXPECT_EQ(ch->State(), ChannelState::PictureRequested);
    release.set_value();
    for (clsChannel* ch : slow) {
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_TRUE(QFile::exists(rig.cacheFile(ch->ChannelID() + ".jpg")));
    }
}

// A broadcasting channel's information file and pictures, one after another,
// all come over one kept connection.
TEST(ChannelConnectionTest, PicturesOfOneChannelReuseOneConnection) {
    ChannelSite site(/*keepAlive=*/true);
    ChannelRig rig;
    clsChannel* ch = rig.addPublished(site, "kept", 0, 1);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    for (int i = 0; i < 4; ++i) {
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(ch));
    }
    EXPECT_EQ(site.count("/kept/full.jpg"), 5);
    EXPECT_EQ(site.connections(), 1);
}

// A response that arrives after the last view closed is still handled, and
// the channel then stops instead of asking again.
TEST_F(ChannelCycleTest, AResponseAfterTheLastViewClosedEndsTheCycle) {
    const InfoFile info = rig.publish(site, "ch01", 1, 5);
    site.set("/ch01/info.txt", {200, "text/plain", info.bytes(), {}, 300});
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"));
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ch->ViewControl(clsChannel::NormalViewClose, QString());
    EXPECT_EQ(ch->State(), ChannelState::InfoRequested);
    ASSERT_TRUE(QTest::qWaitFor([ch] { return ch->State() == ChannelState::Stopped; }, 5000));
    EXPECT_EQ(ch->Status(), 1);
    rig.tick(10);
    EXPECT_EQ(site.requests(), QStringList{"/ch01/info.txt"});
}

// Switching 放送中の画像のみ表示 off asks an off-air channel for a picture at
// once; switching it on blanks the held one.
TEST_F(ChannelCycleTest, SwitchingOnlyOnBroadcastFetchesOrBlanks) {
    clsChannel* ch = addPublished("ch01", 1, 3);
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    EXPECT_EQ(fetches(ch, 4, true), "i . . f .");
    EXPECT_EQ(ch->PictureType(), PictureKind::None);
    EXPECT_EQ(ch->ShowedStatus(), 3);
    rig.manager->setShowPictureOnlyOnBroadCast(false);
    EXPECT_EQ(ch->State(), ChannelState::PictureRequested);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/full.jpg"), 2);
    EXPECT_EQ(ch->PictureType(), PictureKind::Full);
    EXPECT_TRUE(ch->ShowBox()->HasPicture());
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    EXPECT_FALSE(ch->ShowBox()->HasPicture());
    EXPECT_EQ(ch->PictureType(), PictureKind::None);
}

}  // namespace
