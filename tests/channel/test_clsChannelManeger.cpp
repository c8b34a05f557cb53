// The channel table, selection events, the tick's order, and the completion
// handler's reading of status lines and content types.

#include "ChannelRig.h"

#include <QSignalSpy>

namespace {

// The manager's six events in the order they were raised, as "event:id".
class EventLog {
public:
    explicit EventLog(clsChannelManeger& m) {
        QObject::connect(&m, &clsChannelManeger::ChannelInfomationRefresh, &guard_,
                         [this](const QString& id, const QStringList& info) {
                             events << "info:" + id;
                             infos << info;
                         });
        QObject::connect(&m, &clsChannelManeger::ChannelControlRefresh, &guard_,
                         [this](const QString& id, int flag, const QStringList& belong) {
                             events << "control:" + id;
                             flags << flag;
                             belongs << belong;
                         });
        QObject::connect(&m, &clsChannelManeger::ShowBoxRefresh, &guard_,
                         [this](const QString& id) { events << "showbox:" + id; });
        QObject::connect(&m, &clsChannelManeger::AddChannelToFavarite, &guard_,
                         [this](const QString& id) { events << "addfav:" + id; });
        QObject::connect(&m, &clsChannelManeger::RemoveChannelFromFavarite, &guard_,
                         [this](const QString& id) { events << "removefav:" + id; });
        QObject::connect(&m, &clsChannelManeger::ChannelStatusRefresh, &guard_,
                         [this](const QString& id) { events << "status:" + id; });
    }
    void clear() {
        events.clear();
        infos.clear();
        flags.clear();
        belongs.clear();
    }
    QStringList events;
    QList<QStringList> infos;
    QList<int> flags;
    QList<QStringList> belongs;

private:
    QObject guard_;
};

QStringList record(const QString& id, const QString& save, int pieces = 6) {
    QStringList r{"Channel", "VTR1", id, "名前", "http://127.0.0.1:9/info.txt", save, "extra"};
    return r.mid(0, pieces);
}

TEST(ChannelManegerTest, ChannelInitializeAcceptsWellFormedRecordsOnly) {
    struct Case {
        const char* name;
        QStringList record;
        bool created;
        bool save;
    };
    const Case cases[] = {
        {"True", record("ch01", "True"), true, true},
        {"minus one", record("ch02", "-1"), true, true},
        {"zero", record("ch03", "0"), true, false},
        {"fALSE", record("ch04", "fALSE"), true, false},
        {"more pieces than needed", record("ch05", "true", 7), true, true},
        {"same ChannelID in another case", record("CH01", "False"), false, false},
        {"five pieces", record("ch06", "True", 5), false, false},
        {"two pieces", record("ch07", "True", 2), false, false},
        {"no pieces", QStringList(), false, false},
        {"save flag that is no Boolean", record("ch08", "yes"), false, false},
        {"empty save flag", record("ch09", ""), false, false},
        {"empty ChannelID", record("", "True"), false, false},
    };
    ChannelRig rig;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int channels = rig.manager->ChannelCount();
        const int elements = rig.http.Count();
        PictureElement* box = rig.boxes.Load();
        EXPECT_EQ(rig.manager->ChannelInitialize(box, c.record), c.created);
        EXPECT_EQ(rig.manager->ChannelCount(), channels + (c.created ? 1 : 0));
        EXPECT_EQ(rig.http.Count(), elements + (c.created ? 1 : 0));
        if (!c.created) continue;
        clsChannel* ch = rig.manager->ChannelAt(rig.manager->ChannelCount());
        EXPECT_EQ(ch->ChannelID(), c.record[2]);
        EXPECT_EQ(ch->SavePicture(), c.save);
        EXPECT_EQ(ch->Protocol(), "VTR1");
        EXPECT_EQ(ch->ChannelName(), "名前");
        EXPECT_EQ(ch->ShowBox(), box);
        EXPECT_EQ(box->Tag, c.record[2]);
        EXPECT_EQ(ch->State(), 1);
        EXPECT_EQ(ch->Status(), 3);
        EXPECT_EQ(ch->WaitCount(), -1);
        EXPECT_EQ(ch->PictureType(), 1);
    }
    // The first spelling stays; lookups ignore case.
    EXPECT_EQ(rig.manager->Channel("CH01")->ChannelID(), "ch01");
    EXPECT_EQ(rig.manager->Channel("cH05"), rig.manager->ChannelAt(5));
    EXPECT_EQ(rig.manager->Channel("nobody"), nullptr);
    EXPECT_EQ(rig.manager->Channel(""), nullptr);
    EXPECT_EQ(rig.manager->ChannelAt(0), nullptr);
    EXPECT_EQ(rig.manager->ChannelAt(6), nullptr);
}

TEST(ChannelManegerTest, EachChannelGetsItsOwnElementWithTheCurrentSettings) {
    ChannelRig rig;
    rig.settings.Timeout = 17;
    rig.settings.Proxy = "127.0.0.1:3128";
    rig.settings.ProxyEnable = true;
    ASSERT_TRUE(rig.manager->ChannelInitialize(rig.boxes.Load(), record("viaproxy", "False")));
    rig.settings.ProxyEnable = false;
    ASSERT_TRUE(rig.manager->ChannelInitialize(rig.boxes.Load(), record("direct", "False")));

    HTTPTransfer* a = rig.manager->Channel("viaproxy")->HTTP();
    HTTPTransfer* b = rig.manager->Channel("direct")->HTTP();
    EXPECT_EQ(a, rig.http.Element(1));
    EXPECT_EQ(b, rig.http.Element(2));
    EXPECT_EQ(a->Tag, "viaproxy");
    EXPECT_EQ(b->Tag, "direct");
    EXPECT_EQ(a->RequestTimeout, 17);
    EXPECT_EQ(a->AccessType, 2);
    EXPECT_EQ(a->Proxy, "127.0.0.1:3128");
    EXPECT_EQ(b->AccessType, 0);
    EXPECT_EQ(b->Proxy, "");
}

TEST(ChannelManegerTest, SelectingAndUnselectingRaiseTheirEventsInOrder) {
    ChannelRig rig;
    ASSERT_TRUE(rig.manager->ChannelInitialize(rig.boxes.Load(), record("ch01", "True")));
    ASSERT_TRUE(rig.manager->ChannelInitialize(rig.boxes.Load(), record("ch02", "False")));
    rig.manager->Channel("ch01")->AddThumbnailShowBox("4", rig.boxes.Load(), false);
    EventLog log(*rig.manager);
    QSignalSpy control(rig.manager.get(), &clsChannelManeger::ChannelControlRefresh);

    rig.manager->setSelectedChannelID("ch01");
    EXPECT_EQ(rig.manager->SelectedChannelID(), "ch01");
    EXPECT_EQ(log.events, (QStringList{"control:ch01", "info:ch01", "showbox:ch01"}));
    EXPECT_EQ(log.flags, QList<int>{4});
    EXPECT_EQ(log.belongs.value(0), (QStringList{"", "4"}));
    EXPECT_TRUE(log.infos.value(0).value(1).startsWith(QStringLiteral("名前\u3000情報なし\u3000閲覧停止中\u30000/-1")));

    // The same value again raises everything again.
    log.clear();
    rig.manager->setSelectedChannelID("ch01");
    EXPECT_EQ(log.events, (QStringList{"control:ch01", "info:ch01", "showbox:ch01"}));

    log.clear();
    rig.manager->setSelectedChannelID("");
    EXPECT_EQ(rig.manager->SelectedChannelID(), "");
    EXPECT_EQ(log.events, (QStringList{"control:", "info:"}));
    EXPECT_EQ(log.flags, QList<int>{0});
    EXPECT_EQ(log.belongs.value(0), QStringList{""});
    EXPECT_EQ(log.infos.value(0), QStringList{""});

    // A selection that names no channel clears the window like no selection.
    log.clear();
    rig.manager->setSelectedChannelID("nobody");
    EXPECT_EQ(rig.manager->SelectedChannelID(), "nobody");
    EXPECT_EQ(log.events, (QStringList{"control:", "info:"}));
    EXPECT_EQ(control.count(), 4);
}

TEST(ChannelManegerTest, ATickReachesTheChannelsInTheOrderTheyWereCreated) {
    ChannelSite site;
    ChannelRig rig;
    const QStringList ids{"zeta", "alpha", "Mid", "idle"};
    for (const QString& id : ids) {
        rig.publish(site, id, 1, 100);
        ASSERT_TRUE(rig.add(id, site.url("/" + id + "/info.txt")));
    }
    for (const QString& id : ids.mid(0, 3)) {
        clsChannel* ch = rig.manager->Channel(id);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
    }
    EventLog log(*rig.manager);
    rig.tick();
    EXPECT_EQ(log.events, (QStringList{"info:zeta", "info:alpha", "info:Mid"}));
    for (const QString& id : ids.mid(0, 3)) EXPECT_EQ(rig.manager->Channel(id)->SecondCount(), 1);
    EXPECT_EQ(rig.manager->Channel("idle")->SecondCount(), 0);
}

TEST(ChannelManegerTest, SwitchesAndFolderRemovalReachEveryChannel) {
    ChannelRig rig;
    for (const char* id : {"a", "b", "c"})
        ASSERT_TRUE(rig.manager->ChannelInitialize(rig.boxes.Load(), record(id, "0")));
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(rig.manager->ChannelAt(i)->ShowPictureOnlyOnBroadCast());

    rig.manager->ChannelAt(1)->AddThumbnailShowBox("3", rig.boxes.Load(), true);
    rig.manager->ChannelAt(1)->AddThumbnailShowBox("7", rig.boxes.Load(), true);
    rig.manager->ChannelAt(3)->AddThumbnailShowBox("3", rig.boxes.Load(), false);
    rig.manager->DeleteMultiMonitor("3");
    EXPECT_EQ(rig.manager->ChannelAt(1)->getThumbnailShowBoxIndexFromMultiMonitorID("3"), 0);
    EXPECT_EQ(rig.manager->ChannelAt(1)->getThumbnailShowBoxIndexFromMultiMonitorID("7"), 2);
    EXPECT_EQ(rig.manager->ChannelAt(3)->getThumbnailShowBoxIndexFromMultiMonitorID("3"), 0);
    EXPECT_EQ(rig.manager->ChannelAt(3)->ThumbnailCount(), 1);
}

// The completion handler: the status line must hold "200", the content type
// decides between text, bytes and nothing.
TEST(ChannelHTTPCompletionTest, StatusLineAndContentTypeDecideWhatTheChannelGets) {
    enum Outcome { Analysed, Refused, Rejected, Dropped };
    struct Case {
        const char* name;
        QByteArray head;  // status line and headers, without the blank line
        QByteArray body;
        Outcome outcome;
    };
    InfoFile info;
    info.statusFlag = 2;
    info.reloadTime = 30;
    info.url = "http://127.0.0.1:9/full.jpg";
    const QByteArray sjis = info.bytes();
    QByteArray utf8 = sjis;
    utf8 = Cp932::decode(sjis).toUtf8();
    const Case cases[] = {
        {"200 text/plain", "HTTP/1.1 200 OK\r\nContent-Type: text/plain", sjis, Analysed},
        {"HTTP/1.0 and upper case", "HTTP/1.0 200 OK\r\nContent-Type: TEXT/HTML", sjis, Analysed},
        {"declared UTF-8", "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=UTF-8", utf8, Analysed},
        {"404", "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain", sjis, Refused},
        {"500", "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/plain", sjis, Refused},
        {"204 without a body", "HTTP/1.1 204 No Content", {}, Refused},
        {"image to an info request", "HTTP/1.1 200 OK\r\nContent-Type: Image/JPEG", sjis, Rejected},
        {"octet-stream", "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream", sjis, Dropped},
        {"no content type", "HTTP/1.1 200 OK", sjis, Dropped},
    };
    ChannelRig rig;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpServer raw([&](const QString&) -> std::vector<RawHttpServer::Step> {
            QByteArray answer = c.head + "\r\nConnection: close\r\n";
            if (!c.body.isEmpty()) answer += "Content-Length: " + QByteArray::number(c.body.size()) + "\r\n";
            return {RawHttpServer::send(answer + "\r\n" + c.body), RawHttpServer::close()};
        });
        clsChannel* ch = rig.add(QStringLiteral("c%1").arg(++n), raw.url("/info.txt"));
        ASSERT_TRUE(ch);
        EventLog log(*rig.manager);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::idle(ch));
        QString texts;
        for (const QStringList& i : log.infos) texts += i.value(1) + "\n";
        switch (c.outcome) {
            case Analysed:
                EXPECT_EQ(ch->Status(), 2);
                EXPECT_TRUE(texts.contains(QStringLiteral("画像取得中")));  // the picture came next
                EXPECT_TRUE(texts.contains(QStringLiteral("テスト放送"))) << texts.toStdString();
                EXPECT_TRUE(log.events.contains("status:" + ch->ChannelID()));
                break;
            case Refused:
                EXPECT_TRUE(texts.contains(QStringLiteral("情報ファイルの取得に失敗")));
                EXPECT_EQ(ch->State(), 4);
                break;
            case Rejected:
                EXPECT_TRUE(texts.contains(QStringLiteral("エラー発生")));
                EXPECT_EQ(ch->State(), 4);
                break;
            case Dropped:
                EXPECT_EQ(ch->State(), 2);
                EXPECT_EQ(log.events, (QStringList{"control:" + ch->ChannelID(), "info:" + ch->ChannelID()}));
                break;
        }
        ch->ViewControl(clsChannel::NormalViewClose, QString());
        ASSERT_TRUE(ChannelRig::idle(ch));
    }
}

TEST(ChannelHTTPCompletionTest, ElementsAndStatesWithoutAChannelAreIgnored) {
    ChannelSite site;
    ChannelRig rig;
    rig.publish(site, "ch01", 0, 5);
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"));
    EventLog log(*rig.manager);

    // An element whose tag names no channel completes without effect.
    HTTPTransfer* stray = rig.http.getNewHTTPObject(5, QString(), false);
    stray->Tag = "nobody";
    QSignalSpy done(&rig.http, &HTTPTransferArray::StateChanged);
    stray->Execute(site.url("/ch01/info.txt"));
    ASSERT_TRUE(done.wait(5000));
    rig.completion->netChannelHTTP_StateChanged(0, 12);
    rig.completion->netChannelHTTP_StateChanged(999, 11);
    rig.completion->netChannelHTTP_StateChanged(-1, 12);
    // States other than 11 and 12 are progress reports.
    for (int state : {0, 1, 4, 8, 10, 13}) rig.completion->netChannelHTTP_StateChanged(ch->HTTP()->Index(), state);
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(ch->State(), 1);
}

}  // namespace
