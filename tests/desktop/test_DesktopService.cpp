#include <gtest/gtest.h>

#include "Rows.h"
#include "SessionBus.h"
#include "desktop/DesktopService.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTest>
#include <QTimer>

#include <optional>

namespace {

const QString kService = QStringLiteral("org.example.Desk");
const QString kPath = QStringLiteral("/org/example/Desk");
const QString kInterface = QStringLiteral("org.example.Desk");

// Whatever the peer does, a call ends on the event loop with a reply or an
// error, within its deadline, and the loop keeps running meanwhile.
struct PeerRow {
    const char* name;
    bool busUp, serviceUp, silent;
    bool answered;
};
class PeerTest : public ::testing::TestWithParam<PeerRow> {};

TEST_P(PeerTest, EveryCallEndsWithoutBlocking) {
    const PeerRow& row = GetParam();
    SessionBus bus;
    ASSERT_TRUE(bus.Ok());
    std::optional<FakeDesktopService> peer;
    if (row.serviceUp) {
        peer.emplace(bus, kService, kPath, kInterface);
        ASSERT_TRUE(peer->Ok());
        peer->SetSilent(row.silent);
        peer->Answer(QStringLiteral("Ask"),
                     [](const QDBusMessage& m) { return QList<QVariant>{m.arguments().value(0).toUInt() + 1}; });
    }
    const QDBusConnection connection =
        row.busUp
            ? bus.Connect(QStringLiteral("caller"))
            : QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("nowhere"));
    DesktopService service(connection, kService, kPath, kInterface);
    QObject context;
    std::optional<QDBusMessage> reply;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QElapsedTimer clock;
    clock.start();
    service.Call(
        QStringLiteral("Ask"), {41u}, &context, [&](const QDBusMessage& m) { reply = m; }, 600);
    EXPECT_LT(clock.elapsed(), 100);  // the call itself returns at once
    ASSERT_TRUE(QTest::qWaitFor([&] { return reply.has_value(); }, 3000));
    EXPECT_LT(clock.elapsed(), 1500);
    if (row.silent) {
        EXPECT_GT(ticks, 0);  // the loop ran while the peer kept silent
    }
    if (row.answered) {
        ASSERT_EQ(reply->type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(reply->arguments().value(0).toUInt(), 42u);
    } else {
        EXPECT_EQ(reply->type(), QDBusMessage::ErrorMessage);
    }
    if (peer) {
        EXPECT_EQ(peer->Calls(QStringLiteral("Ask")).size(), 1);
    }
}

const PeerRow kPeers[] = {
    {"Answers", true, true, false, true},
    {"NeverAnswers", true, true, true, false},
    {"NoService", true, false, false, false},
    {"NoBus", false, false, false, false},
};
VANTORA_ROWS(PeerTest, kPeers);

class SignalSink : public QObject {
    Q_OBJECT
public slots:
    void Invoked(uint id, const QString& key) { got << QStringLiteral("%1:%2").arg(id).arg(key); }

public:
    QStringList got;
};

TEST(DesktopService, SignalsOfTheServiceReachTheReceiver) {
    SessionBus bus;
    ASSERT_TRUE(bus.Ok());
    FakeDesktopService peer(bus, kService, kPath, kInterface);
    DesktopService service(bus.Connect(QStringLiteral("listener")), kService, kPath, kInterface);
    SignalSink sink;
    ASSERT_TRUE(service.ConnectSignal(QStringLiteral("Invoked"), &sink, SLOT(Invoked(uint, QString))));
    // A call first, so the signal's match rule is known to the bus before it is sent.
    bool done = false;
    service.Call(QStringLiteral("Ping"), {}, &sink, [&](const QDBusMessage&) { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 3000));
    peer.EmitSignal(QStringLiteral("Invoked"), {7u, QStringLiteral("default")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sink.got.isEmpty(); }, 3000));
    EXPECT_EQ(sink.got, QStringList{QStringLiteral("7:default")});
}

}  // namespace

#include "test_DesktopService.moc"
