// One transfer element against real servers (plain, TLS, a proxy): what a
// completion carries, how bodies are framed and decoded, which failures are
// errors and within which limits, and which connections are reused.

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
#include <thread>

namespace {

using R = RawHttpServer;
using Steps = std::vector<R::Step>;

// Waits for the element's completion and returns the state it reported.
int waitFor(HTTPTransfer* t, int ms = 10000) {
    QSignalSpy spy(t, &HTTPTransfer::StateChanged);
    return spy.wait(ms) ? spy.takeFirst().at(1).toInt() : 0;
}

// A raw server answering each path with its script; unknown paths get "ok".
RawHttpServer scripted(const std::map<QString, Steps>& scripts) {
    return RawHttpServer([scripts](const QString& path) -> Steps {
        const auto it = scripts.find(path);
        if (it != scripts.end()) return it->second;
        return {R::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok")};
    });
}

Steps moved(const QByteArray& code, const QByteArray& to) {
    return {R::send("HTTP/1.1 " + code + " Moved\r\nLocation: " + to +
                    "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")};
}

class HTTPTransferTest : public ::testing::Test {
protected:
    CurlMulti curl;
    HTTPTransferArray array{curl};
    HTTPTransfer* element() { return array.getNewHTTPObject(5, QString(), false); }
};

// Any response with a status completes (12) with its status line, headers
// and body, https included (a local server whose self-signed certificate
// the test trusts).
TEST_F(HTTPTransferTest, CompletedResponsesCarryStatusLineHeadersAndBody) {
    QTemporaryDir dir;
    QString cert, key;
    ASSERT_TRUE(TestHttpServer::MakeCertificate(dir.path(), &cert, &key));
    TestHttpServer server(cert, key);
    const QByteArray jpeg = JpegFactory::make(64, 48);
    server.serve("/a.jpg", jpeg, "image/jpeg", "Sat, 05 Oct 2002 12:34:56 GMT");
    server.handle("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("gone", "text/plain");
    });
    server.start();
    curl.setCaFile(cert);
    HTTPTransfer* t = element();
    EXPECT_EQ(t->Index(), 1);
    t->Execute(server.url("/a.jpg"), "GET");
    EXPECT_TRUE(t->StillExecuting());
    EXPECT_EQ(waitFor(t), 12);
    EXPECT_FALSE(t->StillExecuting());
    EXPECT_TRUE(t->GetHeader().startsWith("HTTP/1.1 200 OK\r\n") && t->GetHeader().endsWith("\r\n\r\n"));
    EXPECT_EQ(t->GetHeader("content-type"), "image/jpeg");
    EXPECT_EQ(t->GetHeader("Last-modified"), "Sat, 05 Oct 2002 12:34:56 GMT");
    EXPECT_EQ(t->GetHeader("X-None"), "");
    EXPECT_EQ(t->Body(), jpeg);
    t->Execute(server.url("/missing"), "GET");
    EXPECT_EQ(waitFor(t), 12);
    EXPECT_EQ(t->StatusLine(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(t->Body(), "gone");
}

// A text body is read in UTF-8, EUC-JP or ISO-2022-JP only when that is
// what it is, and in CP932 whatever else a server declares.
const QString kName = QStringLiteral("テスト①～"), kKana = QStringLiteral("テスト");
struct TextRow {
    const char *name, *contentType;
    QByteArray body;
    QString expected;
};
class BodyTextTest : public HTTPTransferTest, public ::testing::WithParamInterface<TextRow> {};

TEST_P(BodyTextTest, IsDecodedByWhatItIs) {
    TestHttpServer server;
    server.serve("/text", GetParam().body, GetParam().contentType);
    server.start();
    HTTPTransfer* t = element();
    t->Execute(server.url("/text"), "GET");
    ASSERT_EQ(waitFor(t), 12);
    EXPECT_EQ(t->BodyText(), GetParam().expected);
}

const TextRow kTexts[] = {
    {"latin1_label_on_cp932", "text/plain; charset=ISO-8859-1", Cp932::encode(kName), kName},  // a server default
    {"unknown_label", "text/plain; charset=x-no-such-set", Cp932::encode(kName), kName},
    {"no_label", "text/plain", Cp932::encode(kName), kName},
    {"utf8_without_label", "text/plain", kName.toUtf8(), kName},
    {"utf8_bom_against_label", "text/plain; charset=Shift_JIS", "\xEF\xBB\xBF" + kName.toUtf8(), kName},
    {"utf8_quoted_label", "text/plain; charset=\"UTF-8\"", kName.toUtf8(), kName},
    {"euc_jp", "text/html; charset=\"EUC-JP\"", QByteArray::fromHex("a5c6a5b9a5c8"), kKana},
    {"iso_2022_jp", "text/plain; charset=iso-2022-jp", "\x1b$B%F%9%H\x1b(B", kKana}};
VANTORA_ROWS(BodyTextTest, kTexts);

// Framings libcurl reads for us arrive byte for byte, sent in pieces;
// folded header lines are joined; redirects, relative or absolute, are
// followed at most five times, and an endless chain ends with its last one.
struct FramingRow {
    const char *name, *status, *header, *value, *body;
};
class FramingTest : public HTTPTransferTest, public ::testing::WithParamInterface<FramingRow> {};

TEST_P(FramingTest, BodiesArriveWhole) {
    QByteArray chunked = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int at = 0; at < 10; ++at) chunked += "1;ext=1\r\n" + QByteArray(1, char('0' + at)) + "\r\n";
    Steps inPieces;  // every parser state meets a cut
    for (const char c : chunked + "0\r\nX-Trailer: t\r\n\r\n") inPieces.push_back(R::send(QByteArray(1, c)));
    std::map<QString, Steps> scripts{
        {"/chunked", inPieces},
        {"/close", {R::send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the close"), R::close()}},
        {"/continue",
         {R::send("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n"
                  "Content-Type: text/plain\r\n\r\nok")}},
        {"/folded",
         {R::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain;\r\n charset=utf-8\r\n"
                  "Content-Length: 2\r\n\r\nok")}},
        {"/nocontent",  // no body: complete at once, whatever the server does next
         {R::send("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"), R::silence()}},
        {"/redirected", moved("307", "d")},
        {"/d", moved("308", "/ok")}};
    for (int i = 0; i < 10; ++i)
        scripts["/endless" + QString::number(i)] = moved("302", "/endless" + QByteArray::number(i + 1));
    RawHttpServer raw = scripted(scripts);
    const FramingRow& r = GetParam();
    const QString path = "/" + QString::fromLatin1(r.name);
    HTTPTransfer* t = element();
    t->Execute(raw.url(path), "GET");
    ASSERT_EQ(waitFor(t, 15000), 12) << t->ResponseInfo().toStdString();
    EXPECT_TRUE(t->GetHeader().startsWith(r.status)) << t->GetHeader().toStdString();
    EXPECT_EQ(t->GetHeader(r.header), r.value);
    EXPECT_EQ(t->Body(), r.body);
    EXPECT_EQ(t->LastAddress(), raw.url(path));
    EXPECT_LE(raw.requests().size(), 6);  // the first and at most five redirects
}

// clang-format off
const FramingRow kFramings[] = {
    {"chunked", "HTTP/1.1 200 OK\r\n", "Content-Type", "image/jpeg", "0123456789"},
    {"close", "HTTP/1.1 200 OK\r\n", "Content-Type", "text/plain", "until the close"},
    {"continue", "HTTP/1.1 200 OK\r\n", "Content-Type", "text/plain", "ok"},
    {"folded", "HTTP/1.1 200 OK\r\n", "Content-Type", "text/plain; charset=utf-8", "ok"},
    {"nocontent", "HTTP/1.1 204 No Content\r\n", "Connection", "close", ""},
    {"redirected", "HTTP/1.1 200 OK\r\n", "Content-Type", "text/plain", "ok"},
    {"endless0", "HTTP/1.1 302 ", "Location", "/endless6", ""}};
// clang-format on
VANTORA_ROWS(FramingTest, kFramings);

// Failures without a usable status are errors (11) with a Japanese text, at
// their limit and not later; an address that is not http or https is never
// opened, a FIFO included. https has the limits of http. None of them holds
// up another element.
struct FailureRow {
    const char* name;
    const char* address;  // "raw:/path", "tls:/path" (trusted), "untrusted:/path", "fifo" or absolute
    int timeout, minMs, maxMs;
    const char* info;
    const char* proxy = "";      // "raw": the raw server is the proxy
    const char* seen = nullptr;  // a request the raw server must have seen this often
    int seenCount = 0;
    bool boundedMemory = false;  // the process's peak memory must not move
};
class FailureTest : public HTTPTransferTest, public ::testing::WithParamInterface<FailureRow> {};

qint64 peakResidentBytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return qint64(u.ru_maxrss) * 1024;
}

TEST_P(FailureTest, IsAnErrorAtItsLimit) {
    const FailureRow& r = GetParam();
    QTemporaryDir dir;
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray textHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    const QByteArray filler = "X-Filler: " + QByteArray(1000, 'a') + "\r\n";
    Steps drip{R::send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 100000\r\n\r\n")};
    for (int i = 0; i < 100; ++i) drip.insert(drip.end(), {R::send("x"), R::sleep(100)});
    RawHttpServer raw = scripted({
        {"/silent", {R::silence()}},
        {"/a", moved("301", "/b")},
        {"/b", moved("302", "http://127.0.0.1:1/x")},  // nothing listens there
        {"/tofile", moved("302", "file://" + QFile::encodeName(fifo))},
        {"/reset", {R::reset()}},
        {"/drip", drip},
        {"/garbage", {R::send("garbage that is not HTTP\r\n\r\n")}},
        {"/declared",
         {R::send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 209715200\r\n\r\nxxxx"),
          R::sleep(2000)}},
        {"/streamed",  // no length: read until the connection closes
         {R::send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n"), R::repeat(QByteArray(1 << 20, 'x'), 200)}},
        {"/chunks",
         {R::send(textHead + "Transfer-Encoding: chunked\r\n\r\n"),
          R::repeat("10000\r\n" + QByteArray(0x10000, 'c') + "\r\n", 100000)}},
        {"/cut", {R::send(textHead + "Content-Length: 100000\r\n\r\nChannelName=a"), R::close()}},
        {"/nolastchunk", {R::send(textHead + "Transfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n"), R::close()}},
        {"/header", {R::send(textHead), R::repeat(filler, 200000)}},
        {"/headerline", {R::send(textHead + "X-Long: "), R::repeat("a", 50000000)}},
        // As a proxy: a CONNECT answer whose header never ends.
        {"127.0.0.1:9", {R::send("HTTP/1.1 200 Connection established\r\n"), R::repeat(filler, 200000)}},
    });
    const QString address = QString::fromLatin1(r.address);
    QString url = address;
    std::unique_ptr<TestHttpServer> tls;
    if (address.startsWith("raw:")) url = raw.url(address.mid(4));
    if (address == "fifo") url = "file://" + fifo;
    if (address.startsWith("tls:") || address.startsWith("untrusted:")) {
        QString cert, key;
        ASSERT_TRUE(TestHttpServer::MakeCertificate(dir.path(), &cert, &key));
        tls = std::make_unique<TestHttpServer>(cert, key);
        tls->handle(".*", [](const httplib::Request& req, httplib::Response& res) {
            const std::string chunk(1 << 20, 'x');
            if (req.path == "/header") {
                for (int i = 0; i < 100; ++i) res.set_header("X-Filler-" + std::to_string(i), std::string(1000, 'a'));
            } else if (req.path == "/declared") {  // 200 MB
                res.set_content_provider(200 << 20, "image/jpeg", [chunk](size_t, size_t, httplib::DataSink& sink) {
                    return sink.write(chunk.data(), chunk.size());
                });
            } else if (req.path == "/streamed") {
                res.set_chunked_content_provider("image/jpeg", [chunk](size_t, httplib::DataSink& sink) {
                    return sink.write(chunk.data(), chunk.size());
                });
            } else if (req.path == "/drip") {
                res.set_content_provider(1000, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    return sink.write("x", 1);
                });
            } else if (req.path == "/cut") {
                res.set_content_provider(100000, "text/plain", [](size_t offset, size_t, httplib::DataSink& sink) {
                    return offset == 0 && sink.write("ChannelName=a", 13);
                });
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
    const qint64 peakBefore = peakResidentBytes();
    QElapsedTimer clock;
    clock.start();
    t->Execute(url, "GET");
    EXPECT_TRUE(t->StillExecuting());  // reported later, never from inside Execute
    EXPECT_EQ(waitFor(t, 30000), 11);
    EXPECT_GE(clock.elapsed(), r.minMs);
    EXPECT_LT(clock.elapsed(), r.maxMs);
    EXPECT_EQ(t->ResponseInfo().toStdString(), r.info);
    EXPECT_NE(t->ResponseCode(), 0);
    EXPECT_TRUE(t->GetHeader().isEmpty());
    EXPECT_TRUE(t->Body().isEmpty());
    EXPECT_TRUE(!r.boundedMemory || peakResidentBytes() - peakBefore < 16 * 1024 * 1024);
    EXPECT_TRUE(!r.seen || raw.count(r.seen) == r.seenCount);
    // Another element still gets its answer.
    HTTPTransfer* other = element();
    other->Execute(raw.url("/ok"), "GET");
    ASSERT_EQ(waitFor(other), 12);
    EXPECT_EQ(other->BodyText(), "ok");
}

constexpr const char* kTooLarge = "応答が大きすぎます";
constexpr const char* kCut = "応答が途中で切れました";
constexpr const char* kUnsupported = "対応していないアドレスです";
constexpr const char* kTimedOut = "タイムアウトしました";
// clang-format off
const FailureRow kFailures[] = {
    {"endless_header", "raw:/header", 30, 0, 5000, kTooLarge, "", nullptr, 0, true},
    {"endless_header_line", "raw:/headerline", 30, 0, 5000, kTooLarge, "", nullptr, 0, true},
    {"endless_CONNECT_answer", "https://127.0.0.1:9/x", 30, 0, 5000, kTooLarge, "raw", "127.0.0.1:9", 1, true},
    {"file", "file:///etc/hostname", 30, 0, 1000, kUnsupported},
    {"fifo", "fifo", 30, 0, 1000, kUnsupported},
    {"redirect_to_a_fifo", "raw:/tofile", 30, 0, 1000, kUnsupported},
    {"ftp", "ftp://127.0.0.1:1/list.txt", 30, 0, 1000, kUnsupported},
    {"no_address", "", 30, 0, 1000, kUnsupported},
    {"refused", "http://127.0.0.1:1/refused", 30, 0, 5000, "接続が拒否されました"},
    {"redirect_to_refused", "raw:/a", 30, 0, 5000, "接続が拒否されました"},
    // the proxy that refused is not bypassed
    {"proxy_refused", "raw:/ok", 30, 0, 5000, "プロキシへの接続に失敗しました", "127.0.0.1:1", "/ok", 0},
    {"silent", "raw:/silent", 1, 900, 3000, kTimedOut},
    {"dripped_body", "raw:/drip", 1, 900, 3000, kTimedOut},
    {"reset", "raw:/reset", 30, 0, 5000, "接続が切断されました"},
    {"not_HTTP", "raw:/garbage", 30, 0, 5000, "サーバーの応答が正しくありません"},
    {"200_MB_declared", "raw:/declared", 30, 0, 1500, kTooLarge},
    {"200_MB_streamed", "raw:/streamed", 30, 0, 20000, kTooLarge},
    {"endless_chunks", "raw:/chunks", 30, 0, 20000, kTooLarge},
    {"short_Content_Length", "raw:/cut", 30, 0, 5000, kCut},
    {"no_last_chunk", "raw:/nolastchunk", 30, 0, 5000, kCut},
    {"https_unknown_authority", "untrusted:/a.jpg", 30, 0, 5000, "TLS(SSL)の接続に失敗しました"},
    {"https_header_over_the_limit", "tls:/header", 30, 0, 5000, kTooLarge},
    {"https_200_MB_declared", "tls:/declared", 30, 0, 1500, kTooLarge},
    {"https_200_MB_streamed", "tls:/streamed", 30, 0, 20000, kTooLarge},
    {"https_dripped_body", "tls:/drip", 1, 900, 3000, kTimedOut},
    {"https_short_Content_Length", "tls:/cut", 30, 0, 5000, kCut}};
// clang-format on
VANTORA_ROWS(FailureTest, kFailures);

// AccessType 0 takes the environment's proxy settings, no_proxy included.
TEST_F(HTTPTransferTest, TheDefaultAccessFollowsTheEnvironment) {
    TestHttpServer proxy;
    proxy.handle(".*", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("via proxy " + req.target, "text/plain");
    });
    proxy.start();
    qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(proxy.port()));
    HTTPTransfer* t = element();
    t->Execute(QStringLiteral("http://channels.invalid/info.txt"));
    EXPECT_EQ(waitFor(t, 20000), 12);
    EXPECT_EQ(t->BodyText(), "via proxy http://channels.invalid/info.txt");
    qputenv("no_proxy", "channels.invalid");
    t->Execute(QStringLiteral("http://channels.invalid/info.txt"));
    EXPECT_EQ(waitFor(t, 20000), 11);
    EXPECT_EQ(t->ResponseInfo(), "サーバーが見つかりません");
    qunsetenv("http_proxy");
    qunsetenv("no_proxy");
}

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
