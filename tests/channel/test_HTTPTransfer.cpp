// One transfer element against real servers (plain, TLS, a proxy): what a
// completion carries, how bodies are framed and decoded, which failures are
// errors and within which limits, and which connections are reused.

#include <gtest/gtest.h>

#include "JpegFactory.h"
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

using Steps = std::vector<RawHttpServer::Step>;

// Waits for the element's completion and returns the state it reported.
int waitFor(HTTPTransfer* t, int ms = 10000) {
    QSignalSpy spy(t, &HTTPTransfer::StateChanged);
    return spy.wait(ms) ? spy.takeFirst().at(1).toInt() : 0;
}

qint64 peakResidentBytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return qint64(u.ru_maxrss) * 1024;
}

// A raw server answering each path with its script; unknown paths get "ok".
RawHttpServer scripted(const std::map<QString, Steps>& scripts) {
    return RawHttpServer([scripts](const QString& path) -> Steps {
        const auto it = scripts.find(path);
        if (it != scripts.end()) return it->second;
        return {RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 2\r\n\r\nok")};
    });
}

// A redirect to another address.
Steps moved(const QByteArray& code, const QByteArray& to) {
    return {RawHttpServer::send("HTTP/1.1 " + code + " Moved\r\nLocation: " + to + "\r\nContent-Length: 0\r\n\r\n")};
}

// The bytes sent in pieces of n, with a short pause now and then.
Steps inPieces(const QByteArray& bytes, int n) {
    Steps steps;
    for (qsizetype at = 0; at < bytes.size(); at += n) {
        steps.push_back(RawHttpServer::send(bytes.mid(at, n)));
        if ((at / n) % 8 == 0) steps.push_back(RawHttpServer::sleep(1));
    }
    return steps;
}

// A failure row: the address (a path on the test's server, or absolute),
// the deadline, how soon the error must come, and the text a user reads.
struct Failure {
    const char* name;
    QString address;
    int timeout;
    int minMs, maxMs;
    const char* info;
    QString proxy = QString();  // AccessType 2 through this proxy
};

void expectFailures(HTTPTransfer* t, const std::vector<Failure>& rows) {
    for (const Failure& f : rows) {
        SCOPED_TRACE(f.name);
        t->RequestTimeout = f.timeout;
        t->Proxy = f.proxy;
        t->AccessType = f.proxy.isEmpty() ? HTTPTransfer::AccessDefault : HTTPTransfer::AccessNamedProxy;
        QElapsedTimer clock;
        clock.start();
        t->Execute(f.address, "GET");
        EXPECT_TRUE(t->StillExecuting());  // reported later, never from inside Execute
        EXPECT_EQ(waitFor(t, 30000), 11);
        EXPECT_GE(clock.elapsed(), f.minMs);
        EXPECT_LT(clock.elapsed(), f.maxMs);
        EXPECT_EQ(t->ResponseInfo().toStdString(), f.info);
        EXPECT_NE(t->ResponseCode(), 0);
        EXPECT_TRUE(t->GetHeader().isEmpty());
        EXPECT_TRUE(t->Body().isEmpty());
    }
    t->Proxy.clear();
    t->AccessType = HTTPTransfer::AccessDefault;
}

class HTTPTransferTest : public ::testing::Test {
protected:
    CurlMulti curl;
    HTTPTransferArray array{curl};
    HTTPTransfer* element() { return array.getNewHTTPObject(5, QString(), false); }
};

// Any response with a status completes (12) with its status line, headers
// and body; a text body is read in UTF-8, EUC-JP or ISO-2022-JP only when
// that is what it is, and in CP932 whatever else a server declares.
TEST_F(HTTPTransferTest, CompletedResponsesCarryStatusLineHeadersAndDecodedText) {
    TestHttpServer server;
    const QByteArray jpeg = JpegFactory::make(64, 48);
    server.serve("/a.jpg", jpeg, "image/jpeg", "Sat, 05 Oct 2002 12:34:56 GMT");
    server.serveStatus("/missing", 404, "gone");
    const QString name = QStringLiteral("テスト①～");
    const QByteArray cp932 = Cp932::encode(name), utf8 = name.toUtf8();
    const QString kana = QStringLiteral("テスト");
    const struct {
        const char* path;
        const char* contentType;
        QByteArray body;
        QString expected;
    } texts[] = {
        {"/latin1", "text/plain; charset=ISO-8859-1", cp932, name},  // a server's default label on Japanese text
        {"/unknown", "text/plain; charset=x-no-such-set", cp932, name},
        {"/plain", "text/plain", cp932, name},
        {"/utf8bare", "text/plain", utf8, name},
        {"/utf8bom", "text/plain; charset=Shift_JIS", "\xEF\xBB\xBF" + utf8, name},
        {"/utf8", "text/plain; charset=\"UTF-8\"", utf8, name},
        {"/eucjp", "text/html; charset=\"EUC-JP\"", QByteArray::fromHex("a5c6a5b9a5c8"), kana},
        {"/jis", "text/plain; charset=iso-2022-jp", "\x1b$B%F%9%H\x1b(B", kana},
    };
    for (const auto& row : texts) server.serve(row.path, row.body, row.contentType);
    server.start();

    HTTPTransfer* t = element();
    EXPECT_EQ(t->Index(), 1);
    t->Execute(server.url("/a.jpg"), "GET");
    EXPECT_TRUE(t->StillExecuting());
    EXPECT_EQ(waitFor(t), 12);
    EXPECT_FALSE(t->StillExecuting());
    EXPECT_TRUE(t->GetHeader().startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(t->GetHeader().endsWith("\r\n\r\n"));
    EXPECT_EQ(t->GetHeader("content-type"), "image/jpeg");
    EXPECT_EQ(t->GetHeader("Last-modified"), "Sat, 05 Oct 2002 12:34:56 GMT");
    EXPECT_EQ(t->GetHeader("X-None"), "");
    EXPECT_EQ(t->Body(), jpeg);

    t->Execute(server.url("/missing"), "GET");
    EXPECT_EQ(waitFor(t), 12);
    EXPECT_TRUE(t->GetHeader().startsWith("HTTP/1.1 404 Not Found\r\n"));
    EXPECT_EQ(t->StatusLine(), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(t->Body(), "gone");

    for (const auto& row : texts) {
        SCOPED_TRACE(row.path);
        t->Execute(server.url(row.path), "GET");
        ASSERT_EQ(waitFor(t), 12);
        EXPECT_EQ(t->BodyText(), row.expected);
    }
}

// Every framing a server may choose, sent in small pieces, arrives byte for
// byte. Redirects, relative or absolute, are followed at most five times.
TEST_F(HTTPTransferTest, BodiesInEveryFramingArriveWhole) {
    const QByteArray jpeg = JpegFactory::make(640, 480, QColor(10, 200, 60));
    const QByteArray small = JpegFactory::make(40, 30);
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n";
    QByteArray chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
    for (qsizetype at = 0; at < small.size(); at += 100)
        chunked += QByteArray::number(small.mid(at, 100).size(), 16) + ";ext=1\r\n" + small.mid(at, 100) + "\r\n";
    chunked += "0\r\nX-Trailer: t\r\n\r\n";
    Steps untilClose = inPieces("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n" + jpeg, 97);
    untilClose.push_back(RawHttpServer::close());
    std::map<QString, Steps> scripts{
        {"/declared", inPieces(head + "Content-Length: " + QByteArray::number(jpeg.size()) + "\r\n\r\n" + jpeg, 97)},
        {"/close", untilClose},
        {"/chunked", inPieces(chunked, 1)},  // every parser state meets a cut
        {"/lf", {RawHttpServer::send("HTTP/1.0 200 OK\nContent-Type: image/jpeg\n\n" + small)}},
        {"/continue",
         {RawHttpServer::send("HTTP/1.1 100 Continue\r\n\r\n" + head + "Content-Length: " +
                              QByteArray::number(small.size()) + "\r\n\r\n" + small)}},
        {"/folded", {RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: text/plain;\r\n charset=utf-8\r\n"
                                         "Content-Length: 2\r\n\r\nok")}},
        // No body: complete at once, whatever the server does next.
        {"/nocontent",
         {RawHttpServer::send("HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n"), RawHttpServer::silence()}},
        {"/c", moved("307", "d")},
        {"/d", moved("308", "/ok")},
    };
    for (int i = 0; i < 10; ++i)
        scripts["/loop" + QString::number(i)] = moved("302", "/loop" + QByteArray::number(i + 1));
    RawHttpServer raw = scripted(scripts);
    const std::tuple<const char*, const char*, const char*, QByteArray> cases[] = {
        {"/declared", "HTTP/1.1 200 OK\r\n", "image/jpeg", jpeg},
        {"/close", "HTTP/1.1 200 OK\r\n", "image/jpeg", jpeg},  // no length: the end is the close
        {"/chunked", "HTTP/1.1 200 OK\r\n", "image/jpeg", small},
        {"/lf", "HTTP/1.1 200 OK\r\n", "image/jpeg", small},
        {"/continue", "HTTP/1.1 200 OK\r\n", "image/jpeg", small},
        {"/folded", "HTTP/1.1 200 OK\r\n", "text/plain; charset=utf-8", "ok"},
        {"/nocontent", "HTTP/1.1 204 No Content\r\n", "close", {}},
        {"/c", "HTTP/1.1 200 OK\r\n", "text/plain", "ok"},
        {"/loop0", "HTTP/1.1 302 ", "", {}},  // an endless chain ends with its last redirect
    };
    HTTPTransfer* t = element();
    for (const auto& [path, status, type, body] : cases) {
        SCOPED_TRACE(path);
        t->Execute(raw.url(path), "GET");
        ASSERT_EQ(waitFor(t, 15000), 12) << t->ResponseInfo().toStdString();
        EXPECT_TRUE(t->GetHeader().startsWith(status)) << t->GetHeader().toStdString();
        EXPECT_EQ(t->GetHeader(type == QLatin1String("close") ? "Connection" : "Content-Type"), type);
        EXPECT_EQ(t->Body(), body);
        EXPECT_EQ(t->LastAddress(), raw.url(path));
    }
    EXPECT_EQ(raw.requests().filter("/loop").size(), 6);
    EXPECT_EQ(raw.count("/ok"), 1);
}

// Failures without a usable status are errors (11) with a Japanese text, at
// their limit and not later; an address that is not http or https is never
// opened, a FIFO included. None of them holds up another element.
TEST_F(HTTPTransferTest, FailuresAreErrorsAtTheirLimitsAndDelayNoOtherElement) {
    QTemporaryDir dir;
    const QString fifo = dir.path() + QStringLiteral("/fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray textHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    const QByteArray filler = "X-Filler: " + QByteArray(1000, 'a') + "\r\n";
    Steps drip{RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 100000\r\n\r\n")};
    for (int i = 0; i < 100; ++i) drip.insert(drip.end(), {RawHttpServer::send("x"), RawHttpServer::sleep(100)});
    RawHttpServer raw = scripted({
        {"/silent", {RawHttpServer::silence()}},
        {"/a", moved("301", "/b")},
        {"/b", moved("302", "http://127.0.0.1:1/x")},  // nothing listens there
        {"/tofile", moved("302", "file://" + QFile::encodeName(fifo))},
        {"/reset", {RawHttpServer::reset()}},
        {"/drip", drip},
        {"/garbage", {RawHttpServer::send("garbage that is not HTTP\r\n\r\n")}},
        {"/declared",
         {RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 209715200\r\n\r\nxxxx"),
          RawHttpServer::sleep(2000)}},
        {"/streamed",  // no length: read until the connection closes
         {RawHttpServer::send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n"),
          RawHttpServer::repeat(QByteArray(1 << 20, 'x'), 200)}},
        {"/chunks",
         {RawHttpServer::send(textHead + "Transfer-Encoding: chunked\r\n\r\n"),
          RawHttpServer::repeat("10000\r\n" + QByteArray(0x10000, 'c') + "\r\n", 100000)}},
        {"/cut", {RawHttpServer::send(textHead + "Content-Length: 100000\r\n\r\nChannelName=a"), RawHttpServer::close()}},
        {"/nolastchunk",
         {RawHttpServer::send(textHead + "Transfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n"), RawHttpServer::close()}},
        {"/header", {RawHttpServer::send(textHead), RawHttpServer::repeat(filler, 200000)}},
        {"/headerline", {RawHttpServer::send(textHead + "X-Long: "), RawHttpServer::repeat("a", 50000000)}},
        // As a proxy: a CONNECT answer whose header never ends.
        {"127.0.0.1:9",
         {RawHttpServer::send("HTTP/1.1 200 Connection established\r\n"), RawHttpServer::repeat(filler, 200000)}},
    });
    const QString proxy = QStringLiteral("127.0.0.1:%1").arg(raw.port());
    const char* tooLarge = "応答が大きすぎます";
    const char* cut = "応答が途中で切れました";
    const char* unsupported = "対応していないアドレスです";
    // Header sections that never end come first: the process's peak memory
    // must not move while they run.
    const qint64 peakBefore = peakResidentBytes();
    expectFailures(element(), {
        {"endless header", raw.url("/header"), 30, 0, 5000, tooLarge},
        {"endless header line", raw.url("/headerline"), 30, 0, 5000, tooLarge},
        {"endless CONNECT answer", "https://127.0.0.1:9/x", 30, 0, 5000, tooLarge, proxy},
    });
    EXPECT_LT(peakResidentBytes() - peakBefore, 16 * 1024 * 1024);
    EXPECT_EQ(raw.count("127.0.0.1:9"), 1);  // the tunnel was asked of the proxy

    expectFailures(element(), {
        {"file", "file:///etc/hostname", 30, 0, 1000, unsupported},
        {"fifo", "file://" + fifo, 30, 0, 1000, unsupported},
        {"redirect to a fifo", raw.url("/tofile"), 30, 0, 1000, unsupported},
        {"ftp", "ftp://127.0.0.1:1/list.txt", 30, 0, 1000, unsupported},
        {"no address", "", 30, 0, 1000, unsupported},
        {"refused", "http://127.0.0.1:1/refused", 30, 0, 5000, "接続が拒否されました"},
        {"redirect to refused", raw.url("/a"), 30, 0, 5000, "接続が拒否されました"},
        {"proxy refused", raw.url("/ok"), 30, 0, 5000, "プロキシへの接続に失敗しました", "127.0.0.1:1"},
        {"silent", raw.url("/silent"), 1, 900, 3000, "タイムアウトしました"},
        {"dripped body", raw.url("/drip"), 1, 900, 3000, "タイムアウトしました"},
        {"reset", raw.url("/reset"), 30, 0, 5000, "接続が切断されました"},
        {"not HTTP", raw.url("/garbage"), 30, 0, 5000, "サーバーの応答が正しくありません"},
        {"200 MB declared", raw.url("/declared"), 30, 0, 1500, tooLarge},
        {"200 MB streamed", raw.url("/streamed"), 30, 0, 20000, tooLarge},
        {"endless chunks", raw.url("/chunks"), 30, 0, 20000, tooLarge},
        {"short Content-Length", raw.url("/cut"), 30, 0, 5000, cut},
        {"no last chunk", raw.url("/nolastchunk"), 30, 0, 5000, cut},
    });
    EXPECT_EQ(raw.count("/ok"), 0);  // the proxy that refused was not bypassed

    // Every other element still gets its answer.
    for (int i = 0; i < 3; ++i) {
        HTTPTransfer* other = element();
        other->Execute(raw.url("/ok"), "GET");
        ASSERT_EQ(waitFor(other), 12);
        EXPECT_EQ(other->BodyText(), "ok");
    }
}

// https to a local server whose self-signed certificate the test trusts,
// with the same limits as http; without that trust it is a TLS failure.
TEST_F(HTTPTransferTest, HttpsHasTheSameLimits) {
    QTemporaryDir dir;
    QString cert, key;
    ASSERT_TRUE(TestHttpServer::MakeCertificate(dir.path(), &cert, &key));
    TestHttpServer tls(cert, key);
    const QByteArray jpeg = JpegFactory::make(64, 48);
    tls.serve("/a.jpg", jpeg, "image/jpeg");
    tls.handle("/header", [](const httplib::Request&, httplib::Response& res) {
        for (int i = 0; i < 100; ++i) res.set_header("X-Filler-" + std::to_string(i), std::string(1000, 'a'));
        res.set_content("x", "text/plain");
    });
    tls.handle("/declared", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(200 * 1024 * 1024, "image/jpeg", [](size_t, size_t, httplib::DataSink& sink) {
            return sink.write(std::string(65536, 'x').data(), 65536);
        });
    });
    tls.handle("/streamed", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("image/jpeg", [](size_t, httplib::DataSink& sink) {
            return sink.write(std::string(1 << 20, 'x').data(), 1 << 20);
        });
    });
    tls.handle("/drip", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            return sink.write("x", 1);
        });
    });
    tls.handle("/cut", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(100000, "text/plain", [](size_t offset, size_t, httplib::DataSink& sink) {
            return offset == 0 && sink.write("ChannelName=a", 13);
        });
    });
    tls.start();

    HTTPTransfer* untrusting = element();
    expectFailures(untrusting, {{"unknown authority", tls.url("/a.jpg"), 30, 0, 5000, "TLS(SSL)の接続に失敗しました"}});

    curl.setCaFile(cert);
    HTTPTransfer* t = element();
    t->Execute(tls.url("/a.jpg"), "GET");
    ASSERT_EQ(waitFor(t), 12);
    EXPECT_TRUE(t->GetHeader().startsWith("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(t->Body(), jpeg);
    expectFailures(t, {
        {"header over the limit", tls.url("/header"), 30, 0, 5000, "応答が大きすぎます"},
        {"200 MB declared", tls.url("/declared"), 30, 0, 1500, "応答が大きすぎます"},
        {"200 MB streamed", tls.url("/streamed"), 30, 0, 20000, "応答が大きすぎます"},
        {"dripped body", tls.url("/drip"), 1, 900, 3000, "タイムアウトしました"},
        {"short Content-Length", tls.url("/cut"), 30, 0, 5000, "応答が途中で切れました"},
    });
}

// AccessType 0 takes the environment's proxy settings, no_proxy included.
TEST_F(HTTPTransferTest, TheDefaultAccessFollowsTheEnvironment) {
    TestHttpServer proxy;
    proxy.handle(".*", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("via proxy " + req.target, "text/plain");
    });
    proxy.start();
    const QByteArray proxyUrl = "http://127.0.0.1:" + QByteArray::number(proxy.port());
    HTTPTransfer* t = element();
    struct Row {
        const char* noProxy;
        int state;
        const char* text;
    };
    for (const Row& row : {Row{"", 12, "via proxy http://channels.invalid/info.txt"},
                           Row{"channels.invalid", 11, "サーバーが見つかりません"}}) {
        SCOPED_TRACE(row.noProxy);
        qputenv("http_proxy", proxyUrl);
        qputenv("no_proxy", row.noProxy);
        t->Execute(QStringLiteral("http://channels.invalid/info.txt"));
        ASSERT_EQ(waitFor(t, 20000), row.state);
        EXPECT_EQ((row.state == 12 ? t->BodyText() : t->ResponseInfo()).toStdString(), row.text);
    }
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
