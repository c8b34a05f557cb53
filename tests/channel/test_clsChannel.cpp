// The fetch cycle of one channel against a real server, driven tick by tick.

#include "ChannelRig.h"

#include <QFile>
#include <QSignalSpy>

#include <future>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every information text the manager raised for one channel, in order.
class InfoLog {
public:
    InfoLog(clsChannelManeger& manager, const QString& channelID) {
        QObject::connect(&manager, &clsChannelManeger::ChannelInfomationRefresh, &guard_,
                         [this, channelID](const QString& id, const QStringList& info) {
                             if (id == channelID) lines_ << info.value(1);
                         });
    }
    QStringList lines() const { return lines_; }
    bool contains(const QString& text) const {
        for (const QString& l : lines_)
            if (l.contains(text)) return true;
        return false;
    }
    void clear() { lines_.clear(); }

private:
    QObject guard_;
    QStringList lines_;
};

class ChannelCycleTest : public ::testing::Test {
protected:
    ChannelSite site;
    ChannelRig rig;

    QString path(const QString& id, const char* file) { return QStringLiteral("/%1/%2").arg(id, QLatin1String(file)); }
    clsChannel* addPublished(const QString& id, int status, int reload,
                             const QByteArray& picture = JpegFactory::make(64, 48)) {
        rig.publish(site, id, status, reload, picture);
        return rig.add(id, site.url(path(id, "info.txt")));
    }
};

TEST_F(ChannelCycleTest, AChannelNoViewShowsMakesNoRequestUntilItsTabOpens) {
    clsChannel* ch = addPublished("ch01", 0, 5);
    ASSERT_TRUE(ch);
    rig.tick(10);
    EXPECT_EQ(ch->State(), 1);
    EXPECT_TRUE(site.requests().isEmpty());
    EXPECT_TRUE(ch->InfomationString().value(1).contains(QStringLiteral("閲覧停止中")));

    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    EXPECT_EQ(ch->State(), 2);
    EXPECT_TRUE(ch->HTTP()->StillExecuting());
    EXPECT_EQ(ch->HTTP()->LastAddress(), site.url("/ch01/info.txt"));
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->Status(), 0);
    EXPECT_EQ(ch->ChannelNumber(), "12");
}

// A broadcasting channel polls only its picture: every reload time its
// pictures carry, else every ReloadTime of the info file. A picture that says
// 休止中 sends it back to the information file.
TEST_F(ChannelCycleTest, ABroadcastingChannelFetchesOnlyPicturesUntilAPictureSaysPaused) {
    struct Case {
        const char* name;
        int pictureReload;  // -1: the pictures carry no record
        int expectedWait;
    };
    const Case cases[] = {{"picture reload time", 3, 3}, {"info ReloadTime", -1, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString id = QString::fromLatin1(c.name).replace(' ', '_');
        const QByteArray plain = JpegFactory::make(64, 48);
        const QByteArray picture =
            c.pictureReload < 0 ? plain : JpegFactory::withRecord(plain, 0, c.pictureReload, "", "");
        clsChannel* ch = addPublished(id, 0, 4, picture);
        ASSERT_TRUE(ch);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(ch->WaitCount(), c.expectedWait);

        for (int cycle = 1; cycle <= 3; ++cycle) {
            rig.tick(c.expectedWait - 1);
            EXPECT_EQ(ch->State(), 4);
            EXPECT_EQ(ch->SecondCount(), c.expectedWait - 1);
            EXPECT_EQ(site.count(path(id, "full.jpg")), cycle);
            rig.tick();
            EXPECT_EQ(ch->State(), 3);
            ASSERT_TRUE(ChannelRig::settle(ch));
            EXPECT_EQ(site.count(path(id, "full.jpg")), cycle + 1);
            EXPECT_EQ(site.count(path(id, "info.txt")), 1);
        }
        EXPECT_EQ(site.count(path(id, "thumb.jpg")), 0);

        // The next picture says 休止中; after its wait the info file is read.
        site.picture(path(id, "full.jpg"), JpegFactory::withRecord(plain, 1, 2, "", ""));
        rig.tick(c.expectedWait);
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(ch->Status(), 1);
        EXPECT_EQ(ch->WaitCount(), 2);
        rig.tick(2);
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(site.count(path(id, "info.txt")), 2);
    }
}

TEST_F(ChannelCycleTest, APausedChannelShowsOnePictureThenReadsItsInfoEveryReloadTime) {
    clsChannel* ch = addPublished("ch01", 1, 4);
    ASSERT_TRUE(ch);
    QSignalSpy statusSpy(rig.manager.get(), &clsChannelManeger::ChannelStatusRefresh);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->Status(), 1);
    EXPECT_EQ(ch->PictureType(), 3);
    EXPECT_EQ(statusSpy.count(), 1);
    EXPECT_TRUE(ch->InfomationString().value(1).startsWith(QStringLiteral("名前\u3000休止中\u3000待機中\u30000/4")));

    for (int cycle = 2; cycle <= 4; ++cycle) {
        rig.tick(3);
        EXPECT_EQ(site.count("/ch01/info.txt"), cycle - 1);
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(site.count("/ch01/info.txt"), cycle);
        EXPECT_EQ(site.count("/ch01/full.jpg"), 1);
    }

    // 中止中: the info read waits first, then the picture is fetched again.
    InfoFile stopped = rig.publish(site, "ch01", 2, 4);
    Q_UNUSED(stopped);
    rig.tick(4);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->Status(), 2);
    EXPECT_EQ(site.count("/ch01/full.jpg"), 1);
    rig.tick(4);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/full.jpg"), 2);
    EXPECT_EQ(ch->ShowedStatus(), 2);
    const int infoReads = site.count("/ch01/info.txt");
    rig.tick(4);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/info.txt"), infoReads + 1);
    EXPECT_EQ(site.count("/ch01/full.jpg"), 2);
}

// Which address a view asks for and where the picture is cached.
TEST_F(ChannelCycleTest, TheViewsChooseTheAddressAndTheCacheName) {
    struct Case {
        const char* id;
        bool normal;
        bool thumbnail;
        const char* expectedPath;
        const char* cacheName;
        int pictureType;
    };
    const Case cases[] = {
        {"both", true, true, "full.jpg", "both.jpg", 3},
        {"normal", true, false, "full.jpg", "normal.jpg", 3},
        {"thumbonly", false, true, "thumb.jpg", "thumbonly_thumbnail.jpg", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        const QByteArray jpeg = JpegFactory::make(80, 60, QColor(200, 10, 10));
        clsChannel* ch = addPublished(c.id, 1, 5, jpeg);
        ASSERT_TRUE(ch);
        if (c.thumbnail) ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
        if (c.normal) ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(site.requests().last(), path(c.id, c.expectedPath));
        EXPECT_EQ(ch->PictureType(), c.pictureType);
        EXPECT_EQ(ch->PictureFile(), rig.cacheFile(c.cacheName));
        EXPECT_EQ(readFile(rig.cacheFile(c.cacheName)), jpeg);
    }
    // The thumbnail-only channel holds a thumbnail; its normal view opening
    // while it waits asks for the full picture at once.
    clsChannel* ch = rig.manager->Channel("thumbonly");
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    EXPECT_EQ(ch->HTTP()->LastAddress(), site.url("/thumbonly/full.jpg"));
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->PictureType(), 3);
    EXPECT_TRUE(QFile::exists(rig.cacheFile("thumbonly.jpg")));
}

TEST_F(ChannelCycleTest, TheShowBoxAndEveryThumbnailBoxShareOneDecodedPicture) {
    clsChannel* ch = addPublished("ch01", 0, 5, JpegFactory::make(640, 480));
    ASSERT_TRUE(ch);
    PictureElement* a = rig.boxes.Load();
    PictureElement* b = rig.boxes.Load();
    ch->AddThumbnailShowBox("1", a, true);
    ch->AddThumbnailShowBox("2", b, false);
    QSignalSpy shown(rig.manager.get(), &clsChannelManeger::ShowBoxRefresh);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    ASSERT_EQ(shown.count(), 1);
    EXPECT_EQ(shown.at(0).at(0).toString(), "ch01");
    ASSERT_TRUE(ch->ShowBox()->HasPicture());
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(640, 480));
    const qint64 key = ch->DecodedPicture().cacheKey();
    EXPECT_EQ(ch->ShowBox()->Picture().cacheKey(), key);
    EXPECT_EQ(a->Picture().cacheKey(), key);
    EXPECT_EQ(b->Picture().cacheKey(), key);

    // A box added later shows the held picture at once; a removed one is
    // no longer painted.
    PictureElement* c = rig.boxes.Load();
    ch->RemoveThumbnailShowBox("2");
    ch->AddThumbnailShowBox("3", c, false);
    EXPECT_EQ(c->Picture().cacheKey(), key);
    site.picture("/ch01/full.jpg", JpegFactory::make(32, 32));
    rig.tick(5);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(a->Picture().size(), QSize(32, 32));
    EXPECT_EQ(c->Picture().size(), QSize(32, 32));
    EXPECT_EQ(b->Picture().size(), QSize(640, 480));
}

// Unsuccessful answers and transfer failures: the state text shows for a
// moment, the channel waits its previous wait (or DefaultWaitCount) and
// tries again.
TEST_F(ChannelCycleTest, FailedRequestsAreReportedWaitedOutAndRetried) {
    enum Failure { NotFound, Reset, Silence };
    struct Case {
        const char* name;
        bool onPicture;
        Failure failure;
    };
    const Case cases[] = {
        {"info 404", false, NotFound},   {"info reset", false, Reset},   {"info timeout", false, Silence},
        {"picture 404", true, NotFound}, {"picture reset", true, Reset}, {"picture timeout", true, Silence},
    };
    rig.settings.Timeout = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray jpeg = JpegFactory::make(16, 16);
        InfoFile info;
        RawHttpServer raw([&](const QString& p) -> std::vector<RawHttpServer::Step> {
            const bool failHere = c.onPicture ? p == "/full.jpg" : p == "/info.txt";
            if (failHere) {
                if (c.failure == NotFound)
                    return {RawHttpServer::send("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")};
                if (c.failure == Reset) return {RawHttpServer::reset()};
                return {RawHttpServer::silence()};
            }
            const QByteArray body = p == "/info.txt" ? info.bytes() : jpeg;
            const QByteArray type = p == "/info.txt" ? "text/plain" : "image/jpeg";
            return {RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " +
                                        QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body)};
        });
        info.url = raw.url("/full.jpg");
        info.statusFlag = 1;
        info.reloadTime = 7;
        clsChannel* ch = rig.add(QString::fromLatin1(c.name), raw.url("/info.txt"));
        ASSERT_TRUE(ch);
        InfoLog log(*rig.manager, ch->ChannelID());
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch, 10000));
        const QString failText =
            c.onPicture ? QStringLiteral("画像ファイルの取得に失敗") : QStringLiteral("情報ファイルの取得に失敗");
        EXPECT_TRUE(log.contains(failText));
        const int wait = c.onPicture ? 7 : rig.settings.DefaultWaitCount;
        EXPECT_EQ(ch->WaitCount(), wait);
        EXPECT_TRUE(log.lines().last().contains(QStringLiteral("待機中\u30000/%1").arg(wait)));
        EXPECT_EQ(ch->PictureType(), 1);

        const QString failing = c.onPicture ? "/full.jpg" : "/info.txt";
        // (Qt sends a request once more itself when the connection is reset
        // before an answer, so one attempt may reach the server twice.)
        const int attempts = raw.count(failing);
        EXPECT_GE(attempts, 1);
        rig.tick(wait - 1);
        EXPECT_EQ(ch->State(), 4);
        EXPECT_TRUE(log.lines().last().contains(QStringLiteral("%1/%2").arg(wait - 1).arg(wait)));
        EXPECT_EQ(raw.count(failing), attempts);
        rig.tick();
        // A failed picture is asked for again; a failed info file likewise
        // (the channel has no picture address yet).
        EXPECT_EQ(ch->HTTP()->LastAddress(), raw.url(failing));
        EXPECT_TRUE(QTest::qWaitFor([&] { return raw.count(failing) > attempts; }, 5000));
        ASSERT_TRUE(ChannelRig::settle(ch, 10000));
    }
}

// Bodies of the wrong kind, pictures that fail the check or the decoder,
// and an empty picture body are errors; the channel waits and retries.
TEST_F(ChannelCycleTest, BodiesOfTheWrongKindAreErrors) {
    struct Case {
        const char* name;
        bool onPicture;
        ChannelSite::Answer answer;
    };
    const QByteArray jpeg = JpegFactory::make(16, 16);
    const Case cases[] = {
        {"picture to an info request", false, {200, "image/jpeg", jpeg, {}, 0}},
        {"text to a picture request", true, {200, "text/plain", "ChannelID=x", {}, 0}},
        {"bytes that are no JPEG", true, {200, "image/jpeg", "GIF89a....", {}, 0}},
        {"JPEG markers the decoder refuses", true, {200, "image/jpeg", QByteArray::fromHex("ffd8ffd9"), {}, 0}},
        {"picture without a body", true, {200, "image/jpeg", QByteArray(), {}, 0}},
        {"info without required keys", false, {200, "text/plain", "ChannelID=x\r\nURL=y\r\n", {}, 0}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString id = QStringLiteral("c%1").arg(++n);
        rig.publish(site, id, 1, 9);
        site.set(path(id, c.onPicture ? "full.jpg" : "info.txt"), c.answer);
        clsChannel* ch = rig.add(id, site.url(path(id, "info.txt")));
        ASSERT_TRUE(ch);
        InfoLog log(*rig.manager, id);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_TRUE(log.contains(QStringLiteral("エラー発生")));
        EXPECT_EQ(ch->WaitCount(), c.onPicture ? 9 : rig.settings.DefaultWaitCount);
        EXPECT_EQ(ch->PictureType(), 1);
        EXPECT_FALSE(ch->ShowBox()->HasPicture());
        EXPECT_FALSE(QFile::exists(rig.cacheFile(id + ".jpg")));
        rig.tick(ch->WaitCount());
        EXPECT_TRUE(ch->HTTP()->StillExecuting());
        ASSERT_TRUE(ChannelRig::settle(ch));
    }
}

// A response that is neither text nor image is dropped: the channel stays in
// its request state until a view change finds its element idle. Having no
// picture address yet, it then waits and reads its info file again.
TEST_F(ChannelCycleTest, AnOctetStreamIsDroppedAndTheChannelWaitsForAViewChange) {
    rig.publish(site, "ch01", 1, 3);
    site.set("/ch01/info.txt", {200, "application/octet-stream", InfoFile().bytes(), {}, 0});
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"));
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::idle(ch));
    rig.tick(20);
    EXPECT_EQ(ch->State(), 2);
    EXPECT_EQ(site.requests(), QStringList{"/ch01/info.txt"});

    ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
    EXPECT_EQ(ch->State(), 4);
    EXPECT_FALSE(ch->HTTP()->StillExecuting());
    rig.tick();
    EXPECT_EQ(ch->State(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return site.count("/ch01/info.txt") == 2; }, 5000));
}

// The body arrives in many small pieces, with and without a declared length.
TEST_F(ChannelCycleTest, APictureSplitIntoManyPiecesArrivesWhole) {
    const QByteArray jpeg = JpegFactory::make(640, 480, QColor(10, 200, 60));
    ASSERT_GT(jpeg.size(), 2000);
    for (const bool declared : {true, false}) {
        SCOPED_TRACE(declared ? "Content-Length" : "until close");
        InfoFile info;
        RawHttpServer raw([&](const QString& p) -> std::vector<RawHttpServer::Step> {
            if (p == "/info.txt") {
                const QByteArray body = info.bytes();
                return {RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body)};
            }
            std::vector<RawHttpServer::Step> steps;
            steps.push_back(
                RawHttpServer::send(declared ? "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                                                   QByteArray::number(jpeg.size()) + "\r\n\r\n"
                                             : QByteArray("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n")));
            for (qsizetype off = 0; off < jpeg.size(); off += 97) {
                steps.push_back(RawHttpServer::send(jpeg.mid(off, 97)));
                if ((off / 97) % 8 == 0) steps.push_back(RawHttpServer::sleep(1));
            }
            steps.push_back(RawHttpServer::close());
            return steps;
        });
        info.url = raw.url("/full.jpg");
        info.statusFlag = 0;
        const QString id = declared ? "declared" : "closed";
        info.fileChannelID = id;
        clsChannel* ch = rig.add(id, raw.url("/info.txt"));
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch, 15000));
        EXPECT_EQ(ch->PictureType(), 3);
        EXPECT_EQ(readFile(rig.cacheFile(id + ".jpg")), jpeg);
        EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(640, 480));
    }
}

TEST_F(ChannelCycleTest, ASlowServerDoesNotHoldUpAFastOne) {
    // The slow server holds its picture until the test lets it go.
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    TestHttpServer slowServer;
    InfoFile slowInfo;
    slowInfo.fileChannelID = "slow";
    slowServer.handle("/slow/full.jpg", [gate](const httplib::Request&, httplib::Response& res) {
        gate.wait_for(std::chrono::seconds(20));
        res.set_content(JpegFactory::make(64, 48).toStdString(), "image/jpeg");
    });
    slowServer.start();
    slowInfo.url = slowServer.url("/slow/full.jpg");
    site.text("/slow/info.txt", slowInfo.bytes());

    clsChannel* slow = rig.add("slow", site.url("/slow/info.txt"));
    clsChannel* fast = addPublished("fast", 0, 5);
    slow->ViewControl(clsChannel::NormalViewOpen, QString());
    fast->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return slowServer.count("/slow/full.jpg") == 1; }, 5000));
    ASSERT_TRUE(ChannelRig::settle(fast));
    // The fast channel is done while the slow one still waits for its picture.
    EXPECT_EQ(slow->State(), 3);
    EXPECT_TRUE(slow->HTTP()->StillExecuting());
    EXPECT_EQ(fast->PictureType(), 3);
    release.set_value();
    ASSERT_TRUE(ChannelRig::settle(slow));
    EXPECT_EQ(slow->PictureType(), 3);
    EXPECT_TRUE(QFile::exists(rig.cacheFile("slow.jpg")));
    EXPECT_TRUE(QFile::exists(rig.cacheFile("fast.jpg")));
}

// A response that arrives after the last view closed is still handled, and
// the channel then stops instead of asking again.
TEST_F(ChannelCycleTest, AResponseAfterTheLastViewClosedEndsTheCycle) {
    const InfoFile info = rig.publish(site, "ch01", 1, 5);
    site.set("/ch01/info.txt", {200, "text/plain", info.bytes(), {}, 300});
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"));
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ch->ViewControl(clsChannel::NormalViewClose, QString());
    EXPECT_EQ(ch->State(), 2);
    ASSERT_TRUE(QTest::qWaitFor([ch] { return ch->State() == 1; }, 5000));
    EXPECT_EQ(ch->Status(), 1);
    rig.tick(10);
    EXPECT_EQ(site.requests(), QStringList{"/ch01/info.txt"});
}

// 放送中の画像のみ表示: a channel off the air shows nothing and fetches its
// picture every wait; switching the display off asks for a picture at once.
TEST_F(ChannelCycleTest, OnlyOnBroadcastKeepsAPausedChannelBlank) {
    clsChannel* ch = addPublished("ch01", 1, 3);
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    EXPECT_TRUE(ch->ShowPictureOnlyOnBroadCast());
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/full.jpg"), 0);
    rig.tick(3);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/full.jpg"), 1);
    EXPECT_EQ(ch->PictureType(), 1);
    EXPECT_EQ(ch->ShowedStatus(), 3);
    EXPECT_FALSE(ch->ShowBox()->HasPicture());
    rig.tick(3);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/full.jpg"), 2);

    rig.tick();
    rig.manager->setShowPictureOnlyOnBroadCast(false);
    EXPECT_EQ(ch->State(), 3);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/ch01/full.jpg"), 3);
    EXPECT_EQ(ch->PictureType(), 3);
    EXPECT_TRUE(ch->ShowBox()->HasPicture());

    // Switching it on again blanks the held picture.
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    EXPECT_FALSE(ch->ShowBox()->HasPicture());
    EXPECT_EQ(ch->PictureType(), 1);
}

// A status outside 0..3 shows an empty word, and the channel goes on reading
// its information file instead of stopping (or fetching pictures in a loop).
TEST_F(ChannelCycleTest, AnUnknownStatusKeepsTheInfoFileBeingRead) {
    for (const bool onlyOnBroadcast : {false, true}) {
        SCOPED_TRACE(onlyOnBroadcast ? "only on broadcast" : "every status");
        const QString id = onlyOnBroadcast ? "odd2" : "odd1";
        clsChannel* ch = addPublished(id, 7, 3);
        ch->setShowPictureOnlyOnBroadCast(onlyOnBroadcast);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(ch->Status(), 7);
        EXPECT_FALSE(ch->IsOnBroadcast());
        EXPECT_TRUE(ch->InfomationString().value(1).startsWith(QStringLiteral("名前\u3000\u3000待機中")));
        const int pictures = site.count(path(id, "full.jpg"));
        EXPECT_EQ(pictures, onlyOnBroadcast ? 0 : 1);
        for (int cycle = 2; cycle <= 4; ++cycle) {
            rig.tick(3);
            ASSERT_TRUE(ChannelRig::settle(ch));
            EXPECT_EQ(site.count(path(id, "info.txt")), cycle);
        }
        EXPECT_EQ(site.count(path(id, "full.jpg")), pictures);
    }
}

// Empty picture addresses: a thumbnail falls back to URL; with no address at
// all the channel reads its info file, paced by its wait.
TEST_F(ChannelCycleTest, EmptyAddressesFallBackToURLAndThenToTheInfoFile) {
    InfoFile noThumb = rig.publish(site, "nothumb", 1, 4);
    noThumb.withThumbnailURL = false;
    site.text("/nothumb/info.txt", noThumb.bytes());
    clsChannel* ch = rig.add("nothumb", site.url("/nothumb/info.txt"));
    ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(site.count("/nothumb/full.jpg"), 1);
    EXPECT_EQ(ch->PictureType(), 2);
    EXPECT_TRUE(QFile::exists(rig.cacheFile("nothumb_thumbnail.jpg")));

    InfoFile noURL = rig.publish(site, "nourl", 0, 4);
    noURL.url.clear();
    site.text("/nourl/info.txt", noURL.bytes());
    clsChannel* bare = rig.add("nourl", site.url("/nourl/info.txt"));
    bare->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(bare));
    EXPECT_EQ(bare->WaitCount(), 4);
    for (int cycle = 2; cycle <= 3; ++cycle) {
        rig.tick(3);
        EXPECT_EQ(site.count("/nourl/info.txt"), cycle - 1);
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(bare));
        EXPECT_EQ(site.count("/nourl/info.txt"), cycle);
    }
    EXPECT_EQ(site.requests().filter("/nourl/").size(), 3);
}

// A channel whose first info request failed has no picture address; once the
// server answers again it reads its info file and goes on normally.
TEST_F(ChannelCycleTest, AChannelWhoseFirstInfoRequestFailedRecovers) {
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"));
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->WaitCount(), rig.settings.DefaultWaitCount);
    rig.publish(site, "ch01", 0, 5);
    rig.tick(rig.settings.DefaultWaitCount);
    EXPECT_EQ(ch->HTTP()->LastAddress(), site.url("/ch01/info.txt"));
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->Status(), 0);
    EXPECT_EQ(ch->PictureType(), 3);
    EXPECT_EQ(site.count("/ch01/full.jpg"), 1);
}

TEST_F(ChannelCycleTest, ThumbnailSlotsAreAppendedBlankedAndNeverReused) {
    clsChannel* ch = addPublished("ch01", 1, 100);
    PictureElement* a = rig.boxes.Load();
    PictureElement* b = rig.boxes.Load();
    PictureElement* c = rig.boxes.Load();
    ch->AddThumbnailShowBox("1", a, false);
    ch->AddThumbnailShowBox("2", b, false);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("2"), 2);
    ch->RemoveThumbnailShowBox("2");
    ch->AddThumbnailShowBox("2", c, false);
    EXPECT_EQ(ch->ThumbnailCount(), 3);
    EXPECT_EQ(ch->ThumbnailMultiMonitorID(2), "");
    EXPECT_EQ(ch->ThumbnailShowBox(2), nullptr);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("2"), 3);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("9"), 0);
    ch->RemoveThumbnailShowBox("9");  // nothing to blank
    EXPECT_EQ(ch->ThumbnailCount(), 3);

    QSignalSpy control(rig.manager.get(), &clsChannelManeger::ChannelControlRefresh);
    ch->ViewControl(clsChannel::ThumbnailViewOpen, "2");
    EXPECT_TRUE(ch->ThumbnailIsActive(3));
    EXPECT_FALSE(ch->ThumbnailIsActive(1));
    EXPECT_TRUE(ch->IsAvailOtherActiveThumbnail("1"));
    EXPECT_FALSE(ch->IsAvailOtherActiveThumbnail("2"));
    ASSERT_EQ(control.count(), 1);
    EXPECT_EQ(control.at(0).at(1).toInt(), 2);
    EXPECT_EQ(control.at(0).at(2).toStringList(), (QStringList{"", "1", "2"}));

    // Closing the thumbnail view clears the flag even while another slot is
    // active; callers ask IsAvailOtherActiveThumbnail first.
    ch->ViewControl(clsChannel::ThumbnailViewOpen, "1");
    ch->ViewControl(clsChannel::ThumbnailViewClose, "2");
    EXPECT_EQ(ch->ViewFlag(), 0);
    EXPECT_TRUE(ch->ThumbnailIsActive(1));
    EXPECT_FALSE(ch->ThumbnailIsActive(3));
    EXPECT_TRUE(ch->IsAvailOtherActiveThumbnail("2"));
}

TEST_F(ChannelCycleTest, ControlStatusAndSaveStringReflectTheSwitches) {
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"), true);
    EXPECT_EQ(ch->SaveString(), QStringLiteral("VTR1\t\tch01\t\t名前\t\t%1\t\tTrue").arg(site.url("/ch01/info.txt")));
    ch->setSavePicture(false);
    EXPECT_TRUE(ch->SaveString().endsWith("\t\tFalse"));

    QStringList events;
    QObject guard;
    QObject::connect(rig.manager.get(), &clsChannelManeger::AddChannelToFavarite, &guard,
                     [&](const QString& id) { events << "add:" + id; });
    QObject::connect(rig.manager.get(), &clsChannelManeger::RemoveChannelFromFavarite, &guard,
                     [&](const QString& id) { events << "remove:" + id; });
    QObject::connect(
        rig.manager.get(), &clsChannelManeger::ChannelControlRefresh, &guard,
        [&](const QString& id, int flag, const QStringList&) { events << QStringLiteral("%1=%2").arg(id).arg(flag); });
    ch->setBelongFavarite(true);
    ch->setBelongFavarite(true);
    ch->setSavePicture(true);
    ch->Request_ChannelControlRefresh();
    ch->setBelongFavarite(false);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    EXPECT_EQ(events, (QStringList{"add:ch01", "add:ch01", "ch01=12", "remove:ch01", "ch01=5"}));
}

}  // namespace
