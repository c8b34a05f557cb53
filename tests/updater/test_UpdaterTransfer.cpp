// Downloads of channel lists and information files against a real server.

#include "TestHttpServer.h"
#include "UpdaterFixture.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QProgressBar>
#include <QSignalSpy>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

namespace {

const QString kUnnamed = QStringLiteral("チャンネル名 未取得");
const QString kListFailed = QStringLiteral(" - チャンネルリストファイルを取得できませんでした");
const QString kInfoFailed = QStringLiteral(" - チャンネル情報ファイルを取得できませんでした");

QByteArray sjis(const QString& text) { return Cp932::encode(text); }

// A port on 127.0.0.1 where nothing listens.
int deadPort() {
    TestHttpServer probe;
    probe.start();
    return probe.port();
}

// Holds answers of a server handler until the test lets them go.
class Gate {
public:
    void wait() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, std::chrono::seconds(20), [this] { return open_; });
    }
    void open() {
        {
            std::lock_guard<std::mutex> lock(m_);
            open_ = true;
        }
        cv_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool open_ = false;
};

// A real server whose answers the test changes between operations, and
// which counts how many requests it serves at once.
class ListServer {
public:
    ListServer() {
        server.handle(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            Route r;
            {
                std::lock_guard<std::mutex> lock(m);
                auto it = routes.find(req.path);
                if (it == routes.end()) {
                    res.status = 404;
                    return;
                }
                r = it->second;
            }
            const int now = ++inFlight;
            int seen = maxInFlight.load();
            while (now > seen && !maxInFlight.compare_exchange_weak(seen, now)) {
            }
            if (r.gate) r.gate->wait();
            // Server side only: widens any overlap of two requests.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            res.status = r.status;
            res.set_content(r.body.toStdString(), r.type.c_str());
            --inFlight;
        });
        server.start();
    }
    void set(const std::string& path, const QByteArray& body, const std::string& type = "text/plain",
             int status = 200, Gate* gate = nullptr) {
        std::lock_guard<std::mutex> lock(m);
        routes[path] = Route{body, type, status, gate};
    }
    QString url(const char* path) const { return server.url(QString::fromLatin1(path)); }
    QStringList requests() const { return server.requests(); }
    void clearLog() { server.clearLog(); }

    std::atomic<int> inFlight{0};
    std::atomic<int> maxInFlight{0};

private:
    struct Route {
        QByteArray body;
        std::string type;
        int status = 200;
        Gate* gate = nullptr;
    };
    TestHttpServer server;
    std::mutex m;
    std::map<std::string, Route> routes;
};

class UpdaterTransferTest : public UpdaterTest {
protected:
    void SetUp() override {
        UpdaterTest::SetUp();
        w->netHTTP->RequestTimeout = 10;
    }
    ListServer server;
    QString url(const char* path) { return server.url(path); }
};

TEST_F(UpdaterTransferTest, NewListsAreGroupedByTheDottedPartsOfTheirIdentifiers) {
    server.set("/list1",
                 sjis(QStringLiteral("a.b.c , sig1 , %1 , extra, more\r\n"
                                     "\r\n"
                                     "   \n"
                                     "a.b.d,sig2,%2\n"
                                     "a.x.e,sig3,%3\n"
                                     "solo,sig4,%4\n")
                          .arg(url("/i/c"), url("/i/d"), url("/i/e"), url("/i/solo"))),
                 "text/plain");
    server.set("/list2", sjis(QStringLiteral("a.b.z,sig5,%1\nother,sig6,%2\n").arg(url("/i/z"), url("/i/o"))),
                 "text/plain");
        load();
    const QString list1 = url("/list1");
    const QString list2 = url("/list2");

    answers << list1;
    w->mnuAddChannelList_Click();
    EXPECT_EQ(w->UpdateState(), 4);
    EXPECT_EQ(w->NewChannelListURL(), list1);
    EXPECT_EQ(status(), QStringLiteral("チャンネルリストファイルの取得中"));
    EXPECT_FALSE(w->mnuAddChannelList->isEnabled());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(prompts, QStringList{QStringLiteral("追加するチャンネルリストのURLを入力して下さい|チャンネルリストの追加")});
    EXPECT_EQ(status(), QStringLiteral("チャンネルリストの更新完了"));
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(w->NewChannelListURL(), QString());
    EXPECT_EQ(w->TargetIndex(), -1);

    EXPECT_EQ(shape(), (QStringList{"0|a", "1|b(" + list1 + ")", "2|" + kUnnamed + "(a.b.c)",
                                    "2|" + kUnnamed + "(a.b.d)", "1|x(" + list1 + ")", "2|" + kUnnamed + "(a.x.e)",
                                    QStringLiteral("0|分類なし"), "1|" + kUnnamed + "(solo)"}));
    EXPECT_EQ(tag(node("a")), QStringLiteral("Node|a"));
    EXPECT_EQ(tag(node("b(" + list1 + ")")), "ChannelList|b|" + list1);
    EXPECT_EQ(tag(node("x(" + list1 + ")")), "ChannelList|x|" + list1);
    EXPECT_EQ(tag(node(kUnnamed + "(a.b.c)")), "Channel|a.b.c|sig1|" + kUnnamed + "|" + url("/i/c") + "|False");
    EXPECT_TRUE(node("a")->isExpanded());
    EXPECT_TRUE(node("b(" + list1 + ")")->isExpanded());
    QTreeWidgetItem* unknown = node(QStringLiteral("分類なし"));
    EXPECT_EQ(tag(unknown), QStringLiteral("Node|分類なし"));
    EXPECT_EQ(updater::frmMain::Key(unknown), QStringLiteral("tvwKey_UnKnown_Organization"));

    // A second list whose group path exists puts its channel under that
    // node, which stays the first list's; its identifier without "." joins
    // the one 分類なし root.
    addList(list2);
    EXPECT_EQ(shape(), (QStringList{"0|a", "1|b(" + list1 + ")", "2|" + kUnnamed + "(a.b.c)",
                                    "2|" + kUnnamed + "(a.b.d)", "2|" + kUnnamed + "(a.b.z)", "1|x(" + list1 + ")",
                                    "2|" + kUnnamed + "(a.x.e)", QStringLiteral("0|分類なし"),
                                    "1|" + kUnnamed + "(solo)", "1|" + kUnnamed + "(other)"}));

    // Adding the same list again reuses its channels (names back to the
    // placeholder), adds the new ones and keeps those no longer listed.
    QTreeWidgetItem* c = node(kUnnamed + "(a.b.c)");
    c->setText(0, QStringLiteral("named(a.b.c)"));
    server.set("/list1", sjis(QStringLiteral("a.b.c,sigNew,%1\na.b.n,sig7,%2\n").arg(url("/i/c2"), url("/i/n"))),
                 "text/plain");
    addList(list1);
    EXPECT_EQ(node(kUnnamed + "(a.b.c)"), c);
    EXPECT_EQ(tag(c), "Channel|a.b.c|sigNew|" + kUnnamed + "|" + url("/i/c2") + "|False");
    EXPECT_EQ(shape().mid(0, 6), (QStringList{"0|a", "1|b(" + list1 + ")", "2|" + kUnnamed + "(a.b.c)",
                                              "2|" + kUnnamed + "(a.b.d)", "2|" + kUnnamed + "(a.b.z)",
                                              "2|" + kUnnamed + "(a.b.n)"}));

    // Updating a list node replaces all its children, groups included, by
    // the list's channels in file order, without grouping.
    server.set("/list1", sjis(QStringLiteral("a.x.e,s1,%1\nsolo2,s2,%2\nq.r.s.t,s3,%3\n")
                                    .arg(url("/i/e"), url("/i/s2"), url("/i/t"))),
                 "text/plain");
    QTreeWidgetItem* b = node("b(" + list1 + ")");
    select(b);
    w->mnuUpdateChannelList_Click();
    EXPECT_EQ(w->UpdateState(), 2);
    EXPECT_EQ(w->TargetIndex(), updater::frmMain::NodeId(b));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(status(), QStringLiteral("チャンネルリストの更新完了"));
    QStringList under;
    for (int i = 0; i < b->childCount(); ++i) under << b->child(i)->text(0);
    EXPECT_EQ(under, (QStringList{kUnnamed + "(a.x.e)", kUnnamed + "(solo2)", kUnnamed + "(q.r.s.t)"}));
    EXPECT_EQ(tag(b->child(2)), "Channel|q.r.s.t|s3|" + kUnnamed + "|" + url("/i/t") + "|False");
    EXPECT_EQ(server.requests(), (QStringList{"/list1", "/list2", "/list1", "/list1"}));
}

// Each refusal, for a new list and for an update, ends the operation and
// leaves the tree as it was.
TEST_F(UpdaterTransferTest, RefusedListsChangeNothingAndEndTheOperation) {
    server.set("/missing", "gone", "text/plain", 404);
    server.set("/binary", "a.b.c,s,u\n", "application/octet-stream");
    server.set("/upper", "a.b.c,s,u\n", "Text/Plain");
    RawHttpServer silent([](const QString&) { return std::vector<RawHttpServer::Step>{RawHttpServer::silence()}; });
    RawHttpServer reset([](const QString&) { return std::vector<RawHttpServer::Step>{RawHttpServer::reset()}; });

    struct Row {
        const char* name;
        QString address;
        QString statusPrefix;  // empty: any text from the transfer
    };
    const std::vector<Row> rows = {
        {"status line", url("/missing"), QStringLiteral("HTTP/1.1 404 Not Found")},
        {"content type", url("/binary"), QStringLiteral("application/octet-stream")},
        {"content type in other case", url("/upper"), QStringLiteral("Text/Plain")},
        {"connection refused", QStringLiteral("http://127.0.0.1:%1/l").arg(deadPort()), QString()},
        {"reset", reset.url("/l"), QString()},
        {"no answer", silent.url("/l"), QString()},
        {"unusable address", QStringLiteral("nonsense:/x"), QString()},
    };

    dir.write("ChannelList.txt", "Node\tg\tTrue\r\n\tChannelList\t\tL\t\tTrue\t\thttp://127.0.0.1:1/l\r\n"
                                 "\t\tChannel\t\ts\t\tg.c\t\tname\t\thttp://127.0.0.1:1/i\t\tTrue\r\n");
    load();
    w->netHTTP->RequestTimeout = 1;  // the silent server answers nothing
    const QStringList before = shape();
    QTreeWidgetItem* list = w->tvwChannelSelect->topLevelItem(0)->child(0);

    for (const Row& row : rows) {
        for (bool update : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (update ? " (update)" : " (add)"));
            if (update) {
                list->setData(0, Qt::UserRole, updater::JoinTag({"ChannelList", "L", row.address}));
                select(list);
                w->mnuUpdateChannelList_Click();
                EXPECT_EQ(w->UpdateState(), 2);
            } else {
                answers << row.address;
                w->mnuAddChannelList_Click();
                EXPECT_EQ(w->UpdateState(), 4);
            }
            EXPECT_FALSE(commandsEnabled());
            ASSERT_TRUE(waitIdle());
            EXPECT_TRUE(status().endsWith(kListFailed)) << status().toStdString();
            if (!row.statusPrefix.isEmpty())
                EXPECT_EQ(status(), row.statusPrefix + kListFailed);
            else
                EXPECT_GT(status().size(), kListFailed.size());
            EXPECT_TRUE(commandsEnabled());
            EXPECT_EQ(w->TargetIndex(), -1);
            EXPECT_EQ(w->PendingChannelNodes(), QVector<qint64>{0});
            EXPECT_EQ(shape(), before);
        }
    }
}

TEST_F(UpdaterTransferTest, InformationFilesNameTheChannelsOneRequestAtATime) {
    server.set("/list", sjis(QStringLiteral("g.c1,p1,%1\ng.c2,p2,%2\ng.c3,p3,%3\n")
                                   .arg(url("/i1"), url("/i2"), url("/i3"))),
                 "text/plain");
    server.set("/i1", sjis(QStringLiteral("ChannelID=x\r\nChannelName = 第一放送 \r\nchannelname=wrong\r\n"
                                          "ProtocolSignature= NewSig1 \r\nURL=http://x/\r\n")));
    server.set("/i2", "ChannelName=never", "text/plain", 404);
    server.set("/i3", QStringLiteral("ChannelName=③テスト\nCHANNELNAME=wrong\nChannelName=最後①\n").toUtf8(),
               "text/plain; charset=UTF-8");
        load();
    addList(url("/list"));

    QTreeWidgetItem* list = node("g(" + url("/list") + ")");
    ASSERT_NE(list, nullptr);
    // Progress after each answer, as the user sees it.
    QStringList progress;
    QObject::connect(w->netHTTP, &HTTPTransfer::StateChanged, w.get(), [&] {
        progress << (!w->prgUpdateChannel->isHidden() ? QString::number(w->prgUpdateChannel->value()) + "/" +
                               QString::number(w->prgUpdateChannel->maximum())
                         : QStringLiteral("hidden"));
    });
    select(list);
    w->mnuUpdateChannel_Click();
    EXPECT_EQ(w->UpdateState(), 3);
    EXPECT_EQ(w->TargetIndex(), 1);
    EXPECT_EQ(w->PendingChannelNodes().size(), 4);
    EXPECT_EQ(status(), QStringLiteral("チャンネル情報ファイルの取得中"));
    EXPECT_FALSE(commandsEnabled());
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(status(), QStringLiteral("チャンネル情報の更新完了"));
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(w->PendingChannelNodes(), QVector<qint64>{0});
    EXPECT_EQ(list->child(0)->text(0), QStringLiteral("第一放送(g.c1)"));
    EXPECT_EQ(tag(list->child(0)), QStringLiteral("Channel|g.c1|NewSig1|第一放送|") + url("/i1") + "|False");
    EXPECT_EQ(tag(list->child(1)), "Channel|g.c2|p2|" + kUnnamed + "|" + url("/i2") + "|False");
    EXPECT_EQ(list->child(2)->text(0), QStringLiteral("最後①(g.c3)"));
    EXPECT_EQ(server.requests(), (QStringList{"/list", "/i1", "/i2", "/i3"}));
    EXPECT_EQ(server.maxInFlight.load(), 1);
    EXPECT_EQ(progress, (QStringList{"1/3", "2/3", "hidden"}));
}

TEST_F(UpdaterTransferTest, TheLastInformationFileDecidesTheClosingText) {
    server.set("/list", sjis(QStringLiteral("g.a,p,%1\ng.b,p,%2\n").arg(url("/ia"), url("/ib"))), "text/plain");
    server.set("/ia", "ChannelName=A\n", "text/plain");
        const int dead = deadPort();
    load();
    addList(url("/list"));
    QTreeWidgetItem* list = node("g(" + url("/list") + ")");
    ASSERT_NE(list, nullptr);
    auto pointLastAt = [&](const QString& address) {
        QStringList f = updater::SplitTag(updater::frmMain::Tag(list->child(1)));
        f[4] = address;
        list->child(1)->setData(0, Qt::UserRole, updater::JoinTag(f));
    };

    // Refused by its content type: the failure text stays.
    server.set("/ib", "ChannelName=B\n", "image/jpeg");
    pointLastAt(url("/ib"));
    select(list);
    w->mnuUpdateChannel_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(status(), "HTTP/1.1 200 OK" + kInfoFailed);
    EXPECT_TRUE(commandsEnabled());

    // Refused by its status line, or not answered at all: the run ends
    // with the closing text.
    server.set("/ib", "x", "text/plain", 500);
    w->mnuUpdateChannel_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(status(), QStringLiteral("チャンネル情報の更新完了"));

    pointLastAt(QStringLiteral("http://127.0.0.1:%1/ib").arg(dead));
    QStringList texts;
    QObject::connect(w->netHTTP, &HTTPTransfer::StateChanged, w.get(), [&] { texts << status(); });
    w->mnuUpdateChannel_Click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(texts.size(), 2);
    EXPECT_EQ(texts[0], QStringLiteral("チャンネル情報ファイルの取得中"));
    EXPECT_EQ(texts[1], QStringLiteral("チャンネル情報の更新完了"));
    EXPECT_EQ(list->child(0)->text(0), QStringLiteral("A(g.a)"));
    EXPECT_TRUE(commandsEnabled());
}

TEST_F(UpdaterTransferTest, OnlyChannelChildrenAreFetchedAndAnEmptyListDoesNothing) {
    server.set("/i", "ChannelName=Named\n", "text/plain");
        dir.write("ChannelList.txt",
              QStringLiteral("ChannelList\t\tEmpty\t\tTrue\t\thttp://127.0.0.1:1/e\r\n"
                             "ChannelList\t\tMixed\t\tTrue\t\thttp://127.0.0.1:1/m\r\n"
                             "\tNode\tgroup\tTrue\r\n"
                             "\t\tChannel\t\tp\t\tdeep\t\tn\t\t%1\t\tFalse\r\n"
                             "\tChannel\t\tp\t\tc\t\tn\t\t%1\t\tFalse\r\n")
                  .arg(url("/i"))
                  .toUtf8());
    load();

    select(w->tvwChannelSelect->topLevelItem(0));
    w->mnuUpdateChannel_Click();
    EXPECT_EQ(w->UpdateState(), 1);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_TRUE(status().isEmpty());

    QTreeWidgetItem* mixed = w->tvwChannelSelect->topLevelItem(1);
    select(mixed);
    w->mnuUpdateChannel_Click();
    EXPECT_EQ(w->PendingChannelNodes().size(), 2);  // the group's channel is not a direct child
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(server.requests(), QStringList{"/i"});
    EXPECT_EQ(mixed->child(1)->text(0), QStringLiteral("Named(c)"));
    EXPECT_EQ(mixed->child(0)->child(0)->text(0), QStringLiteral("n(deep)"));
}

TEST_F(UpdaterTransferTest, ListLinesThatWouldBreakTheFileAreSkippedOrCleaned) {
    server.set("/list",
                 QStringLiteral("short,only\n"
                                ",sig,http://h/i\n"
                                "g.noSig, ,http://h/i\n"
                                "g.noUrl,sig,\n"
                                "a..b,sig,http://h/i\n"
                                ".lead,sig,http://h/i\n"
                                "g.tab\tbed,si\u0001g,http://h/i\tx\n"
                                "g.trail.,sig,http://h/i2\n")
                     .toUtf8(),
                 "text/plain; charset=utf-8");
        load();
    addList(url("/list"));
    const QString list = url("/list");
    EXPECT_EQ(shape(), (QStringList{"0|g(" + list + ")", "1|" + kUnnamed + "(g.tab bed)", "1|trail(" + list + ")",
                                    "2|" + kUnnamed + "(g.trail.)"}));
    EXPECT_EQ(tag(node(kUnnamed + "(g.tab bed)")), "Channel|g.tab bed|si g|" + kUnnamed + "|http://h/i x|False");
}

TEST_F(UpdaterTransferTest, InformationValuesThatWouldBreakTheFileAreCleanedOrKept) {
    server.set("/list", "g.c,sig,http://127.0.0.1:1/x\n", "text/plain");
        load();
    addList(url("/list"));
    QTreeWidgetItem* c = node(kUnnamed + "(g.c)");
    ASSERT_NE(c, nullptr);
    QStringList f = updater::SplitTag(updater::frmMain::Tag(c));
    f[4] = url("/info");
    c->setData(0, Qt::UserRole, updater::JoinTag(f));
    QTreeWidgetItem* list = c->parent();

    struct Row {
        const char* name;
        QByteArray body;
        QString expectedTag;
    };
    const QString addr = url("/info");
    const std::vector<Row> rows = {
        {"tab and U+0001 become spaces", QStringLiteral("ChannelName=A\tB\u0001C\nProtocolSignature=P\tQ\n").toUtf8(),
         "Channel|g.c|P Q|A B C|" + addr + "|False"},
        {"empty values keep the previous ones", QByteArray("ChannelName=\nProtocolSignature=   \n"),
         "Channel|g.c|P Q|A B C|" + addr + "|False"},
        {"later lines win, other case ignored", QByteArray("ChannelName=X\nChannelName=Y\nprotocolsignature=no\n"),
         "Channel|g.c|P Q|Y|" + addr + "|False"},
        {"no equals sign, CR LF ends", QByteArray("ChannelName Z\r\nChannelName=Z=1\r\n"),
         "Channel|g.c|P Q|Z=1|" + addr + "|False"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server.set("/info", row.body, "text/plain; charset=utf-8");
        select(list);
        w->mnuUpdateChannel_Click();
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(tag(c), row.expectedTag);
    }
}

TEST_F(UpdaterTransferTest, TheUsersSavingSwitchSurvivesRefreshesOfListedChannels) {
    server.set("/list", "g.keep,p,http://127.0.0.1:1/k\ng.new,p,http://127.0.0.1:1/n\nG.CASE,p,http://127.0.0.1:1/c\n",
                 "text/plain");
        dir.write("ChannelList.txt",
              QStringLiteral("ChannelList\t\tg\t\tTrue\t\t%1\r\n"
                             "\tChannel\t\tp\t\tg.keep\t\tK\t\thttp://127.0.0.1:1/k\t\tTrue\r\n"
                             "\tNode\tsub\tTrue\r\n"
                             "\t\tChannel\t\tp\t\tg.case\t\tC\t\thttp://127.0.0.1:1/c\t\ttrue\r\n"
                             "\tChannel\t\tp\t\tg.gone\t\tG\t\thttp://127.0.0.1:1/g\t\tTrue\r\n")
                  .arg(url("/list"))
                  .toUtf8());
    load();
    QTreeWidgetItem* list = w->tvwChannelSelect->topLevelItem(0);

    // Updating the list: channels still listed keep "True" (matched without
    // regard to case, from anywhere below the list), new ones get "False".
    select(list);
    w->mnuUpdateChannelList_Click();
    ASSERT_TRUE(waitIdle());
    QStringList switches;
    for (int i = 0; i < list->childCount(); ++i) switches << tag(list->child(i)).section('|', 1, 1) + "=" + tag(list->child(i)).section('|', 5, 5);
    EXPECT_EQ(switches, (QStringList{"g.keep=True", "g.new=False", "G.CASE=True"}));

    // Refreshing names keeps it too.
    server.set("/k", "ChannelName=Kept\n", "text/plain");
    QStringList f = updater::SplitTag(updater::frmMain::Tag(list->child(0)));
    f[4] = url("/k");
    list->child(0)->setData(0, Qt::UserRole, updater::JoinTag(f));
    w->mnuUpdateChannel_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(tag(list->child(0)), "Channel|g.keep|p|Kept|" + url("/k") + "|True");

    // Re-adding a list reuses the node and its switch.
    server.set("/list2", "g.keep,p2,http://127.0.0.1:1/k2\n", "text/plain");
    addList(url("/list2"));
    EXPECT_EQ(tag(list->child(0)), "Channel|g.keep|p2|" + kUnnamed + "|http://127.0.0.1:1/k2|True");
}

TEST_F(UpdaterTransferTest, ChannelNodesAreNeverGroupsOrParents) {
    // 分類なし holds a channel named x; "分類なし.x.y" must not nest under it.
    server.set("/list", QStringLiteral("x,p,http://h/x\n分類なし.x.y,p,http://h/y\n").toUtf8(),
                 "text/plain; charset=utf-8");
        load();
    addList(url("/list"));
    EXPECT_EQ(shape(), (QStringList{QStringLiteral("0|分類なし"), "1|" + kUnnamed + "(x)",
                                    "1|x(" + url("/list") + ")", "2|" + kUnnamed + QStringLiteral("(分類なし.x.y)")}));
}

TEST_F(UpdaterTransferTest, OrganisationPathsNestBeyondElevenUpToTheBound) {
    const QString deep = QStringLiteral("l0.l1.l2.l3.l4.l5.l6.l7.l8.l9.l10.l11.l12.ch");
    QString tooDeep;
    for (int i = 0; i <= updater::frmMain::kDeepestNode; ++i) tooDeep += QStringLiteral("d.");
    server.set("/list", (deep + ",p,http://h/i\n" + tooDeep + "z,p,http://h/i\n").toUtf8(), "text/plain");
        load();
    addList(url("/list"));
    const QStringList s = shape();
    ASSERT_EQ(s.size(), 14);
    EXPECT_EQ(s.last(), "13|" + kUnnamed + "(" + deep + ")");
}

TEST_F(UpdaterTransferTest, CommandsWaitWhileAnOperationRuns) {
    Gate gate;
    server.set("/slow", "g.c,p,http://h/i\n", "text/plain", 200, &gate);
        load();
    answers << url("/slow") << url("/slow");
    w->mnuAddChannelList_Click();
    ASSERT_EQ(w->UpdateState(), 4);
    w->mnuAddChannelList_Click();  // ignored: no second input box
    EXPECT_EQ(prompts.size(), 1);
    gate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(server.requests(), QStringList{"/slow"});
}

// A list removed while its download runs: the answer lands nowhere, and
// other lists' results land on their own nodes.
TEST_F(UpdaterTransferTest, RemovalWhileDownloadingKeepsResultsOnTheirNodes) {
    Gate listGate;
    Gate infoGate;
    server.set("/list", "z.q,p,http://h/q\n", "text/plain", 200, &listGate);
    server.set("/i1", "ChannelName=One\n", "text/plain", 200, &infoGate);
    server.set("/i2", "ChannelName=Two\n", "text/plain");
        dir.write("ChannelList.txt",
              QStringLiteral("ChannelList\t\tFirst\t\tTrue\t\t%1\r\n"
                             "\tChannel\t\tp\t\tf.a\t\tfa\t\t%2\t\tFalse\r\n"
                             "ChannelList\t\tSecond\t\tTrue\t\t%1\r\n"
                             "\tChannel\t\tp\t\ts.a\t\tsa\t\t%2\t\tFalse\r\n"
                             "\tChannel\t\tp\t\ts.b\t\tsb\t\t%3\t\tFalse\r\n")
                  .arg(url("/list"), url("/i1"), url("/i2"))
                  .toUtf8());
    load();
    QTreeWidgetItem* first = w->tvwChannelSelect->topLevelItem(0);
    QTreeWidgetItem* second = w->tvwChannelSelect->topLevelItem(1);

    // 1. The list being updated is removed: nothing is added anywhere.
    select(second);
    w->mnuUpdateChannelList_Click();
    ASSERT_EQ(w->UpdateState(), 2);
    w->mnuRemoveChannelList_Click();
    EXPECT_EQ(confirms, QStringList{QStringLiteral("このチャンネルリストを削除しますか？|チャンネルリストの削除")});
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 1);
    listGate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shape(), (QStringList{"0|First(" + url("/list") + ")", "1|fa(f.a)"}));
    EXPECT_TRUE(commandsEnabled());

    // 2. While the second list's channels are fetched, the first list (the
    // one before it) is removed: the names still land on the second's.
    w->LoadChannelList({QString(), QStringLiteral("ChannelList\t\tSecond\t\tTrue\t\t%1").arg(url("/list")),
                        QStringLiteral("\tChannel\t\tp\t\ts.a\t\tsa\t\t%1\t\tFalse").arg(url("/i1")),
                        QStringLiteral("\tChannel\t\tp\t\ts.b\t\tsb\t\t%1\t\tFalse").arg(url("/i2"))});
    second = w->tvwChannelSelect->topLevelItem(1);
    select(second);
    w->mnuUpdateChannel_Click();
    ASSERT_EQ(w->UpdateState(), 3);
    select(first);
    w->mnuRemoveChannelList_Click();
    infoGate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shape(), (QStringList{"0|Second(" + url("/list") + ")", "1|One(s.a)", "1|Two(s.b)"}));

    // 3. The list whose channels are being fetched is removed: the running
    // answer is dropped and no further channel is requested.
    Gate again;
    server.set("/i1", "ChannelName=Late\n", "text/plain", 200, &again);
    server.clearLog();
    select(second);
    w->mnuUpdateChannel_Click();
    ASSERT_EQ(w->UpdateState(), 3);
    w->mnuRemoveChannelList_Click();
    again.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(server.requests(), QStringList{"/i1"});
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 0);
    EXPECT_EQ(status(), QStringLiteral("チャンネル情報の更新完了"));
    EXPECT_TRUE(commandsEnabled());
}

}  // namespace
