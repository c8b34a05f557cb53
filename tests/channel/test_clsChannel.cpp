#include "ChannelRig.h"
#include "Rows.h"

#include <QSignalSpy>

#include <atomic>
#include <future>

namespace {

using R = RawHttpServer;

QString path(const QString& id, const char* file) { return QStringLiteral("/%1/%2").arg(id, QLatin1String(file)); }
QString text(const clsChannel* ch) { return ch->InfomationString().value(1); }

class ChannelCycleTest : public ::testing::Test {
protected:
    // The first letters of the files asked for (i, f, t), or "." for none.
    static QString word(const QStringList& requests) {
        QString w;
        for (const QString& r : requests) w += r.section('/', 2).at(0);
        return w.isEmpty() ? QStringLiteral(".") : w;
    }
    // What the channel asks for at its opening (when open) and at each tick.
    std::string fetches(clsChannel* ch, int ticks, bool open = false) {
        QStringList words;
        for (int t = open ? -1 : 0; t < ticks; ++t) {
            const int before = site.requests().size();
            t < 0 ? ch->ViewControl(clsChannel::NormalViewOpen, QString()) : rig.tick();
            if (!ChannelRig::settle(ch)) return "unsettled in state " + std::to_string(int(ch->State()));
            words << word(site.requests().mid(before).filter("/" + ch->ChannelID() + "/"));
        }
        return words.join(' ').toStdString();
    }

    ChannelSite site;
    ChannelRig rig;
};

// A broadcasting channel asks for its picture every reload time its picture
// carries (else ReloadTime); any other status, or no picture address, for its
// info file; with 放送中の画像のみ表示 an off-air channel shows nothing until
// the switch is turned off, which fetches a paused one's picture at once.
struct CycleRow {
    const char* name;
    int status, pictureReload;  // -1: the pictures carry no record
    bool withURL, onlyOnBroadcast;
    const char *word, *expected;
};
class CycleTest : public ChannelCycleTest, public ::testing::WithParamInterface<CycleRow> {};

TEST_P(CycleTest, TheStatusDecidesWhatIsFetchedAtWhichTick) {
    const CycleRow& c = GetParam();
    const QByteArray plain = JpegFactory::make(64, 48);
    clsChannel* ch =
        rig.addPublished(site, c.name, c.status, 4,
                         c.pictureReload < 0 ? plain : JpegFactory::withRecord(plain, 0, c.pictureReload, "", ""),
                         false, [&c](InfoFile& i) { i.url = c.withURL ? i.url : QString(); });
    ASSERT_TRUE(ch);
    ch->setShowPictureOnlyOnBroadCast(c.onlyOnBroadcast);
    rig.tick(10);  // unviewed, it asks for nothing
    EXPECT_TRUE(text(ch).contains(QStringLiteral("閲覧停止中")));
    EXPECT_TRUE(site.requests().isEmpty());
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    EXPECT_TRUE(text(ch).contains(QStringLiteral("情報取得中")));
    EXPECT_EQ(ch->HTTP()->LastAddress(), site.url(path(c.name, "info.txt")));
    ASSERT_TRUE(ChannelRig::settle(ch));
    const int wait = c.pictureReload > 0 ? c.pictureReload : 4;
    EXPECT_TRUE(text(ch).startsWith(QStringLiteral("名前\u3000%1\u3000待機中\u30000/%2").arg(c.word).arg(wait)))
        << text(ch).toStdString();
    const QString opening = word(site.requests());
    EXPECT_EQ(opening.toStdString() + ' ' + fetches(ch, QString(c.expected).count(' ')), c.expected);
    EXPECT_EQ(ch->ShowBox()->HasPicture(), c.withURL && !c.onlyOnBroadcast);
    if (!c.onlyOnBroadcast) return;
    ch->setShowPictureOnlyOnBroadCast(false);
    EXPECT_EQ(ch->State(), c.status == 1 ? ChannelState::PictureRequested : ChannelState::Waiting);
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->ShowBox()->HasPicture(), c.status == 1);
    ch->setShowPictureOnlyOnBroadCast(true);
    EXPECT_FALSE(ch->ShowBox()->HasPicture());
    EXPECT_EQ(ch->PictureType(), PictureKind::None);
}

const CycleRow kCycles[] = {{"picture_reload", 0, 3, true, false, "放送中", "if . . f . . f"},
                            {"info_reload", 0, -1, true, false, "放送中", "if . . . f . . . f"},
                            {"paused", 1, -1, true, false, "休止中", "if . . . i . . . i"},
                            {"stopped", 2, -1, true, false, "中止中", "if . . . i . . . i"},
                            {"odd_status", 7, -1, true, false, "", "if . . . i . . . i"},
                            {"no_URL", 0, -1, false, false, "放送中", "i . . . i . . . i"},
                            {"odd_status_only_on_air", 7, -1, true, true, "", "i . . . i . . . i"},
                            {"paused_only_on_air", 1, -1, true, true, "休止中", "i . . . f . . . f"}};
VANTORA_ROWS(CycleTest, kCycles);

// A picture saying 休止中 sends a broadcasting channel back to its info
// file; an info file saying 中止中 has a paused one fetch its picture again.
TEST_F(ChannelCycleTest, AStatusChangeChangesWhatIsFetched) {
    clsChannel* onAir = rig.addPublished(site, "onair", 0, 4);
    EXPECT_EQ(fetches(onAir, 4, true), "if . . . f");
    site.picture("/onair/full.jpg", JpegFactory::withRecord(JpegFactory::make(64, 48), 1, 2, "", ""));
    EXPECT_EQ(fetches(onAir, 6), ". . . f . if");
    EXPECT_EQ(onAir->Status(), 1);
    EXPECT_EQ(onAir->WaitCount(), 2);
    onAir->ViewControl(clsChannel::NormalViewClose, QString());

    clsChannel* paused = rig.addPublished(site, "paused", 1, 4);
    QSignalSpy statusSpy(rig.manager.get(), &clsChannelManeger::ChannelStatusRefresh);
    EXPECT_EQ(fetches(paused, 0, true), "if");
    EXPECT_EQ(statusSpy.count(), 1);
    EXPECT_EQ(fetches(paused, 4), ". . . i");
    rig.publish(site, "paused", 2, 4);
    EXPECT_EQ(fetches(paused, 12), ". . . i . . . f . . . i");
    EXPECT_EQ(paused->Status(), 2);
    EXPECT_EQ(paused->ShowedStatus(), 2);
}

// The address a view asks for (no ThumbnailURL: URL) and the cache name; a
// normal view opening on a held thumbnail asks for the full picture at once.
struct ViewRow {
    const char* name;
    bool normal, thumbnailURL;
    const char *expectedPath, *cacheName, *fetching;
};
class ViewTest : public ChannelCycleTest, public ::testing::WithParamInterface<ViewRow> {};

TEST_P(ViewTest, ChoosesTheAddressAndTheCacheName) {
    const ViewRow& c = GetParam();
    const QByteArray jpeg = JpegFactory::make(80, 60, QColor(200, 10, 10));
    clsChannel* ch = rig.addPublished(site, c.name, 1, 5, jpeg, false, [&c](InfoFile& i) {
        i.thumbnailURL = c.thumbnailURL ? i.thumbnailURL : QString();
    });
    ManagerLog log(*rig.manager);
    ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
    if (c.normal) ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_TRUE(log.texts().contains(QString::fromUtf8(c.fetching)));
    EXPECT_EQ(site.requests().last(), path(c.name, c.expectedPath));
    EXPECT_EQ(ch->PictureType(), c.normal ? PictureKind::Full : PictureKind::Thumbnail);
    EXPECT_EQ(ch->PictureFile(), rig.cacheFile(c.cacheName));
    EXPECT_EQ(rig.cached(c.cacheName), jpeg);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    EXPECT_EQ(ch->HTTP()->LastAddress(), site.url(path(c.name, c.normal ? "info.txt" : "full.jpg")));
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->PictureType(), PictureKind::Full);
    EXPECT_EQ(rig.cached(QString(c.name) + ".jpg"), jpeg);
}

const ViewRow kViews[] = {{"both", true, true, "full.jpg", "both.jpg", "\u3000画像取得中"},
                          {"thumbnail", false, true, "thumb.jpg", "thumbnail_thumbnail.jpg", "サムネイル画像取得中"},
                          {"thumbnail_without_its_URL", false, false, "full.jpg",
                           "thumbnail_without_its_URL_thumbnail.jpg", "サムネイル画像取得中"}};
VANTORA_ROWS(ViewTest, kViews);

// The show box and every thumbnail box share one decoded picture; a removed
// slot is blanked and never reused.
TEST_F(ChannelCycleTest, ThumbnailSlotsShareOneDecodedPictureAndAreNeverReused) {
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 5, JpegFactory::make(640, 480));
    PictureElement *a = rig.boxes.Load(), *b = rig.boxes.Load(), *c = rig.boxes.Load();
    ch->AddThumbnailShowBox("1", a, false);
    ch->AddThumbnailShowBox("2", b, false);
    ManagerLog log(*rig.manager);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(log.events.filter("showbox:"), QStringList{"showbox:ch01"});
    const qint64 key = ch->DecodedPicture().cacheKey();
    for (PictureElement* box : {ch->ShowBox(), a, b}) EXPECT_EQ(box->Picture().cacheKey(), key);

    ch->RemoveThumbnailShowBox("2");
    ch->AddThumbnailShowBox("2", c, false);
    EXPECT_EQ(c->Picture().cacheKey(), key);
    EXPECT_EQ(ch->ThumbnailCount(), 3);
    EXPECT_EQ(ch->ThumbnailShowBox(2), nullptr);
    EXPECT_EQ(ch->getThumbnailShowBoxIndexFromMultiMonitorID("2"), 3);
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
}

// An answer to the info file or the picture: read, refused (state 5 or 6),
// wrong (エラー発生) or dropped (a content type the handler ignores). After a
// refused or wrong one the channel waits its previous wait (or
// DefaultWaitCount) and asks again; a dropped one keeps the request state
// until a view change finds the element idle.
enum Outcome { Read, Refused, Rejected, Dropped };
struct AnswerRow {
    const char* name;
    bool onPicture;
    const char *head, *body;  // body "info", "utf8", "jpeg" or the bytes; head nullptr: a reset
    Outcome outcome;
};
class AnswerTest : public ChannelCycleTest, public ::testing::WithParamInterface<AnswerRow> {};

TEST_P(AnswerTest, IsReadRefusedRejectedOrDropped) {
    const AnswerRow& c = GetParam();
    std::atomic<bool> failing{true};
    const QByteArray jpeg = JpegFactory::make(16, 16);
    QByteArray sjis;
    RawHttpServer raw([&](const QString& p) {
        const bool picture = p == "/full.jpg";
        if (!failing || c.onPicture != picture) return picture ? R::ok("image/jpeg", jpeg) : R::ok("text/plain", sjis);
        if (!c.head) return std::vector<R::Step>{R::reset()};
        const std::string b = c.body;
        const QByteArray body = b == "info"   ? sjis
                                : b == "jpeg" ? jpeg
                                : b == "utf8" ? Cp932::decode(sjis).toUtf8()
                                              : QByteArray(c.body);
        return R::answer(c.head, body);
    });
    InfoFile info;
    info.url = raw.url("/full.jpg");
    info.statusFlag = 1;
    info.reloadTime = 7;
    sjis = info.bytes();
    rig.settings.Timeout = 1;
    clsChannel* ch = rig.add("ch01", raw.url("/info.txt"));
    ManagerLog log(*rig.manager);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    if (c.outcome == Dropped) {
        ASSERT_TRUE(ChannelRig::idle(ch));
        rig.tick(20);
        EXPECT_EQ(ch->State(), ChannelState::InfoRequested);
        EXPECT_EQ(log.events, (QStringList{"control:ch01:1:", "info:ch01"}));
        failing = false;
        ch->ViewControl(clsChannel::ThumbnailViewOpen, QString());
        EXPECT_EQ(ch->State(), ChannelState::Waiting);
        rig.tick();
        EXPECT_EQ(ch->HTTP()->LastAddress(), raw.url("/info.txt"));
    } else if (c.outcome != Read) {
        ASSERT_TRUE(ChannelRig::settle(ch, 10000));
        EXPECT_TRUE(log.texts().contains(c.outcome == Rejected ? QStringLiteral("エラー発生")
                                         : c.onPicture         ? QStringLiteral("画像ファイルの取得に失敗")
                                                       : QStringLiteral("情報ファイルの取得に失敗")));
        const int wait = c.onPicture ? 7 : rig.settings.DefaultWaitCount;
        EXPECT_TRUE(text(ch).contains(QStringLiteral("待機中\u30000/%1").arg(wait)));
        EXPECT_EQ(ch->PictureType(), PictureKind::None);
        EXPECT_FALSE(ch->ShowBox()->HasPicture());
        EXPECT_FALSE(QFile::exists(rig.cacheFile("ch01.jpg")));
        const int requests = raw.requests().size();
        rig.tick(wait - 1);
        EXPECT_TRUE(text(ch).contains(QStringLiteral("待機中\u3000%1/%2").arg(wait - 1).arg(wait)));
        EXPECT_EQ(raw.requests().size(), requests);
        failing = false;
        rig.tick();
        EXPECT_EQ(ch->HTTP()->LastAddress(), raw.url(c.onPicture ? "/full.jpg" : "/info.txt"));
    }
    ASSERT_TRUE(ChannelRig::settle(ch, 10000));
    EXPECT_EQ(ch->Status(), 1);
    EXPECT_EQ(ch->PictureType(), PictureKind::Full);
    EXPECT_TRUE(log.texts().contains(QStringLiteral("テスト放送①")));
    EXPECT_TRUE(log.events.contains("status:ch01"));
}

const AnswerRow kAnswers[] = {
    {"HTTP_1_0_upper_case", false, "HTTP/1.0 200 OK\r\nContent-Type: TEXT/HTML", "info", Read},
    {"declared_UTF_8", false, "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=UTF-8", "utf8", Read},
    {"info_404", false, "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain", "info", Refused},
    {"info_reset", false, nullptr, "", Refused},
    {"picture_to_an_info_request", false, "HTTP/1.1 200 OK\r\nContent-Type: Image/JPEG", "jpeg", Rejected},
    {"info_without_required_keys", false, "HTTP/1.1 200 OK\r\nContent-Type: text/plain", "ChannelID=x\r\n", Rejected},
    {"octet_stream", false, "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream", "info", Dropped},
    {"picture_404", true, "HTTP/1.1 404 Not Found\r\nContent-Type: image/jpeg", "jpeg", Refused},
    {"text_to_a_picture_request", true, "HTTP/1.1 200 OK\r\nContent-Type: text/plain", "ChannelID=x", Rejected},
    {"JPEG_markers_the_decoder_refuses", true, "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg", "\xff\xd8\xff\xd9",
     Rejected},
    {"picture_without_a_body", true, "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg", "", Rejected}};
VANTORA_ROWS(AnswerTest, kAnswers);

// Pictures hanging on a server never hold up one it answers at once.
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
        clsChannel* ch = rig.addPublished(site, id, 0, 5, JpegFactory::make(64, 48), false,
                                          [&](InfoFile& i) { i.url = pictures.url(picture); });
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        return ch;
    };
    QList<clsChannel*> slow;
    for (int i = 0; i < 12; ++i) slow << open(QStringLiteral("slow%1").arg(i), "/slow.jpg");
    // The fast one starts once all twelve are held (a full backlog resends SYN a second later).
    ASSERT_TRUE(QTest::qWaitFor([&] { return pictures.count("/slow.jpg") == 12; }, 5000));
    clsChannel* fast = open("fast", "/fast.jpg");
    ASSERT_TRUE(ChannelRig::settle(fast));
    EXPECT_EQ(fast->PictureType(), PictureKind::Full);
    for (clsChannel* ch : slow) EXPECT_EQ(ch->State(), ChannelState::PictureRequested);
    release.set_value();
    for (clsChannel* ch : slow) ASSERT_TRUE(ChannelRig::settle(ch) && QFile::exists(ch->PictureFile()));
}

// A response after the last view closed is handled; then the channel stops.
// Progress states, completions of elements that are no channel's and
// unknown indexes change nothing meanwhile.
TEST_F(ChannelCycleTest, AResponseAfterTheLastViewClosedEndsTheCycle) {
    clsChannel* ch = rig.addPublished(site, "ch01", 1, 5, JpegFactory::make(64, 48), false, {}, 300);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ch->ViewControl(clsChannel::NormalViewClose, QString());
    HTTPTransfer* stray = rig.http.getNewHTTPObject(5, QString(), false);
    stray->Tag = "nobody";
    stray->Execute(site.url("/ch01/info.txt"));
    for (int state : {0, 1, 4, 8, 10, 13}) rig.completion->netChannelHTTP_StateChanged(ch->HTTP()->Index(), state);
    for (int index : {0, 999, -1})
        for (int state : {11, 12}) rig.completion->netChannelHTTP_StateChanged(index, state);
    EXPECT_EQ(ch->State(), ChannelState::InfoRequested);
    ASSERT_TRUE(QTest::qWaitFor([ch] { return ch->State() == ChannelState::Stopped; }, 5000));
    EXPECT_EQ(ch->Status(), 1);
    rig.tick(10);
    EXPECT_EQ(site.requests(), (QStringList{"/ch01/info.txt", "/ch01/info.txt"}));
}

// A channel whose every picture is damaged (bytes before the end marker),
// polled every second for 20 s: the picture shows, and what the decoder
// says of it reaches the log once, through our category, not once or twice
// a poll through Qt's.
TEST_F(ChannelCycleTest, ADamagedPictureIsLoggedOncePerChannel) {
    static QStringList lines;
    lines.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext& c, const QString& m) {
            lines << QString::fromLatin1(c.category ? c.category : "") + ": " + m;
        });
    QByteArray damaged = JpegFactory::make(64, 48);
    damaged.insert(damaged.size() - 2, QByteArray(7, '\x11'));
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 1, damaged);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    for (int second = 0; second < 20; ++second) {
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(ch));
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(64, 48));
    EXPECT_EQ(site.requests().count("/ch01/full.jpg"), 21);
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("vantora.channel: picture of ch01 damaged:")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("extraneous bytes")) << lines[0].toStdString();
}

}  // namespace
