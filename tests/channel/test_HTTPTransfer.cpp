#include "JpegFactory.h"
#include "Rows.h"
#include "TestHttpServer.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <map>

namespace {

using R = RawHttpServer;
using Steps = std::vector<R::Step>;

int waitFor(HTTPTransfer* t, int ms = 10000) {
    QSignalSpy spy(t, &HTTPTransfer::StateChanged);
    return spy.wait(ms) ? spy.takeFirst().at(1).toInt() : 0;
}

qint64 peakResidentKiB() {
    rusage u{};
    return getrusage(RUSAGE_SELF, &u) == 0 ? u.ru_maxrss : -1;
}

Steps moved(const QByteArray& code, const QByteArray& to) {
    return R::answer("HTTP/1.1 " + code + " Moved\r\nLocation: " + to, "");
}

class HTTPTransferTest : public ::testing::Test {
protected:
    CurlMulti curl;
    HTTPTransferArray array{curl};
    HTTPTransfer* element() { return array.getNewHTTPObject(5, QString(), false); }
};

// One answer and what the element reports: 12 with its status line, a header
// and the body (for "text" rows the decoded text); or 11 with its text, at its
// limit and not later. Text is UTF-8, EUC-JP or ISO-2022-JP only when it is,
// else CP932 whatever the label; only http and https are opened; https has
// the limits of http; one failure never holds up another element.
struct Row {
    const char *name, *address;  // "raw:/path", "tls:/path" (trusted), "untrusted:/path", "fifo" or absolute
    int state;
    const char *text, *header, *value;  // text: 12: how the header starts; 11: the failure text
    QByteArray body;
    int timeout = 30, minMs = 0, maxMs = 5000;
    const char* proxy = "";      // "raw": the raw server is the proxy
    const char* seen = nullptr;  // a request the raw server must have seen this often
    int seenCount = 0;
    bool boundedMemory = false;  // the process's peak memory must not move
};
class TransferAnswerTest : public HTTPTransferTest, public ::testing::WithParamInterface<Row> {};

const QString kName = QStringLiteral("テスト①～");
const QByteArray kCp932 = Cp932::encode(kName), kUtf8 = kName.toUtf8(), kKana = QStringLiteral("テスト").toUtf8();
const QByteArray kJpeg = JpegFactory::make(64, 48);

TEST_P(TransferAnswerTest, CompletesOrFailsAtItsLimit) {
    const Row& r = GetParam();
    QTemporaryDir dir;
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray text = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n",
                     filler = "X-F: " + QByteArray(999, 'a') + "\r\n";
    Steps drip{R::send(text + "Content-Length: 100000\r\n\r\n")},
        chunked{R::send(text + "Transfer-Encoding: chunked\r\n\r\n")};
    for (int i = 0; i < 100; ++i) drip.insert(drip.end(), {R::send("x"), R::sleep(100)});
    for (const char c : QByteArray("1;ext=1\r\no\r\n1\r\nk\r\n0\r\nX-Trailer: t\r\n\r\n"))
        chunked.push_back(R::send(QByteArray(1, c)));
    std::map<QString, Steps> scripts{
        {"/latin1", R::ok("text/plain; charset=ISO-8859-1", kCp932)},  // a server's default on Japanese text
        {"/latin1utf8", R::ok("text/plain; charset=ISO-8859-1", kUtf8)},
        {"/plain", R::ok("text/plain", kCp932)},
        {"/utf8bare", R::ok("text/plain", kUtf8)},
        {"/utf8bom", R::ok("text/plain; charset=Shift_JIS", "\xEF\xBB\xBF" + kUtf8)},
        {"/utf8", R::ok("text/plain; charset=\"UTF-8\"", kUtf8)},
        {"/eucjp", R::ok("text/html; charset=\"EUC-JP\"", QByteArray::fromHex("a5c6a5b9a5c8"))},
        {"/jis", R::ok("text/plain; charset=iso-2022-jp", "\x1b$B%F%9%H\x1b(B")},
        {"/chunked", chunked},  // every parser state meets a cut
        {"/close", {R::send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nok"), R::close()}},
        {"/continue", {R::send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")}},
        {"/folded",
         {R::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain;\r\n charset=utf-8\r\nContent-Length: 2\r\n\r\nok")}},
        {"/nocontent", {R::send("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"), R::silence()}},
        {"/missing", {R::send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone")}},
        {"/redirected", moved("307", "d")},
        {"/d", moved("308", "/ok")},
        {"/silent", {R::silence()}},
        {"/tofile", moved("302", "file://" + QFile::encodeName(fifo))},
        {"/reset", {R::reset()}},
        {"/drip", drip},
        {"/garbage", {R::send("garbage that is not HTTP\r\n\r\n")}},
        {"/declared", {R::send(text + "Content-Length: 209715200\r\n\r\nxxxx"), R::sleep(2000)}},
        {"/streamed", {R::send("HTTP/1.0 200 OK\r\n\r\n"), R::repeat(QByteArray(1 << 20, 'x'), 200)}},  // to the close
        {"/cut", {R::send(text + "Content-Length: 100000\r\n\r\nChannelName=a"), R::close()}},
        {"/header", {R::send(text), R::repeat(filler, 200000)}},
        // Field lines that look like status lines still count.
        {"/statuslines", {R::send(text), R::repeat("HTTP/1.1-" + filler, 200000)}},
        {"/reason", R::answer("HTTP/1.1 404 " + Cp932::encode(QStringLiteral("見つかりません①")), "")},
        {"/fields", R::answer("HTTP/1.1 200 OK\r\nX-Name: " + kUtf8 + "\r\nX-Sjis: " + kCp932, "")},
        {"/headerline", {R::send(text + "X-Long: "), R::repeat("a", 50000000)}},
        // As a proxy: a CONNECT answer whose header never ends.
        {"127.0.0.1:9", {R::send("HTTP/1.1 200 Connection established\r\n"), R::repeat(filler, 200000)}}};
    for (int i = 0; i < 10; ++i)
        scripts["/endless" + QString::number(i)] = moved("302", "/endless" + QByteArray::number(i + 1));
    RawHttpServer raw(
        [&scripts](const QString& path) { return scripts.count(path) ? scripts[path] : R::ok("text/plain", "ok"); });

    const QString address = QString::fromLatin1(r.address);
    QString url = address.startsWith("raw:") ? raw.url(address.mid(4)) : address == "fifo" ? "file://" + fifo : address;
    std::unique_ptr<TestHttpServer> tls;
    if (address.startsWith("tls:") || address.startsWith("untrusted:")) {
        QString cert, key;
        ASSERT_TRUE(TestHttpServer::MakeCertificate(dir.path(), &cert, &key));
        tls = std::make_unique<TestHttpServer>(cert, key);
        tls->handle(".*", [](const httplib::Request& req, httplib::Response& res) {
            const std::string chunk(1 << 20, 'x');
            if (req.path == "/header") {
                for (int i = 0; i < 100; ++i) res.set_header("X-Filler-" + std::to_string(i), std::string(1000, 'a'));
            } else if (req.path == "/streamed") {
                res.set_chunked_content_provider("image/jpeg", [chunk](size_t, httplib::DataSink& sink) {
                    return sink.write(chunk.data(), chunk.size());
                });
            } else {
                res.set_header("Last-Modified", "Sat, 05 Oct 2002 12:34:56 GMT");
                res.set_content(kJpeg.toStdString(), "image/jpeg");
            }
        });
        tls->start();
        url = tls->url(address.section(':', 1));
        if (address.startsWith("tls:")) curl.setCaFile(cert);
    }
    HTTPTransfer* t = element();
    t->RequestTimeout = r.timeout;
    t->Proxy = r.proxy == std::string("raw") ? QStringLiteral("127.0.0.1:%1").arg(raw.port()) : r.proxy;
    t->AccessType = t->Proxy.isEmpty() ? HTTPTransfer::AccessDefault : HTTPTransfer::AccessNamedProxy;
    const qint64 peakBefore = peakResidentKiB();
    QElapsedTimer clock;
    clock.start();
    t->Execute(url, "GET");
    EXPECT_TRUE(t->StillExecuting());  // reported later, never from inside Execute
    ASSERT_EQ(waitFor(t, 30000), r.state) << t->ResponseInfo().toStdString();
    EXPECT_GE(clock.elapsed(), r.minMs);
    EXPECT_LT(clock.elapsed(), r.maxMs);
    if (r.state == 12) {
        EXPECT_TRUE(t->GetHeader().startsWith(r.text)) << t->GetHeader().toStdString();
        EXPECT_TRUE(t->GetHeader().startsWith(t->StatusLine() + "\r\n") && t->GetHeader().endsWith("\r\n\r\n"));
        EXPECT_EQ(t->GetHeader("X-None"), "");
        EXPECT_EQ(t->GetHeader(r.header), r.value);
        EXPECT_EQ(r.header == std::string("text") ? t->BodyText().toUtf8() : t->Body(), r.body);
        EXPECT_EQ(t->LastAddress(), url);
        EXPECT_LE(raw.requests().size(), 6);  // the first and at most five redirects
        return;
    }
    EXPECT_EQ(t->ResponseInfo().toStdString(), r.text);
    EXPECT_NE(t->ResponseCode(), 0);
    EXPECT_TRUE(t->GetHeader().isEmpty() && t->Body().isEmpty());
    EXPECT_TRUE(!r.boundedMemory || peakResidentKiB() - peakBefore < 16 * 1024);
    EXPECT_TRUE(!r.seen || raw.count(r.seen) == r.seenCount);
    HTTPTransfer* other = element();  // another element still gets its answer
    other->Execute(raw.url("/ok"), "GET");
    ASSERT_EQ(waitFor(other), 12);
    EXPECT_EQ(other->BodyText(), "ok");
}

constexpr const char *kOk = "HTTP/1.1 200 OK\r\n", *kTooLarge = "応答が大きすぎます", *kCut = "応答が途中で切れました";
constexpr const char *kUnsupported = "対応していないアドレスです", *kTimedOut = "タイムアウトしました";
// clang-format off
const Row kRows[] = {
    {"latin1_label_on_cp932", "raw:/latin1", 12, kOk, "text", "", kUtf8},
    {"latin1_label_on_utf8", "raw:/latin1utf8", 12, kOk, "text", "", kUtf8},
    {"no_label", "raw:/plain", 12, kOk, "text", "", kUtf8},
    {"utf8_without_label", "raw:/utf8bare", 12, kOk, "text", "", kUtf8},
    {"utf8_bom_against_label", "raw:/utf8bom", 12, kOk, "text", "", kUtf8},
    {"utf8_quoted_label", "raw:/utf8", 12, kOk, "text", "", kUtf8},
    {"euc_jp", "raw:/eucjp", 12, kOk, "text", "", kKana},
    {"iso_2022_jp", "raw:/jis", 12, kOk, "text", "", kKana},
    {"chunked_in_pieces", "raw:/chunked", 12, kOk, "Content-Type", "text/plain", "ok"},
    {"to_the_close", "raw:/close", 12, kOk, "Content-Type", "text/plain", "ok"},
    {"continue", "raw:/continue", 12, kOk, "Content-Length", "2", "ok"},
    {"folded", "raw:/folded", 12, kOk, "Content-Type", "text/plain; charset=utf-8", "ok"},
    {"no_content", "raw:/nocontent", 12, "HTTP/1.1 204 No Content\r\n", "Connection", "close", ""},
    {"not_found", "raw:/missing", 12, "HTTP/1.1 404 Not Found\r\n", "Content-Length", "4", "gone"},
    {"cp932_reason_phrase", "raw:/reason", 12, "HTTP/1.1 404 見つかりません①\r\n", "Connection", "close", ""},
    {"utf8_header_value", "raw:/fields", 12, kOk, "X-Name", "テスト①～", ""},
    {"cp932_header_value", "raw:/fields", 12, kOk, "x-sjis", "テスト①～", ""},
    {"redirected", "raw:/redirected", 12, kOk, "Content-Type", "text/plain", "ok"},
    {"endless_redirects", "raw:/endless0", 12, "HTTP/1.1 302 ", "Location", "/endless6", ""},
    {"endless_header", "raw:/header", 11, kTooLarge, "", "", "", 30, 0, 5000, "", nullptr, 0, true},
    {"endless_status_lines", "raw:/statuslines", 11, kTooLarge, "", "", "", 30, 0, 5000, "", nullptr, 0, true},
    {"endless_header_line", "raw:/headerline", 11, kTooLarge, "", "", "", 30, 0, 5000, "", nullptr, 0, true},
    {"endless_CONNECT_answer", "https://127.0.0.1:9/x", 11, kTooLarge, "", "", "", 30, 0, 5000, "raw", "127.0.0.1:9", 1, true},
    {"file", "file:///etc/hostname", 11, kUnsupported, "", "", "", 30, 0, 1000},
    {"fifo", "fifo", 11, kUnsupported, "", "", "", 30, 0, 1000},
    {"redirect_to_a_fifo", "raw:/tofile", 11, kUnsupported, "", "", "", 30, 0, 1000},
    {"ftp", "ftp://127.0.0.1:1/list.txt", 11, kUnsupported, "", "", "", 30, 0, 1000},
    {"refused", "http://127.0.0.1:1/refused", 11, "接続が拒否されました", "", "", ""},
    {"unknown_host", "http://channels.invalid/info.txt", 11, "サーバーが見つかりません", "", "", ""},
    // the proxy that refused is not bypassed
    {"proxy_refused", "raw:/ok", 11, "プロキシへの接続に失敗しました", "", "", "", 30, 0, 5000, "127.0.0.1:1", "/ok", 0},
    {"silent", "raw:/silent", 11, kTimedOut, "", "", "", 1, 900, 3000},
    {"dripped_body", "raw:/drip", 11, kTimedOut, "", "", "", 1, 900, 3000},
    {"reset", "raw:/reset", 11, "接続が切断されました", "", "", ""},
    {"not_HTTP", "raw:/garbage", 11, "サーバーの応答が正しくありません", "", "", ""},
    {"200_MB_declared", "raw:/declared", 11, kTooLarge, "", "", "", 30, 0, 1500},
    {"200_MB_streamed", "raw:/streamed", 11, kTooLarge, "", "", "", 30, 0, 20000},
    {"short_Content_Length", "raw:/cut", 11, kCut, "", "", ""},
    {"https", "tls:/a.jpg", 12, kOk, "last-MODIFIED", "Sat, 05 Oct 2002 12:34:56 GMT", kJpeg},
    {"https_unknown_authority", "untrusted:/a.jpg", 11, "TLS(SSL)の接続に失敗しました", "", "", ""},
    {"https_header_over_the_limit", "tls:/header", 11, kTooLarge, "", "", ""},
    {"https_200_MB_streamed", "tls:/streamed", 11, kTooLarge, "", "", "", 30, 0, 20000},
};
// clang-format on
VANTORA_ROWS(TransferAnswerTest, kRows);

// Requests one after another, from one element or several, share one kept
// connection (requests at the same time: SlowAnswersDoNotHoldUpOtherChannels).
TEST_F(HTTPTransferTest, ConnectionsAreKeptAliveAndReused) {
    TestHttpServer server;
    server.keepAlive();
    server.serve("/a.jpg", JpegFactory::make(32, 24), "image/jpeg");
    server.start();
    HTTPTransfer* first = element();
    HTTPTransfer* second = element();
    for (HTTPTransfer* t : {first, first, second, first}) {
        t->Execute(server.url("/a.jpg"));
        ASSERT_EQ(waitFor(t), 12);
    }
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(curl.ConnectionsOpened(), 1);
}

// Addresses with spaces around them, and the named proxy: used for every
// host (the environment's no_proxy names the target here), and a port that
// is not 1 to 65535 is a failure of its own, never port 80. The proxy and
// the target are real listeners that answer with their own names.
struct ProxyRow {
    const char* name;
    const char* address;  // %1: the target's port
    const char* proxy;    // %1: the proxy's port; empty: no proxy
    int state;
    const char* result;  // 12: the body; 11: the failure text
};
class NamedProxyTest : public HTTPTransferTest, public ::testing::WithParamInterface<ProxyRow> {};

TEST_P(NamedProxyTest, CarriesEveryRequestOrSaysWhyNot) {
    const ProxyRow& row = GetParam();
    RawHttpServer target([](const QString&) { return R::ok("text/plain", "target"); });
    RawHttpServer proxy([](const QString&) { return R::ok("text/plain", "proxy"); });
    qputenv("no_proxy", "127.0.0.1,localhost");
    HTTPTransfer* t = array.getNewHTTPObject(5, QString::fromUtf8(row.proxy).arg(proxy.port()), *row.proxy != 0);
    QElapsedTimer clock;
    clock.start();
    t->Execute(QString::fromUtf8(row.address).arg(target.port()));
    const int state = waitFor(t);
    qunsetenv("no_proxy");
    ASSERT_EQ(state, row.state) << t->ResponseInfo().toStdString();
    EXPECT_EQ((state == 12 ? t->BodyText() : t->ResponseInfo()).toStdString(), row.result);
    EXPECT_EQ(target.requests().size() + proxy.requests().size(), state == 12 ? 1 : 0);
    EXPECT_LT(clock.elapsed(), 2000);
}

const char* const kBadPort = "プロキシのポート番号が正しくありません";
// clang-format off
const ProxyRow kProxies[] = {
    {"spaces_around_the_address", "  http://127.0.0.1:%1/ok \t", "", 12, "target"},
    {"named_proxy_for_a_no_proxy_host", "http://127.0.0.1:%1/ok", "127.0.0.1:%1", 12, "proxy"},
    {"named_proxy_with_spaces", " http://127.0.0.1:%1/ok ", " http://127.0.0.1:%1/ ", 12, "proxy"},
    {"port_of_letters", "http://127.0.0.1:%1/ok", "127.0.0.1:abc", 11, kBadPort},
    {"port_with_a_letter_O", "http://127.0.0.1:%1/ok", "127.0.0.1:808O", 11, kBadPort},
    {"port_zero", "http://127.0.0.1:%1/ok", "127.0.0.1:0", 11, kBadPort},
    {"port_past_65535", "http://127.0.0.1:%1/ok", "127.0.0.1:65536", 11, kBadPort},
    {"empty_port", "http://127.0.0.1:%1/ok", "127.0.0.1:", 11, kBadPort},
    {"signed_port", "http://127.0.0.1:%1/ok", "127.0.0.1:+8080", 11, kBadPort},
};
// clang-format on
VANTORA_ROWS(NamedProxyTest, kProxies);

// libcurl refusing a handle (curl_multi_add_handle failing) still ends the
// request with a completion, later, and the element works again after it.
TEST_F(HTTPTransferTest, ASetupFailureIsACompletion) {
    RawHttpServer server([](const QString&) { return R::ok("text/plain", "ok"); });
    HTTPTransfer* t = element();
    curl.setAddFault([] { return true; });
    t->Execute(server.url("/ok"));
    EXPECT_TRUE(t->StillExecuting());
    ASSERT_EQ(waitFor(t), 11);
    EXPECT_EQ(t->ResponseInfo(), QStringLiteral("通信の準備に失敗しました"));
    EXPECT_FALSE(t->StillExecuting());
    curl.setAddFault(nullptr);
    t->Execute(server.url("/ok"));
    ASSERT_EQ(waitFor(t), 12);
    EXPECT_EQ(server.requests(), QStringList{"/ok"});
}

// With a budget of four connections, two to a server: a server that never
// answers holds two, the other server's requests go on, and a request that
// waited for a connection gets its whole deadline once it has one.
TEST(CurlMultiBudget, RequestsBeyondItWaitTheirTurnAndNeverFailForIt) {
    EXPECT_EQ(CurlMulti::BudgetFor(256).Total, 192);
    EXPECT_EQ(CurlMulti::BudgetFor(256).PerHost, 96);
    EXPECT_EQ(CurlMulti::BudgetFor(100).Total, 36);
    CurlMulti curl(CurlMulti::Budget{4, 2});
    HTTPTransferArray array(curl);
    RawHttpServer silent([](const QString&) { return Steps{R::silence()}; });
    TestHttpServer working;
    working.keepAlive();
    working.serve("/a.jpg", kJpeg, "image/jpeg");
    working.start();
    std::vector<HTTPTransfer*> dead, alive;
    std::map<HTTPTransfer*, qint64> endedAt;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 3; ++i) dead.push_back(array.getNewHTTPObject(2, QString(), false));
    for (int i = 0; i < 3; ++i) alive.push_back(array.getNewHTTPObject(2, QString(), false));
    QObject::connect(&array, &HTTPTransferArray::StateChanged, &curl,
                     [&](int index, int) { endedAt[array.Element(index)] = clock.elapsed(); });
    for (HTTPTransfer* t : dead) t->Execute(silent.url("/x"));
    EXPECT_EQ(curl.Waiting(), 1);
    EXPECT_TRUE(dead[2]->WaitingForConnection());
    for (int round = 0; round < 3; ++round)
        for (HTTPTransfer* t : alive) {
            t->Execute(working.url("/a.jpg"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return !t->StillExecuting(); }, 1500));
            EXPECT_EQ(t->Body(), kJpeg);
        }
    EXPECT_LT(clock.elapsed(), 1500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return endedAt.count(dead[2]); }, 8000));
    for (HTTPTransfer* t : dead) EXPECT_EQ(t->ResponseInfo(), QStringLiteral("タイムアウトしました"));
    EXPECT_LT(endedAt[dead[0]], 3000);
    EXPECT_GE(endedAt[dead[2]], endedAt[dead[0]] + 1900);  // its two seconds began when it got a connection
    EXPECT_EQ(curl.Running(), 0);
}

}  // namespace
