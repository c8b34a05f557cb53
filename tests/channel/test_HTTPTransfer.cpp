// One transfer element against real servers: what a completion carries, how
// bodies are framed and decoded, and which failures are errors.

#include <gtest/gtest.h>

#include "JpegFactory.h"
#include "TestHttpServer.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <map>

namespace {

using Steps = std::vector<RawHttpServer::Step>;

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

class HTTPTransferTest : public ::testing::Test {
protected:
    HTTPTransferArray array;
    HTTPTransfer* element() { return array.getNewHTTPObject(5, QString(), false); }
};

// Any response with a status completes (12) with its status line, headers
// and body.
TEST_F(HTTPTransferTest, CompletedResponsesCarryStatusLineHeadersAndDecodedText) {
    TestHttpServer server;
    const QByteArray jpeg = JpegFactory::make(64, 48);
    server.serve("/a.jpg", jpeg, "image/jpeg", "Sat, 05 Oct 2002 12:34:56 GMT");
    server.serveStatus("/missing", 404, "gone");
    server.serve("/eucjp", "ChannelName=" + QByteArray::fromHex("a5c6a5b9a5c8"), "text/html; charset=\"EUC-JP\"");
    server.serve("/unknown", Cp932::encode(QStringLiteral("テスト①")), "text/plain; charset=x-no-such-set");
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

    // Text is CP932 unless the response names a charset that iconv knows
    // (CP932 and UTF-8 are read in the channel tests).
    const std::pair<const char*, QString> texts[] = {{"/eucjp", QStringLiteral("ChannelName=テスト")},
                                                     {"/unknown", QStringLiteral("テスト①")}};
    for (const auto& [path, expected] : texts) {
        t->Execute(server.url(path), "GET");
        ASSERT_EQ(waitFor(t), 12) << path;
        EXPECT_EQ(t->BodyText(), expected) << path;
    }
}

// Every framing a server may choose, sent in small pieces, arrives byte for
// byte; what came before a cut is kept. Redirects, relative or absolute, are
// followed a bounded number of times.
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
                              QByteArray::number(small.size()) + "\r\n\r\n" + small + "trailing junk")}},
        {"/cut",
         {RawHttpServer::send(head + "Content-Length: 100000\r\n\r\n" + small.left(50)), RawHttpServer::close()}},
        {"/badchunk", {RawHttpServer::send(head + "Transfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\nzz\r\nmore")}},
        // No body: complete at once, whatever the server does next.
        {"/nocontent", {RawHttpServer::send("HTTP/1.1 204 No Content\r\n\r\n"), RawHttpServer::silence()}},
        {"/c", moved("307", "d")},
        {"/d", moved("308", "/ok")},
    };
    for (int i = 0; i < 10; ++i)
        scripts["/loop" + QString::number(i)] = moved("302", "/loop" + QByteArray::number(i + 1));
    RawHttpServer raw = scripted(scripts);
    const std::tuple<const char*, const char*, const char*, QByteArray> cases[] = {
        {"/declared", "HTTP/1.1 200 OK\r\n", "image/jpeg", jpeg},
        {"/close", "HTTP/1.1 200 OK\r\n", "image/jpeg", jpeg},
        {"/chunked", "HTTP/1.1 200 OK\r\n", "image/jpeg", small},
        {"/lf", "HTTP/1.1 200 OK\r\n", "image/jpeg", small},
        {"/continue", "HTTP/1.1 200 OK\r\n", "image/jpeg", small},
        {"/cut", "HTTP/1.1 200 OK\r\n", "image/jpeg", small.left(50)},
        {"/badchunk", "HTTP/1.1 200 OK\r\n", "image/jpeg", "abcd"},
        {"/nocontent", "HTTP/1.1 204 No Content\r\n", "", {}},
        {"/c", "HTTP/1.1 200 OK\r\n", "text/plain", "ok"},
        {"/loop0", "HTTP/1.1 302 ", "", {}},  // an endless chain ends with its last redirect
    };
    HTTPTransfer* t = element();
    for (const auto& [path, status, type, body] : cases) {
        SCOPED_TRACE(path);
        t->Execute(raw.url(path), "GET");
        ASSERT_EQ(waitFor(t, 15000), 12);
        EXPECT_TRUE(t->GetHeader().startsWith(status)) << t->GetHeader().toStdString();
        EXPECT_EQ(t->GetHeader("Content-Type"), type);
        EXPECT_EQ(t->Body(), body);
        EXPECT_EQ(t->LastAddress(), raw.url(path));
    }
    EXPECT_EQ(raw.requests().filter("/loop").size(), 6);
}

// Failures without a usable status are errors (11) with their cause, at their
// limit and not later; none of them holds up another element.
TEST_F(HTTPTransferTest, FailuresAreErrorsAtTheirLimitsAndDelayNoOtherElement) {
    const QByteArray textHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    Steps drip{RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 100000\r\n\r\n")};
    for (int i = 0; i < 100; ++i) drip.insert(drip.end(), {RawHttpServer::send("x"), RawHttpServer::sleep(100)});
    RawHttpServer raw = scripted({
        {"/silent", {RawHttpServer::silence()}},
        {"/a", moved("301", "/b")},
        {"/b", moved("302", "http://127.0.0.1:1/x")},  // nothing listens there
        {"/reset", {RawHttpServer::reset()}},
        {"/drip", drip},
        {"/garbage", {RawHttpServer::send("garbage that is not HTTP\r\n\r\n")}},
        {"/declared",
         {RawHttpServer::send("HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 200000000\r\n\r\nxxxx"),
          RawHttpServer::sleep(2000)}},
        {"/streamed",  // no length: read until the connection closes
         {RawHttpServer::send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n"),
          RawHttpServer::repeat(QByteArray(1 << 20, 'x'), 70)}},
        {"/chunks",
         {RawHttpServer::send(textHead + "Transfer-Encoding: chunked\r\n\r\n"),
          RawHttpServer::repeat("10000\r\n" + QByteArray(0x10000, 'c') + "\r\n", 100000)}},
        {"/header",
         {RawHttpServer::send(textHead), RawHttpServer::repeat("X-Filler: " + QByteArray(1000, 'a') + "\r\n", 200000)}},
    });
    struct Case {
        const char* path;
        int timeout;
        int minMs, maxMs;
        const char* info;  // nullptr: any text from the system
    };
    const Case cases[] = {
        {"http://127.0.0.1:1/refused", 30, 0, 5000, nullptr},  // nothing listens there
        {"/silent", 1, 900, 3000, "Operation timed out"},
        {"/drip", 1, 900, 3000, "Operation timed out"},
        {"/reset", 30, 0, 5000, nullptr},
        {"/a", 30, 0, 5000, nullptr},  // a redirect to where nothing listens
        {"/garbage", 30, 0, 5000, "Not an HTTP response"},
        {"/declared", 30, 0, 1500, "Response body too large"},
        {"/streamed", 30, 0, 20000, "Response body too large"},
        {"/chunks", 30, 0, 20000, "Response body too large"},
        {"/header", 30, 0, 5000, "Response header too large"},
    };
    HTTPTransfer* t = element();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        t->RequestTimeout = c.timeout;
        QElapsedTimer clock;
        clock.start();
        t->Execute(c.path[0] == '/' ? raw.url(c.path) : QString(c.path), "GET");
        EXPECT_EQ(waitFor(t, 30000), 11);
        EXPECT_NE(t->ResponseCode(), 0);
        EXPECT_GE(clock.elapsed(), c.minMs);
        EXPECT_LT(clock.elapsed(), c.maxMs);
        if (c.info) {
            EXPECT_EQ(t->ResponseInfo(), c.info);
        } else {
            EXPECT_FALSE(t->ResponseInfo().isEmpty());
        }
        EXPECT_TRUE(t->Body().isEmpty());
    }
    // Every element, including those sharing a manager with the hostile
    // one, still gets its answer.
    for (int i = 0; i < HTTPTransferArray::kElementsPerManager + 1; ++i) {
        HTTPTransfer* other = element();
        other->Execute(raw.url("/ok"), "GET");
        ASSERT_EQ(waitFor(other), 12);
        EXPECT_EQ(other->BodyText(), "ok");
    }
}

}  // namespace
