// Downloads of channel lists and information files against a real server.

#include "TestHttpServer.h"
#include "UpdaterFixture.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QProgressBar>

#include <atomic>
#include <future>
#include <map>
#include <mutex>

namespace {

using updater::NodeKind;

const QString kUnnamed = QStringLiteral("チャンネル名 未取得");
const QString kListFailed = QStringLiteral(" - チャンネルリストファイルを取得できませんでした");
const QString kInfoFailed = QStringLiteral(" - チャンネル情報ファイルを取得できませんでした");
const QString kListDone = QStringLiteral("チャンネルリストの更新完了");
const QString kInfoDone = QStringLiteral("チャンネル情報の更新完了");

QByteArray sjis(const QString& text) { return Cp932::encode(text); }
// A channel node's text before its name is known.
QString un(const QString& id) { return kUnnamed + QLatin1Char('(') + id + QLatin1Char(')'); }

// A port on 127.0.0.1 where nothing listens.
int deadPort() {
    TestHttpServer probe;
    probe.start();
    return probe.port();
}

// Holds a server's answer until the test opens it.
struct Gate {
    std::promise<void> opened;
    std::shared_future<void> ready = opened.get_future().share();
    void open() { opened.set_value(); }
};

// Against a real server whose answers the test changes between operations
// and which records how many requests it ever served at once.
class UpdaterTransferTest : public UpdaterTest {
protected:
    void SetUp() override {
        UpdaterTest::SetUp();
        w->netHTTP->RequestTimeout = 10;
        http.handle(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock<std::mutex> lock(m);
            if (!routes.count(req.path)) return void(res.status = 404);
            const Route r = routes[req.path];
            maxInFlight = std::max(maxInFlight.load(), ++inFlight);
            lock.unlock();
            if (r.gate) r.gate->ready.wait_for(std::chrono::seconds(20));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // widens any overlap
            res.status = r.status;
            res.set_content(r.body.toStdString(), r.type.c_str());
            --inFlight;
        });
        http.start();
    }
    void serve(const std::string& path, const QByteArray& body, const std::string& type = "text/plain",
               int status = 200, Gate* gate = nullptr) {
        std::lock_guard<std::mutex> lock(m);
        routes[path] = {body, type, status, gate};
    }
    QString url(const char* path) const { return http.url(QString::fromLatin1(path)); }
    QStringList requests() const { return http.requests(); }

    // Points a channel node at another information file.
    static void setInfo(QTreeWidgetItem* channel, const QString& address) {
        updater::NodeTag tag = updater::frmMain::Tag(channel);
        tag.Fields[4] = address;
        updater::frmMain::SetTag(channel, tag);
    }
    // チャンネル情報を更新する on a list node, to its end.
    void updateNames(QTreeWidgetItem* list) {
        select(list);
        w->mnuUpdateChannel_Click();
        ASSERT_TRUE(waitIdle());
    }

    struct Route {
        QByteArray body;
        std::string type;
        int status;
        Gate* gate;
    };
    std::mutex m;
    std::map<std::string, Route> routes;
    std::atomic<int> inFlight{0}, maxInFlight{0};
    TestHttpServer http;  // last: stops before what its handler uses goes
};

// The organisation examples on an empty tree, a second list, the same list
// again, and an update of a list node.
TEST_F(UpdaterTransferTest, NewListsAreGroupedByTheDottedPartsOfTheirIdentifiers) {
    serve("/list1", sjis(QStringLiteral("a.b.c , sig1 , %1 , extra, more\r\n\r\n   \n"
                                        "a.b.d,sig2,%2\na.x.e,sig3,%3\nsolo,sig4,%4\n")
                             .arg(url("/i/c"), url("/i/d"), url("/i/e"), url("/i/solo"))));
    serve("/list2", sjis(QStringLiteral("a.b.z,sig5,%1\nother,sig6,%2\n").arg(url("/i/z"), url("/i/o"))));
    load();
    const QString list1 = url("/list1");
    const QString b = "b(" + list1 + ")", x = "x(" + list1 + ")", unknown = QStringLiteral("分類なし");

    answers << list1;
    w->mnuAddChannelList_Click();
    EXPECT_EQ(w->UpdateState(), updater::UpdaterState::DownloadingNewList);
    EXPECT_EQ(status(), QStringLiteral("チャンネルリストファイルの取得中"));
    EXPECT_FALSE(commandsEnabled());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(prompts,
              QStringList{QStringLiteral("追加するチャンネルリストのURLを入力して下さい|チャンネルリストの追加")});
    EXPECT_EQ(status(), kListDone);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(shape(), (QStringList{"0|a", "1|" + b, "2|" + un("a.b.c"), "2|" + un("a.b.d"), "1|" + x,
                                    "2|" + un("a.x.e"), "0|" + unknown, "1|" + un("solo")}));
    EXPECT_EQ(tag(node("a")), tagOf(NodeKind::Group, "a"));
    EXPECT_EQ(tag(node(b)), tagOf(NodeKind::ChannelList, "b|" + list1));
    EXPECT_EQ(tag(node(un("a.b.c"))),
              tagOf(NodeKind::Channel, "a.b.c|sig1|" + kUnnamed + "|" + url("/i/c") + "|False"));
    EXPECT_TRUE(node("a")->isExpanded() && node(b)->isExpanded());
    EXPECT_EQ(tag(node(unknown)), tagOf(NodeKind::Group, unknown));
    EXPECT_EQ(updater::frmMain::Key(node(unknown)), "tvwKey_UnKnown_Organization");

    // A second list whose group path exists puts its channel under that
    // node, which stays the first list's; an identifier without "." joins
    // the one 分類なし root.
    addList(url("/list2"));
    EXPECT_EQ(shape(),
              (QStringList{"0|a", "1|" + b, "2|" + un("a.b.c"), "2|" + un("a.b.d"), "2|" + un("a.b.z"), "1|" + x,
                           "2|" + un("a.x.e"), "0|" + unknown, "1|" + un("solo"), "1|" + un("other")}));

    // The same list again reuses its channels (names back to the
    // placeholder; an ID in other letter case is the same channel, spelled
    // as held), adds new ones and keeps those no longer listed.
    QTreeWidgetItem* c = node(un("a.b.c"));
    c->setText(0, QStringLiteral("named(a.b.c)"));
    serve("/list1", sjis(QStringLiteral("A.B.c,sigNew,%1\na.b.n,sig7,%2\n").arg(url("/i/c2"), url("/i/n"))));
    addList(list1);
    EXPECT_EQ(node(un("a.b.c")), c);
    EXPECT_EQ(tag(c), tagOf(NodeKind::Channel, "a.b.c|sigNew|" + kUnnamed + "|" + url("/i/c2") + "|False"));
    EXPECT_EQ(shape().mid(0, 6), (QStringList{"0|a", "1|" + b, "2|" + un("a.b.c"), "2|" + un("a.b.d"),
                                              "2|" + un("a.b.z"), "2|" + un("a.b.n")}));

    // Updating a list node replaces all its children, groups included, by
    // the list's channels in file order, without grouping; a channel held
    // elsewhere (a.x.e under x), or listed twice, is updated where it is.
    serve("/list1", sjis(QStringLiteral("a.x.e,s1,%1\nsolo2,s2,%2\nq.r.s.t,s3,%3\nSOLO2,s4,%2\n")
                             .arg(url("/i/e"), url("/i/s2"), url("/i/t"))));
    QTreeWidgetItem* bNode = node(b);
    select(bNode);
    w->mnuUpdateChannelList_Click();
    EXPECT_EQ(w->UpdateState(), updater::UpdaterState::DownloadingList);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(status(), kListDone);
    EXPECT_EQ(shape().mid(1, 5),
              (QStringList{"1|" + b, "2|" + un("solo2"), "2|" + un("q.r.s.t"), "1|" + x, "2|" + un("a.x.e")}));
    EXPECT_EQ(tag(bNode->child(0)), tagOf(NodeKind::Channel, "solo2|s4|" + kUnnamed + "|" + url("/i/s2") + "|False"));
    EXPECT_EQ(tag(node(un("a.x.e"))), tagOf(NodeKind::Channel, "a.x.e|s1|" + kUnnamed + "|" + url("/i/e") + "|False"));
    EXPECT_EQ(requests(), (QStringList{"/list1", "/list2", "/list1", "/list1"}));
}

// Each refusal (a status, a content type, no answer, a cut body), for a new
// list and for an update, ends the operation with its reason in Japanese and
// leaves the tree as it was.
TEST_F(UpdaterTransferTest, RefusedListsChangeNothingAndEndTheOperation) {
    serve("/missing", "gone", "text/plain", 404);
    serve("/binary", "a.b.c,s,u\n", "application/octet-stream");
    serve("/upper", "a.b.c,s,u\n", "Text/Plain");
    RawHttpServer silent([](const QString&) { return std::vector<RawHttpServer::Step>{RawHttpServer::silence()}; });
    RawHttpServer reset([](const QString&) { return std::vector<RawHttpServer::Step>{RawHttpServer::reset()}; });
    // Lists cut short: a fragment must never replace the list's channels.
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    RawHttpServer cut([head](const QString& path) {
        return std::vector<RawHttpServer::Step>{
            RawHttpServer::send(path == "/short" ? head + "Content-Length: 500\r\n\r\na.b.new,s,u\n"
                                                 : head + "Transfer-Encoding: chunked\r\n\r\nc\r\na.b.new,s,u\n\r\n"),
            RawHttpServer::close()};
    });
    // The refusal, the address, the status text before " - ".
    const std::vector<std::tuple<const char*, QString, QString>> rows = {
        {"status line", url("/missing"), QStringLiteral("HTTP/1.1 404 Not Found")},
        {"content type", url("/binary"), QStringLiteral("application/octet-stream")},
        {"content type in other case", url("/upper"), QStringLiteral("Text/Plain")},
        {"connection refused", QStringLiteral("http://127.0.0.1:%1/l").arg(deadPort()),
         QStringLiteral("接続が拒否されました")},
        {"reset", reset.url("/l"), QStringLiteral("接続が切断されました")},
        {"no answer", silent.url("/l"), QStringLiteral("タイムアウトしました")},
        {"unusable address", QStringLiteral("nonsense:/x"), QStringLiteral("対応していないアドレスです")},
        {"short Content-Length", cut.url("/short"), QStringLiteral("応答が途中で切れました")},
        {"no last chunk", cut.url("/chunked"), QStringLiteral("応答が途中で切れました")},
    };
    load(
        "Node\tg\tTrue\r\n\tChannelList\t\tL\t\tTrue\t\thttp://127.0.0.1:1/l\r\n"
        "\t\tChannel\t\ts\t\tg.c\t\tname\t\thttp://127.0.0.1:1/i\t\tTrue\r\n");
    w->netHTTP->RequestTimeout = 1;  // the silent server answers nothing
    const QStringList before = shape();
    QTreeWidgetItem* list = top(0)->child(0);

    for (const auto& [name, address, prefix] : rows) {
        for (bool update : {false, true}) {
            SCOPED_TRACE(std::string(name) + (update ? " (update)" : " (add)"));
            if (update) {
                updater::frmMain::SetTag(list, updater::MakeTag(updater::NodeKind::ChannelList, {"L", address}));
                select(list);
                w->mnuUpdateChannelList_Click();
            } else {
                answers << address;
                w->mnuAddChannelList_Click();
            }
            EXPECT_EQ(w->UpdateState(),
                      update ? updater::UpdaterState::DownloadingList : updater::UpdaterState::DownloadingNewList);
            EXPECT_FALSE(commandsEnabled());
            ASSERT_TRUE(waitIdle());
            EXPECT_EQ(status(), prefix + kListFailed);
            EXPECT_TRUE(commandsEnabled());
            EXPECT_EQ(shape(), before);
        }
    }
}

// Three channels, the second refused; exact-case keys, spaces around "=",
// CP932 even when labelled ISO-8859-1, UTF-8 when it is; one request at a
// time. A last
// one refused by its content type leaves the failure text, refused by its
// status line or not answered at all the closing text.
TEST_F(UpdaterTransferTest, InformationFilesNameTheChannelsOneRequestAtATime) {
    serve("/list",
          sjis(QStringLiteral("g.c1,p1,%1\ng.c2,p2,%2\ng.c3,p3,%3\n").arg(url("/i1"), url("/i2"), url("/i3"))));
    serve("/i1", sjis(QStringLiteral("ChannelID=x\r\nChannelName = 第一放送 \r\nchannelname=wrong\r\n"
                                     "ProtocolSignature= NewSig1 \r\nprotocolsignature=wrong\r\nURL=http://x/\r\n")),
          "text/plain; charset=ISO-8859-1");
    serve("/i2", "ChannelName=never", "text/plain", 404);
    serve("/i3", QStringLiteral("ChannelName=③テスト\nCHANNELNAME=wrong\nChannelName=最後①\n").toUtf8(),
          "text/plain; charset=UTF-8");
    load();
    addList(url("/list"));
    QTreeWidgetItem* list = node("g(" + url("/list") + ")");
    ASSERT_NE(list, nullptr);
    QStringList progress;  // after each answer, as the user sees it
    QObject::connect(w->netHTTP, &HTTPTransfer::StateChanged, w.get(), [&] {
        const QProgressBar* bar = w->prgUpdateChannel;
        progress << (bar->isHidden() ? QStringLiteral("hidden")
                                     : QStringLiteral("%1/%2").arg(bar->value()).arg(bar->maximum())) +
                        (w->prgBusy->isHidden() ? "" : " busy");
    });
    select(list);
    w->mnuUpdateChannel_Click();
    EXPECT_EQ(w->UpdateState(), updater::UpdaterState::DownloadingInfo);
    EXPECT_EQ(status(), QStringLiteral("チャンネル情報ファイルの取得中"));
    EXPECT_FALSE(commandsEnabled());
    ASSERT_TRUE(waitIdle());

    EXPECT_EQ(status(), kInfoDone);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(list->child(0)->text(0), QStringLiteral("第一放送(g.c1)"));
    EXPECT_EQ(tag(list->child(0)),
              tagOf(NodeKind::Channel, QStringLiteral("g.c1|NewSig1|第一放送|") + url("/i1") + "|False"));
    EXPECT_EQ(tag(list->child(1)), tagOf(NodeKind::Channel, "g.c2|p2|" + kUnnamed + "|" + url("/i2") + "|False"));
    EXPECT_EQ(list->child(2)->text(0), QStringLiteral("最後①(g.c3)"));
    EXPECT_EQ(requests(), (QStringList{"/list", "/i1", "/i2", "/i3"}));
    EXPECT_EQ(maxInFlight.load(), 1);
    EXPECT_EQ(progress, (QStringList{"1/3 busy", "2/3 busy", "hidden"}));

    // More runs with other answers for the last channel: the body, its
    // content type and status, where it is asked, the closing text, and the
    // channel's tag after the run. A refused body names nothing; values that
    // would break the file are cleaned, empty ones keep the previous value.
    const QString i3 = url("/i3"), dead = QStringLiteral("http://127.0.0.1:%1/i3").arg(deadPort());
    auto last = [](const QString& sig, const QString& name, const QString& address) {
        return tagOf(NodeKind::Channel, "g.c3|" + sig + "|" + name + "|" + address + "|False");
    };
    const std::vector<std::tuple<const char*, QByteArray, std::string, int, QString, QString, QString>> rows = {
        {"refused by content type", "ChannelName=B\n", "image/jpeg", 200, i3, "HTTP/1.1 200 OK" + kInfoFailed,
         last("p3", QStringLiteral("最後①"), i3)},
        {"refused by status line", "ChannelName=B\n", "text/plain", 500, i3, kInfoDone,
         last("p3", QStringLiteral("最後①"), i3)},
        {"no answer", "", "text/plain", 200, dead, kInfoDone, last("p3", QStringLiteral("最後①"), dead)},
        {"tab and U+0001 become spaces", "ChannelName=A\tB\001C\nProtocolSignature=P\tQ\n", "text/plain", 200, i3,
         kInfoDone, last("P Q", "A B C", i3)},
        {"empty values keep the previous ones", "ChannelName=\nProtocolSignature=   \n", "text/plain", 200, i3,
         kInfoDone, last("P Q", "A B C", i3)},
        {"no equals sign; a value may hold one", "ChannelName Z\r\nChannelName=Z=1\r\n", "text/plain", 200, i3,
         kInfoDone, last("P Q", "Z=1", i3)},
    };
    for (const auto& [name, body, type, code, address, closing, expected] : rows) {
        SCOPED_TRACE(name);
        serve("/i3", body, type, code);
        setInfo(list->child(2), address);
        updateNames(list);
        EXPECT_EQ(status(), closing);
        EXPECT_TRUE(commandsEnabled());
        EXPECT_EQ(tag(list->child(2)), expected);
    }
}

// Lists with odd lines and identifiers, each added to an empty tree.
TEST_F(UpdaterTransferTest, OddListLinesAreSkippedCleanedOrPlaced) {
    const QString list = url("/list");
    const QString deepId = QStringLiteral("l0.l1.l2.l3.l4.l5.l6.l7.l8.l9.l10.l11.l12.ch");
    QString tooDeep;
    for (int i = 0; i <= updater::frmMain::kDeepestNode; ++i) tooDeep += QStringLiteral("d.");
    QStringList deepShape;
    for (int i = 0; i < 12; ++i) deepShape << QStringLiteral("%1|l%1").arg(i);
    deepShape << "12|l12(" + list + ")"
              << "13|" + un(deepId);
    // What the list holds, the tree it makes, the tag of its last node.
    const std::vector<std::tuple<const char*, QString, QStringList, QString>> rows = {
        {"fewer than three fields or an empty one: skipped; tabs and U+0001 become spaces",
         "short,only\n,sig,http://h/i\ng.noSig, ,http://h/i\ng.noUrl,sig,\na..b,sig,http://h/i\n.lead,sig,http://h/i\n"
         "g.trail.,sig,http://h/i2\ng.tab\tbed,si\u0001g,http://h/i\tx\n",
         {"0|g", "1|trail(" + list + ")", "2|" + un("g.trail."), "1|" + un("g.tab bed")},
         tagOf(NodeKind::Channel, "g.tab bed|si g|" + kUnnamed + "|http://h/i x|False")},
        {"a channel node is never a group or a parent",  // 分類なし holds a channel named x
         QStringLiteral("x,p,http://h/x\n分類なし.x.y,p,http://h/y\n"),
         {QStringLiteral("0|分類なし"), "1|" + un("x"), "1|x(" + list + ")", "2|" + un(QStringLiteral("分類なし.x.y"))},
         tagOf(NodeKind::Channel, QStringLiteral("分類なし.x.y|p|") + kUnnamed + "|http://h/y|False")},
        {"paths nest beyond eleven, up to the bound", deepId + ",p,http://h/i\n" + tooDeep + "z,p,http://h/i\n",
         deepShape, tagOf(NodeKind::Channel, deepId + "|p|" + kUnnamed + "|http://h/i|False")},
    };
    for (const auto& [name, body, tree, lastTag] : rows) {
        SCOPED_TRACE(name);
        serve("/list", body.toUtf8(), "text/plain; charset=utf-8");
        w = open(dir);
        load();
        addList(list);
        EXPECT_EQ(shape(), tree);
        EXPECT_EQ(tag(node(shape().last().section('|', 1))), lastTag);
    }
}

// チャンネル情報を更新する fetches the direct channel children of a list
// only, and nothing for an empty list. The user's saving switch survives
// it, updates of the list and adding a list that names the channel again.
TEST_F(UpdaterTransferTest, DirectChannelsAreFetchedAndTheSavingSwitchSurvives) {
    serve("/list", "g.keep,p,http://127.0.0.1:1/k\ng.new,p,http://127.0.0.1:1/n\nG.CASE,p,http://127.0.0.1:1/c\n");
    serve("/k", "ChannelName=Kept\n");
    serve("/g", "ChannelName=Gone\n");
    load(QStringLiteral("ChannelList\t\tEmpty\t\tTrue\t\thttp://127.0.0.1:1/e\r\n"
                        "ChannelList\t\tg\t\tTrue\t\t%1\r\n"
                        "\tChannel\t\tp\t\tg.keep\t\tK\t\t%2\t\tTrue\r\n"
                        "\tNode\tsub\tTrue\r\n"
                        "\t\tChannel\t\tp\t\tg.case\t\tC\t\t%2\t\ttrue\r\n"
                        "\tChannel\t\tp\t\tg.gone\t\tG\t\t%3\t\tFalse\r\n")
             .arg(url("/list"), url("/k"), url("/g"))
             .toUtf8());
    select(top(0));
    w->mnuUpdateChannel_Click();
    EXPECT_EQ(w->UpdateState(), updater::UpdaterState::Idle);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_TRUE(status().isEmpty());
    EXPECT_FALSE(w->netHTTP->StillExecuting());

    QTreeWidgetItem* list = top(1);
    updateNames(list);
    EXPECT_EQ(requests(), (QStringList{"/k", "/g"}));
    EXPECT_EQ(tag(list->child(0)), tagOf(NodeKind::Channel, "g.keep|p|Kept|" + url("/k") + "|True"));
    EXPECT_EQ(list->child(1)->child(0)->text(0), QStringLiteral("C(g.case)"));
    EXPECT_EQ(tag(list->child(2)), tagOf(NodeKind::Channel, "g.gone|p|Gone|" + url("/g") + "|False"));

    // Updating the list: channels still listed keep "True" (matched without
    // regard to case, from anywhere below the list), new ones get "False".
    select(list);
    w->mnuUpdateChannelList_Click();
    ASSERT_TRUE(waitIdle());
    QStringList switches;
    for (int i = 0; i < list->childCount(); ++i)
        switches << tag(list->child(i)).section('|', 1, 1) + "=" + tag(list->child(i)).section('|', 5, 5);
    EXPECT_EQ(switches, (QStringList{"g.keep=True", "g.new=False", "G.CASE=True"}));

    serve("/list2", "g.keep,p2,http://127.0.0.1:1/k2\n");
    addList(url("/list2"));
    EXPECT_EQ(tag(list->child(0)), tagOf(NodeKind::Channel, "g.keep|p2|" + kUnnamed + "|http://127.0.0.1:1/k2|True"));
}

// Commands wait while an operation runs; a list removed meanwhile gets no
// results, and other lists' results land on their own nodes.
TEST_F(UpdaterTransferTest, RemovalWhileDownloadingKeepsResultsOnTheirNodes) {
    Gate listGate, infoGate;
    serve("/list", "z.q,p,http://h/q\n", "text/plain", 200, &listGate);
    serve("/i1", "ChannelName=One\n", "text/plain", 200, &infoGate);
    serve("/i2", "ChannelName=Two\n");
    const QStringList second = {QStringLiteral("ChannelList\t\tSecond\t\tTrue\t\t%1").arg(url("/list")),
                                QStringLiteral("\tChannel\t\tp\t\ts.a\t\tsa\t\t%1\t\tFalse").arg(url("/i1")),
                                QStringLiteral("\tChannel\t\tp\t\ts.b\t\tsb\t\t%1\t\tFalse").arg(url("/i2"))};
    load(crlf(QStringList{QStringLiteral("ChannelList\t\tFirst\t\tTrue\t\t%1").arg(url("/list")),
                          QStringLiteral("\tChannel\t\tp\t\tf.a\t\tfa\t\t%1\t\tFalse").arg(url("/i1"))} +
              second));
    QTreeWidgetItem* first = top(0);

    // 1. The list being updated is removed: nothing is added anywhere, and
    // a second command meanwhile is ignored.
    select(top(1));
    EXPECT_TRUE(w->prgBusy->isHidden());
    w->mnuUpdateChannelList_Click();
    ASSERT_EQ(w->UpdateState(), updater::UpdaterState::DownloadingList);
    // The held answer is a slow download: the indicator runs until it ends.
    EXPECT_FALSE(w->prgBusy->isHidden());
    EXPECT_EQ(w->prgBusy->maximum(), 0);
    EXPECT_EQ(status(), QStringLiteral("チャンネルリストファイルの取得中"));
    answers << url("/list");
    w->mnuAddChannelList_Click();
    EXPECT_TRUE(prompts.isEmpty());
    w->mnuRemoveChannelList_Click();
    EXPECT_EQ(confirms, QStringList{QStringLiteral("このチャンネルリストを削除しますか？|チャンネルリストの削除")});
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 1);
    QTest::qWait(300);
    EXPECT_FALSE(w->prgBusy->isHidden());
    listGate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(w->prgBusy->isHidden());
    EXPECT_EQ(shape(), (QStringList{"0|First(" + url("/list") + ")", "1|fa(f.a)"}));
    EXPECT_EQ(requests(), QStringList{"/list"});
    EXPECT_TRUE(commandsEnabled());

    // 2. While the second list's channels are fetched, the list before it
    // is removed: the names still land on the second's.
    w->LoadChannelList(QStringList{QString()} + second);
    select(top(1));
    w->mnuUpdateChannel_Click();
    ASSERT_EQ(w->UpdateState(), updater::UpdaterState::DownloadingInfo);
    select(first);
    w->mnuRemoveChannelList_Click();
    infoGate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shape(), (QStringList{"0|Second(" + url("/list") + ")", "1|One(s.a)", "1|Two(s.b)"}));

    // 3. The list whose channels are being fetched is removed: the running
    // answer is dropped and no further channel is requested.
    Gate again;
    serve("/i1", "ChannelName=Late\n", "text/plain", 200, &again);
    http.clearLog();
    select(top(0));
    w->mnuUpdateChannel_Click();
    ASSERT_EQ(w->UpdateState(), updater::UpdaterState::DownloadingInfo);
    w->mnuRemoveChannelList_Click();
    again.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(requests(), QStringList{"/i1"});
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 0);
    EXPECT_EQ(status(), kInfoDone);
    EXPECT_TRUE(commandsEnabled());
}

}  // namespace
