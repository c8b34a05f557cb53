// Our HTTP/1.1 client on any bytes a server may send. A server on 127.0.0.1
// in the same thread answers each request with the input, in pieces whose
// sizes come from the input's first byte, then closes the connection. The
// transfer must end, as a completed response or as an error, with its body
// within the limit and a status line only when it completed.
#include "FuzzSupport.h"
#include "channel/HTTPTransfer.h"

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

struct Rig {
    QTcpServer server;
    HTTPTransferArray array;
    HTTPTransfer* transfer = nullptr;
    QByteArray answer;
    int pieceSize = 1;
};

Rig* rig() {
    static Rig* r = [] {
        auto* made = new Rig;
        if (!made->server.listen(QHostAddress::LocalHost, 0)) fuzz::fail("cannot listen");
        made->transfer = made->array.getNewHTTPObject(5, QString(), false);
        QObject::connect(&made->server, &QTcpServer::newConnection, &made->server, [made] {
            while (QTcpSocket* s = made->server.nextPendingConnection()) {
                s->setSocketOption(QAbstractSocket::LowDelayOption, 1);  // no Nagle delay between pieces
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                QObject::connect(s, &QTcpSocket::readyRead, s, [made, s] {
                    if (!s->readAll().contains("\r\n\r\n")) return;  // the request is one packet here
                    for (qsizetype at = 0; at < made->answer.size(); at += made->pieceSize) {
                        s->write(made->answer.mid(at, made->pieceSize));
                        s->flush();
                    }
                    s->disconnectFromHost();
                });
            }
        });
        return made;
    }();
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication();
    rig();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 256 * 1024) return 0;
    Rig* r = rig();
    r->pieceSize = 1 + data[0] * 64;
    r->answer = QByteArray(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);

    QEventLoop loop;
    int state = 0;
    auto c = QObject::connect(r->transfer, &HTTPTransfer::StateChanged, &loop, [&](int, int s) {
        state = s;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    r->transfer->Execute(QStringLiteral("http://127.0.0.1:%1/info.txt").arg(r->server.serverPort()));
    loop.exec();
    QObject::disconnect(c);

    FUZZ_CHECK(state == HTTPTransfer::StateError || state == HTTPTransfer::StateResponseCompleted);
    FUZZ_CHECK(!r->transfer->StillExecuting());
    FUZZ_CHECK(r->transfer->Body().size() <= HTTPTransfer::kMaxBody);
    if (state == HTTPTransfer::StateResponseCompleted) {
        FUZZ_CHECK(r->transfer->GetHeader().startsWith(QLatin1String("HTTP/1.1 ")));
        FUZZ_CHECK(r->transfer->Body().size() <= r->answer.size());
        (void)r->transfer->BodyText();
    } else {
        FUZZ_CHECK(r->transfer->GetHeader().isEmpty() && r->transfer->Body().isEmpty());
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
