// Downloads of channel lists and information files against a real server.

#include "TestHttpServer.h"
#include "UpdaterFixture.h"
#include "ViewerFixture.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QProgressBar>

#include <future>
#include <map>
#include <mutex>

namespace {

using updater::NodeKind;
using updater::UpdaterState;

const QString kUnnamed = QStringLiteral("チャンネル名 未取得");
const QString kListFailed = QStringLiteral(" - チャンネルリストファイルを取得できませんでした");
const QString kListDone = QStringLiteral("チャンネルリストの更新完了");
const QString kInfoDone = QStringLiteral("チャンネル情報の更新完了");

QByteArray sjis(const QString& text) { return Cp932::encode(text); }
// A channel node's text, and its tag, before its name is known.
QString un(const QString& id) { return kUnnamed + QLatin1Char('(') + id + QLatin1Char(')'); }
QString unnamed(const QString& id, const QString& sig, const QString& address, const QString& save = "False") {
    return UpdaterTest::tagOf(NodeKind::Channel, id + "|" + sig + "|" + kUnnamed + "|" + address + "|" + save);
}
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

// Answers the test changes between operations; counts requests served at once.
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

public:  // for the rows of the tables below
    QString url(const char* path) const { return http.url(QString::fromLatin1(path)); }
    // A raw server that answers every request with steps.
    QString rawUrl(const std::vector<RawHttpServer::Step>& steps) {
        raw = std::make_unique<RawHttpServer>([steps](const QString&) { return steps; });
        return raw->url("/l");
    }

protected:
    // チャンネル情報を更新する on a list node, to its end.
    void updateNames(TreeNode* list) {
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
    std::unique_ptr<RawHttpServer> raw;
    TestHttpServer http;  // last: stops before what its handler uses goes
};

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
    EXPECT_EQ(w->UpdateState(), UpdaterState::DownloadingNewList);
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
    EXPECT_EQ(tag(node(un("a.b.c"))), unnamed("a.b.c", "sig1", url("/i/c")));
    EXPECT_TRUE(node("a")->Expanded() && node(b)->Expanded());
    EXPECT_EQ(tag(node(unknown)), tagOf(NodeKind::Group, unknown));
    EXPECT_EQ(w->Key(node(unknown)), "tvwKey_UnKnown_Organization");

    // An existing group path takes the second list's channel; one 分類なし root.
    addList(url("/list2"));
    EXPECT_EQ(shape(),
              (QStringList{"0|a", "1|" + b, "2|" + un("a.b.c"), "2|" + un("a.b.d"), "2|" + un("a.b.z"), "1|" + x,
                           "2|" + un("a.x.e"), "0|" + unknown, "1|" + un("solo"), "1|" + un("other")}));

    // The same list again reuses its channels (any letter case), keeps the unlisted.
    TreeNode* c = node(un("a.b.c"));
    w->TreeModel()->SetText(c, QStringLiteral("named"));
    serve("/list1", sjis(QStringLiteral("A.B.c,sigNew,%1\na.b.n,sig7,%2\n").arg(url("/i/c2"), url("/i/n"))));
    addList(list1);
    EXPECT_EQ(node(un("a.b.c")), c);
    EXPECT_EQ(tag(c), unnamed("a.b.c", "sigNew", url("/i/c2")));
    EXPECT_EQ(shape().mid(0, 6), (QStringList{"0|a", "1|" + b, "2|" + un("a.b.c"), "2|" + un("a.b.d"),
                                              "2|" + un("a.b.z"), "2|" + un("a.b.n")}));

    // A list node's update replaces its children, ungrouped; a channel held
    // elsewhere (a.x.e under x) is held by both nodes, as one channel.
    serve("/list1", sjis(QStringLiteral("a.x.e,s1,%1\nsolo2,s2,%2\nq.r.s.t,s3,%3\nSOLO2,s4,%2\n")
                             .arg(url("/i/e"), url("/i/s2"), url("/i/t"))));
    TreeNode* bNode = node(b);
    select(bNode);
    w->mnuUpdateChannelList_Click();
    EXPECT_EQ(w->UpdateState(), UpdaterState::DownloadingList);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(status(), kListDone);
    EXPECT_EQ(shape().mid(1, 6), (QStringList{"1|" + b, "2|" + un("a.x.e"), "2|" + un("solo2"), "2|" + un("q.r.s.t"),
                                              "1|" + x, "2|" + un("a.x.e")}));
    EXPECT_EQ(tag(bNode->Child(1)), unnamed("solo2", "s4", url("/i/s2")));
    EXPECT_EQ(tag(node(x)->Child(0)), unnamed("a.x.e", "s1", url("/i/e")));
    EXPECT_EQ(tag(bNode->Child(0)), tag(node(x)->Child(0)));
    EXPECT_EQ(http.requests(), (QStringList{"/list1", "/list2", "/list1", "/list1"}));
}

// A refused list: where it is asked for, and the status text before " - ".
struct Refusal {
    const char* name;
    QString (*address)(UpdaterTransferTest&);
    const char* reason;
};
class RefusedLists : public UpdaterTransferTest, public ::testing::WithParamInterface<Refusal> {};

// Added or updated, a refused list (a cut one too) leaves the tree as it was.
TEST_P(RefusedLists, ChangeNothingAndEndTheOperation) {
    serve("/missing", "gone", "text/plain", 404);
    serve("/binary", "a.b.c,s,u\n", "application/octet-stream");
    serve("/upper", "a.b.c,s,u\n", "Text/Plain");
    load(
        "Node\tg\tTrue\r\n\tChannelList\t\tL\t\tTrue\t\thttp://127.0.0.1:1/l\r\n"
        "\t\tChannel\t\ts\t\tg.c\t\tname\t\thttp://127.0.0.1:1/i\t\tTrue\r\n");
    const QString address = GetParam().address(*this);
    TreeNode* list = top(0)->Child(0);
    w->SetTag(list, updater::MakeTag(NodeKind::ChannelList, {"L", address}));
    const QStringList before = shape();
    for (bool update : {false, true}) {
        if (update) {
            select(list);
            w->mnuUpdateChannelList_Click();
        } else {
            answers << address;
            w->mnuAddChannelList_Click();
        }
        EXPECT_EQ(w->UpdateState(), update ? UpdaterState::DownloadingList : UpdaterState::DownloadingNewList);
        EXPECT_FALSE(commandsEnabled());
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(status(), QString::fromUtf8(GetParam().reason) + kListFailed) << (update ? "update" : "add");
        EXPECT_TRUE(commandsEnabled());
        EXPECT_EQ(shape(), before);
    }
}

using T = UpdaterTransferTest;
const QByteArray kHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
INSTANTIATE_TEST_SUITE_P(
    Updater, RefusedLists,
    ::testing::Values(Refusal{"StatusLine", [](T& t) { return t.url("/missing"); }, "HTTP/1.1 404 Not Found"},
                      Refusal{"ContentType", [](T& t) { return t.url("/binary"); }, "application/octet-stream"},
                      Refusal{"ContentTypeInOtherCase", [](T& t) { return t.url("/upper"); }, "Text/Plain"},
                      Refusal{"ConnectionRefused",
                              [](T&) { return QStringLiteral("http://127.0.0.1:%1/l").arg(deadPort()); },
                              "接続が拒否されました"},
                      Refusal{"ShortContentLength",
                              [](T& t) {
                                  return t.rawUrl(
                                      {RawHttpServer::send(kHead + "Content-Length: 500\r\n\r\na.b.new,s,u\n"),
                                       RawHttpServer::close()});
                              },
                              "応答が途中で切れました"}),
    kRowName);

// Exact-case keys; CP932 even when labelled ISO-8859-1, UTF-8 when it is.
TEST_F(UpdaterTransferTest, InformationFilesNameTheChannelsOneRequestAtATime) {
    serve("/list",
          sjis(QStringLiteral("g.c1,p1,%1\ng.c2,p2,%2\ng.c3,p3,%3\n").arg(url("/i1"), url("/i2"), url("/i3"))));
    serve("/i1",
          sjis(QStringLiteral("ChannelID=x\r\nChannelName = 第一放送 \r\nchannelname=wrong\r\n"
                              "ProtocolSignature= NewSig1 \r\nprotocolsignature=wrong\r\nURL=http://x/\r\n")),
          "text/plain; charset=ISO-8859-1");
    serve("/i2", "ChannelName=never", "text/plain", 404);
    serve("/i3", QStringLiteral("ChannelName=③テスト\nCHANNELNAME=wrong\nChannelName=最後①\n").toUtf8(),
          "text/plain; charset=UTF-8");
    load();
    addList(url("/list"));
    TreeNode* list = node("g(" + url("/list") + ")");
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
    EXPECT_EQ(w->UpdateState(), UpdaterState::DownloadingInfo);
    EXPECT_EQ(status(), QStringLiteral("チャンネル情報ファイルの取得中"));
    EXPECT_FALSE(commandsEnabled());
    ASSERT_TRUE(waitIdle());

    // Done, and how many were not read: not as if all had been.
    EXPECT_EQ(status(), kInfoDone + QStringLiteral("（3件のうち1件は取得できませんでした）"));
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(text(list->Child(0)), QStringLiteral("第一放送(g.c1)"));
    EXPECT_EQ(tag(list->Child(0)),
              tagOf(NodeKind::Channel, QStringLiteral("g.c1|NewSig1|第一放送|") + url("/i1") + "|False"));
    EXPECT_EQ(tag(list->Child(1)), unnamed("g.c2", "p2", url("/i2")));
    EXPECT_EQ(text(list->Child(2)), QStringLiteral("最後①(g.c3)"));
    EXPECT_EQ(http.requests(), (QStringList{"/list", "/i1", "/i2", "/i3"}));
    EXPECT_EQ(maxInFlight.load(), 1);
    EXPECT_EQ(progress, (QStringList{"1/3 busy", "2/3 busy", "hidden"}));
}

// An answer for a list's only channel: the closing text, the tag it leaves.
struct InfoAnswer {
    const char* name;
    QByteArray body;
    const char *type, *closing;
    int status;  // 0: asked where nothing listens
    const char *signature, *channelName;
};
class InfoAnswers : public UpdaterTransferTest, public ::testing::WithParamInterface<InfoAnswer> {};

TEST_P(InfoAnswers, NameTheChannelOrLeaveIt) {
    const InfoAnswer& a = GetParam();
    const QString address = a.status ? url("/i3") : QStringLiteral("http://127.0.0.1:%1/i3").arg(deadPort());
    load(crlf({"ChannelList\t\tg\t\tTrue\t\tu",
               QStringLiteral("\tChannel\t\tp3\t\tg.c3\t\t最後①\t\t%1\t\tFalse").arg(address)}));
    serve("/i3", a.body, a.type, a.status);
    updateNames(top(0));
    EXPECT_EQ(status(), QString::fromUtf8(a.closing));
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(tag(top(0)->Child(0)), tagOf(NodeKind::Channel, QStringLiteral("g.c3|%1|%2|%3|False")
                                                                  .arg(QString::fromUtf8(a.signature),
                                                                       QString::fromUtf8(a.channelName), address)));
}

INSTANTIATE_TEST_SUITE_P(
    Updater, InfoAnswers,
    ::testing::Values(InfoAnswer{"RefusedByContentType", "ChannelName=B\n", "image/jpeg",
                                 "HTTP/1.1 200 OK - チャンネル情報ファイルを取得できませんでした", 200, "p3", "最後①"},
                      InfoAnswer{"NoAnswer", "", "text/plain",
                                 "チャンネル情報の更新完了（1件のうち1件は取得できませんでした）", 0, "p3", "最後①"},
                      InfoAnswer{"TabAndTagSeparatorBecomeSpaces", "ChannelName=A\tB\001C\nProtocolSignature=P\tQ\n",
                                 "text/plain", "チャンネル情報の更新完了", 200, "P Q", "A B C"},
                      InfoAnswer{"EmptyValuesKeepThePreviousOnes", "ChannelName=\nProtocolSignature=   \n",
                                 "text/plain", "チャンネル情報の更新完了", 200, "p3", "最後①"},
                      InfoAnswer{"NoEqualsSignIsNoValueAndAValueMayHoldOne", "ChannelName Z\r\nChannelName=Z=1\r\n",
                                 "text/plain", "チャンネル情報の更新完了", 200, "p3", "Z=1"}),
    kRowName);

// A list added to an empty tree ("{L}" its address): the tree, its last tag.
struct OddList {
    const char* name;
    QString body;
    QStringList tree;
    QString lastTag;
};
class OddLists : public UpdaterTransferTest, public ::testing::WithParamInterface<OddList> {};

TEST_P(OddLists, SkipCleanOrPlaceTheirLines) {
    serve("/list", GetParam().body.toUtf8(), "text/plain; charset=utf-8");
    load();
    addList(url("/list"));
    EXPECT_EQ(shape(), QStringList(GetParam().tree).replaceInStrings("{L}", url("/list")));
    EXPECT_EQ(tag(node(shape().last().section('|', 1))), GetParam().lastTag);
}

INSTANTIATE_TEST_SUITE_P(
    Updater, OddLists,
    ::testing::Values(OddList{"ShortOrEmptyFieldsAreSkippedTabsAndSeparatorsCleaned",
                              "short,only\n,sig,http://h/i\ng.noSig, ,http://h/i\ng.noUrl,sig,\na..b,sig,http://h/i\n"
                              ".lead,sig,http://h/i\ng.trail.,sig,http://h/i2\ng.tab\tbed,si\u0001g,http://h/i\tx\n",
                              {"0|g", "1|trail({L})", "2|" + un("g.trail."), "1|" + un("g.tab bed")},
                              unnamed("g.tab bed", "si g", "http://h/i x")},
                      OddList{"AChannelNodeIsNeverAGroupOrAParent",
                              QStringLiteral("x,p,http://h/x\n分類なし.x.y,p,http://h/y\n"),
                              {QStringLiteral("0|分類なし"), "1|" + un("x"), "1|x({L})",
                               "2|" + un(QStringLiteral("分類なし.x.y"))},
                              unnamed(QStringLiteral("分類なし.x.y"), "p", "http://h/y")}),
    kRowName);

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
    EXPECT_EQ(w->UpdateState(), UpdaterState::Idle);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_TRUE(status().isEmpty());
    EXPECT_FALSE(w->netHTTP->StillExecuting());

    TreeNode* list = top(1);
    updateNames(list);
    EXPECT_EQ(http.requests(), (QStringList{"/k", "/g"}));
    EXPECT_EQ(tag(list->Child(0)), tagOf(NodeKind::Channel, "g.keep|p|Kept|" + url("/k") + "|True"));
    EXPECT_EQ(text(list->Child(1)->Child(0)), QStringLiteral("C(g.case)"));
    EXPECT_EQ(tag(list->Child(2)), tagOf(NodeKind::Channel, "g.gone|p|Gone|" + url("/g") + "|False"));

    // Channels still listed (in any case, anywhere below) keep "True".
    select(list);
    w->mnuUpdateChannelList_Click();
    ASSERT_TRUE(waitIdle());
    QStringList switches;
    for (int i = 0; i < list->ChildCount(); ++i)
        switches << tag(list->Child(i)).section('|', 1, 1) + "=" + tag(list->Child(i)).section('|', 5, 5);
    EXPECT_EQ(switches, (QStringList{"g.keep=True", "g.new=False", "G.CASE=True"}));
}

TEST_F(UpdaterTransferTest, RemovalWhileDownloadingDropsTheResults) {
    Gate listGate;
    serve("/list", "z.q,p,http://h/q\n", "text/plain", 200, &listGate);
    load(crlf({QStringLiteral("ChannelList\t\tFirst\t\tTrue\t\t%1").arg(url("/list")),
               QStringLiteral("\tChannel\t\tp\t\tf.a\t\tfa\t\t%1\t\tFalse").arg(url("/i1")),
               QStringLiteral("ChannelList\t\tSecond\t\tTrue\t\t%1").arg(url("/list"))}));

    // The list being updated is removed; a second command meanwhile is ignored.
    select(top(1));
    EXPECT_TRUE(w->prgBusy->isHidden());
    w->mnuUpdateChannelList_Click();
    ASSERT_EQ(w->UpdateState(), UpdaterState::DownloadingList);
    EXPECT_FALSE(w->prgBusy->isHidden());
    EXPECT_EQ(w->prgBusy->maximum(), 0);  // moving, not counting
    answers << url("/list");
    w->mnuAddChannelList_Click();
    EXPECT_TRUE(prompts.isEmpty());
    w->mnuRemoveChannelList_Click();
    EXPECT_EQ(confirms, QStringList{QStringLiteral("このチャンネルリストを削除しますか？|チャンネルリストの削除")});
    EXPECT_EQ(roots(), 1);
    QTest::qWait(300);
    EXPECT_FALSE(w->prgBusy->isHidden());  // a slow download: it runs until the answer
    listGate.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(w->prgBusy->isHidden());
    EXPECT_EQ(shape(), (QStringList{"0|First(" + url("/list") + ")", "1|fa(f.a)"}));
    EXPECT_EQ(http.requests(), QStringList{"/list"});
    EXPECT_TRUE(commandsEnabled());

    // The list whose channels are being fetched is removed.
    Gate again;
    serve("/i1", "ChannelName=Late\n", "text/plain", 200, &again);
    http.clearLog();
    select(top(0));
    w->mnuUpdateChannel_Click();
    ASSERT_EQ(w->UpdateState(), UpdaterState::DownloadingInfo);
    w->mnuRemoveChannelList_Click();
    again.open();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(http.requests(), QStringList{"/i1"});
    EXPECT_EQ(roots(), 0);
    EXPECT_EQ(status(), kInfoDone);
    EXPECT_TRUE(commandsEnabled());
}

// A channel one list holds and another lists stays while either list does:
// each list holds a node of it, one channel, named alike. The viewer then
// keeps its favourite and its folder membership.
TEST_F(UpdaterTransferTest, AChannelTwoListsListStaysWhileEitherRemains) {
    serve("/l1", "a.b.c,s1,http://h/abc\n");
    serve("/l2", "x.y.z,s2,http://h/xyz\n");
    serve("/abc", "ChannelName=ABC\n");
    load();
    addList(url("/l1"));
    addList(url("/l2"));
    const QString l1 = "b(" + url("/l1") + ")", l2 = "y(" + url("/l2") + ")";
    serve("/l2", "x.y.z,s2,http://h/xyz\nA.B.C,s3," + url("/abc").toUtf8() + "\n");
    select(node(l2));
    w->mnuUpdateChannelList_Click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(shape(), (QStringList{"0|a", "1|" + l1, "2|" + un("a.b.c"), "0|x", "1|" + l2, "2|" + un("x.y.z"),
                                    "2|" + un("a.b.c")}));
    updateNames(node(l2));
    EXPECT_EQ(tag(node(l1)->Child(0)), tagOf(NodeKind::Channel, "a.b.c|s3|ABC|" + url("/abc") + "|False"));
    EXPECT_EQ(tag(node(l2)->Child(1)), tag(node(l1)->Child(0)));

    select(node(l1));
    w->mnuRemoveChannelList_Click();
    w->close();
    const QString abc = "\t\tChannel\t\ts3\t\ta.b.c\t\tABC\t\t" + url("/abc") + "\t\tFalse";
    const QByteArray list =
        ListFileBytes({"Node\ta\tTrue", "Node\tx\tTrue", "\tChannelList\t\ty\t\tTrue\t\t" + url("/l2"),
                       "\t\tChannel\t\ts2\t\tx.y.z\t\tチャンネル名 未取得\t\thttp://h/xyz\t\tFalse", abc});
    EXPECT_EQ(dir.read("ChannelList.txt"), list);

    ViewerFixture viewer;
    const QByteArray favorites = ListFileBytes({"FavariteRoot\t\tお気に入り\t\tTrue", "\tFavariteChannel\t\ta.b.c"});
    const QByteArray folders =
        ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
                       "\t\tMultiMonitorChannel\t\ta.b.c"});
    viewer.dir.write("ChannelList.txt", dir.read("ChannelList.txt"));
    viewer.dir.write("Favorite.txt", favorites);
    viewer.dir.write("MultiMonitor.txt", folders);
    viewer.open();
    viewer.close();
    EXPECT_EQ(viewer.dir.read("Favorite.txt"), favorites);
    EXPECT_EQ(viewer.dir.read("MultiMonitor.txt"), folders);
}

}  // namespace
