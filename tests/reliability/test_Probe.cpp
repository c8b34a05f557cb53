#include <gtest/gtest.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include "TestHttpServer.h"
#include "channel/HTTPTransfer.h"
namespace {
qint64 rss() {
    QFile f("/proc/self/statm");
    f.open(QIODevice::ReadOnly);
    return f.readAll().split(' ')[1].toLongLong() * 4096 / 1048576;
}
TEST(Probe, Kinds) {
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    QByteArray bomb = qCompress(QByteArray(200 * 1024 * 1024, 'A'), 9).mid(4);
    RawHttpServer raw([&](const QString& p) -> std::vector<RawHttpServer::Step> {
        if (p.startsWith("/drip")) {
            std::vector<RawHttpServer::Step> s{RawHttpServer::send(head + "Content-Length: 1000\r\n\r\n")};
            for (int i = 0; i < 1000; ++i) {
                s.push_back(RawHttpServer::send("x"));
                s.push_back(RawHttpServer::sleep(1000));
            }
            return s;
        }
        if (p.startsWith("/header"))
            return {RawHttpServer::send(head),
                    RawHttpServer::repeat("X-Filler: " + QByteArray(1000, 'a') + "\r\n", 200000)};
        if (p.startsWith("/bomb"))
            return {RawHttpServer::send(head + "Content-Encoding: deflate\r\nContent-Length: " +
                                        QByteArray::number(bomb.size()) + "\r\nConnection: close\r\n\r\n" + bomb)};
        return {RawHttpServer::send(head + "Content-Length: 2\r\nConnection: close\r\n\r\nok")};
    });
    for (const char* kind : {"/drip", "/header", "/bomb"}) {
        HTTPTransferArray array;
        HTTPTransfer* t = array.getNewHTTPObject(2, QString(), false);
        int done = 0, last = 0;
        QObject::connect(t, &HTTPTransfer::StateChanged, t, [&](int, int s) {
            ++done;
            last = s;
        });
        for (int i = 0; i < 4; ++i) {
            QElapsedTimer c;
            c.start();
            const int before = done;
            t->Execute(raw.url(QString(kind) + QString::number(i)), "GET");
            QTest::qWaitFor([&] { return done > before; }, 8000);
            printf("%s #%d: state %d after %lld ms, body %lld, info %s, rss %lld MB, server saw %d\n", kind, i, last,
                   c.elapsed(), (long long)t->Body().size(), qPrintable(t->ResponseInfo()), rss(),
                   int(raw.requests().size()));
        }
        for (int i = 0; i < 7; ++i) {
            HTTPTransfer* u = array.getNewHTTPObject(2, QString(), false);
            int st = 0;
            QObject::connect(u, &HTTPTransfer::StateChanged, u, [&](int, int s) { st = s; });
            u->Execute(raw.url("/ok"), "GET");
            QTest::qWaitFor([&] { return st != 0; }, 5000);
            printf("  then ok on element %d: state %d, rss %lld\n", u->Index(), st, rss());
        }
    }
}
}  // namespace
