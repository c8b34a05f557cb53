#include "JpegFactory.h"
#include "Rows.h"
#include "TestHttpServer.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

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
    {"redirected", "raw:/redirected", 12, kOk, "Content-Type", "text/plain", "ok"},
    {"endless_redirects", "raw:/endless0", 12, "HTTP/1.1 302 ", "Location", "/endless6", ""},
    {"endless_header", "raw:/header", 11, kTooLarge, "", "", "", 30, 0, 5000, "", nullptr, 0, true},
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

}  // namespace
