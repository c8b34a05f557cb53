// Desktop notifications over a real session bus (a private dbus-daemon) to a
// notification service registered there, from a real viewer window on
// channels of a local server.

#include "SessionBus.h"
#include "WatchWindowFixture.h"
#include "desktop/DesktopNotifications.h"

#include <QElapsedTimer>
#include <QTimer>

#include <optional>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

class Notifications : public WatchWindowFixture {
protected:
    SessionBus bus;
    std::optional<FakeDesktopService> desktop;
    uint nextId = 40;

    void SetUp() override {
        ASSERT_TRUE(bus.Ok()) << "dbus-daemon did not start";
        desktop.emplace(bus, kService, kPath, kService);
        ASSERT_TRUE(desktop->Ok());
        desktop->Answer("Notify", [this](const QDBusMessage&) { return QList<QVariant>{++nextId}; });
    }
    std::function<QDBusConnection()> viewerBus() {
        return [this] { return bus.Connect(QStringLiteral("viewer")); };
    }
    // Summary and body of the notifications so far.
    QStringList shown() const {
        QStringList texts;
        for (const QDBusMessage& m : desktop->Calls("Notify"))
            texts << m.arguments().value(3).toString() + " | " + m.arguments().value(4).toString();
        return texts;
    }
    // A favourite no view shows, first resting, then on air a minute later.
    void favouriteGoesOnAir() {
        tick();
        ASSERT_TRUE(favouritesAnswered());
        pub.setStatus("fav", 0);
        nowMs += 60'000;
        tick();
        ASSERT_TRUE(favouritesAnswered());
    }
};

// Only its information file is fetched; its name reaches the body escaped.
TEST_F(Notifications, AnUnviewedFavouriteGoingOnAirIsAnnounced) {
    pub.add({"fav", "<i>A&B</i>", "3", 1, 5, Qt::blue, {80, 60}, {40, 30}, {}});
    pub.add({"other", "Other", "4", 1, 5, Qt::red, {80, 60}, {40, 30}, {}});
    writeLists({"fav", "other"}, {}, {"fav"});
    load({"NotifyOnAir=True"}, viewerBus());
    favouriteGoesOnAir();
    ASSERT_TRUE(desktop->WaitForCalls("Notify", 1));
    EXPECT_EQ(shown(), QStringList{"放送が始まりました | &lt;i&gt;A&amp;B&lt;/i&gt;\nテスト"});
    const QList<QVariant> args = desktop->Calls("Notify").constFirst().arguments();
    EXPECT_EQ(args.value(0).toString(), "Vantora");
    EXPECT_EQ(args.value(5).toStringList().value(0), "default");
    EXPECT_EQ(pub.count("/fav/info.txt"), 2);
    EXPECT_EQ(pub.count("/fav/full.jpg") + pub.count("/fav/thumb.jpg"), 0);
    EXPECT_EQ(pub.count("/other/info.txt"), 0);

    pub.setStatus("other", 0);  // not a favourite
    nowMs += 60'000;
    tick();
    ASSERT_TRUE(favouritesAnswered());
    QTest::qWait(200);
    EXPECT_EQ(desktop->Calls("Notify").size(), 1);
}

// Off by default: nothing is fetched for a favourite that no view shows, and
// one that a view shows goes on air unannounced.
TEST_F(Notifications, TheFavouriteWatchIsOptIn) {
    pub.add({"fav", "Fav", "3", 1, 5, Qt::blue, {80, 60}, {40, 30}, {}});
    pub.add({"shown", "Shown", "4", 1, 1, Qt::blue, {80, 60}, {40, 30}, {}});
    writeLists({"fav", "shown"}, {}, {"fav", "shown"});
    load({}, viewerBus());
    for (int i = 0; i < 3; ++i) {
        nowMs += 60'000;
        tick();
    }
    QTest::qWait(300);
    EXPECT_EQ(pub.count("/fav/info.txt"), 0);
    w().OpenChannelTab("shown");
    ASSERT_TRUE(tickWhile([&] { return w().Watcher()->Now("shown").What == Condition::OffAir; }));
    pub.setStatus("shown", 0);
    ASSERT_TRUE(tickWhile([&] { return condition("shown") == Condition::Live; }));
    QTest::qWait(300);
    EXPECT_TRUE(desktop->Calls().isEmpty());
}

// A shown channel failing for NotifyFailureMinutes is announced once, its
// recovery once more, and a click on the notification opens its tab.
TEST_F(Notifications, ALastingFailureItsRecoveryAndAClick) {
    pub.add({"ch", "局", "1", 0, 1, Qt::green, {80, 60}, {40, 30}, {}});
    pub.add({"next", "隣", "2", 0, 1, Qt::red, {80, 60}, {40, 30}, {}});
    writeLists({"ch", "next"});
    load({"NotifyFailure=True", "NotifyFailureMinutes=3"}, viewerBus());
    w().OpenChannelTab("ch");
    ASSERT_TRUE(tickWhile([&] { return condition("ch") == Condition::Live; }));
    pub.setMissing("ch", true);
    ASSERT_TRUE(tickWhile([&] { return condition("ch") == Condition::Failing; }));
    nowMs += 179'000;
    tick();
    QTest::qWait(200);
    EXPECT_TRUE(desktop->Calls("Notify").isEmpty());
    nowMs += 1'000;
    tick();
    ASSERT_TRUE(desktop->WaitForCalls("Notify", 1));
    nowMs += 600'000;
    tick();
    QTest::qWait(200);
    EXPECT_EQ(shown(), QStringList{"受信できません | 局\nHTTP/1.1 404 Not Found"});

    w().OpenChannelTab("next");
    desktop->EmitSignal("ActionInvoked", {nextId, QStringLiteral("default")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return selected() == "ch"; }, 5000)) << "the click did not open the tab";
    EXPECT_EQ(tabs(), (QStringList{"*" + channelTab("ch"), channelTab("next")}));
    w().OpenChannelTab("next");
    desktop->EmitSignal("ActionInvoked", {nextId + 7, QStringLiteral("default")});  // not ours
    QTest::qWait(300);
    EXPECT_EQ(selected(), "next");

    pub.setMissing("ch", false);
    ASSERT_TRUE(tickWhile([&] { return condition("ch") == Condition::Live; }));
    ASSERT_TRUE(desktop->WaitForCalls("Notify", 2));
    EXPECT_EQ(shown().value(1), "受信が回復しました | 局");
}

// No bus, or no service on it: the window goes on at once; the log gets one line.
struct AbsentRow {
    const char* name;
    bool busUp;
};
class AbsentService : public Notifications, public ::testing::WithParamInterface<AbsentRow> {};

QStringList gDesktopLog;
void keepDesktopLines(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (QLatin1String(context.category) == QLatin1String("vantora.desktop")) gDesktopLog << message;
}

TEST_P(AbsentService, NeitherBlocksNorRepeatsItself) {
    desktop.reset();  // nobody owns the name
    pub.add({"fav", "Fav", "3", 1, 5, Qt::blue, {80, 60}, {40, 30}, {}});
    pub.add({"fav2", "Fav2", "4", 1, 5, Qt::blue, {80, 60}, {40, 30}, {}});
    writeLists({"fav", "fav2"}, {}, {"fav", "fav2"});
    load(
        {"NotifyOnAir=True"}, GetParam().busUp ? viewerBus() : [] {
            return QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("none"));
        });
    gDesktopLog.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepDesktopLines);
    tick();
    ASSERT_TRUE(favouritesAnswered());
    pub.setStatus("fav", 0);
    pub.setStatus("fav2", 0);
    nowMs += 60'000;
    QElapsedTimer clock;
    clock.start();
    tick();
    ASSERT_TRUE(favouritesAnswered());
    EXPECT_LT(clock.elapsed(), 2000);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QTest::qWait(1000);
    qInstallMessageHandler(previous);
    EXPECT_GT(ticks, 20);  // the event loop ran on
    EXPECT_EQ(gDesktopLog.size(), 1) << gDesktopLog.join('\n').toStdString();
    EXPECT_EQ(w().Notifications()->Open(), 0);
}

const AbsentRow kAbsent[] = {{"NoService", true}, {"NoBus", false}};
VANTORA_ROWS(AbsentService, kAbsent);

}  // namespace
