// The screen-saver inhibition against a real private session bus and a
// service that answers as told, or not at all.

#include <gtest/gtest.h>

#include "Rows.h"
#include "SessionBus.h"
#include "desktop/ScreenSaverInhibitor.h"

#include <QElapsedTimer>
#include <QTest>

#include <functional>
#include <optional>

namespace {

enum class Peer { Answers, Silent, Missing };

struct InhibitRow {
    const char* name;
    Peer peer;
    std::function<void(std::optional<ScreenSaverInhibitor>&)> steps;  // each step on the event loop's turn
    int inhibits;
    QList<uint> unInhibits;  // the cookies given back
};
class Inhibition : public ::testing::TestWithParam<InhibitRow> {};

TEST_P(Inhibition, FollowsTheWantAndGivesEveryCookieBack) {
    SessionBus bus;
    ASSERT_TRUE(bus.Ok());
    std::optional<FakeDesktopService> saver;
    if (GetParam().peer != Peer::Missing) {
        saver.emplace(bus, ScreenSaverInhibitor::kService, ScreenSaverInhibitor::kPath,
                      ScreenSaverInhibitor::kInterface);
        ASSERT_TRUE(saver->Ok());
        saver->SetSilent(GetParam().peer == Peer::Silent);
        saver->Answer("Inhibit", [n = 40u](const QDBusMessage&) mutable { return QList<QVariant>{++n}; });
    }
    int connected = 0;
    std::optional<ScreenSaverInhibitor> inhibitor;
    inhibitor.emplace([&] {
        ++connected;
        return bus.Connect("viewer");
    });
    EXPECT_EQ(connected, 0);  // no bus until the screen is to be kept awake
    QElapsedTimer clock;
    clock.start();
    GetParam().steps(inhibitor);
    // Waiting for a silent service would take the call's 5-second deadline.
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_LE(connected, 1);
    if (!saver) return;
    if (GetParam().inhibits > 0) {
        ASSERT_TRUE(saver->WaitForCalls("Inhibit", GetParam().inhibits));
    }
    if (!GetParam().unInhibits.isEmpty()) {
        ASSERT_TRUE(saver->WaitForCalls("UnInhibit", int(GetParam().unInhibits.size())));
    }
    QTest::qWait(100);
    const QList<QDBusMessage> asked = saver->Calls("Inhibit");
    EXPECT_EQ(asked.size(), GetParam().inhibits);
    for (const QDBusMessage& m : asked)
        EXPECT_EQ(m.arguments().value(0).toString() + "|" + m.path(), "Vantora|/org/freedesktop/ScreenSaver");
    QList<uint> given;
    for (const QDBusMessage& m : saver->Calls("UnInhibit")) given << m.arguments().value(0).toUInt();
    EXPECT_EQ(given, GetParam().unInhibits);
}

// Lets replies arrive.
void settle() { QTest::qWait(300); }

const InhibitRow kInhibitRows[] = {
    {"OnAndOff",
     Peer::Answers,
     [](auto& i) {
         i->SetInhibited(true);
         settle();
         EXPECT_TRUE(i->Held());
         i->SetInhibited(false);
         EXPECT_FALSE(i->Held());
     },
     1,
     {41}},
    {"RepeatsSendNothing",
     Peer::Answers,
     [](auto& i) {
         i->SetInhibited(true);
         i->SetInhibited(true);
         settle();
         i->SetInhibited(false);
         i->SetInhibited(false);
         i->SetInhibited(true);
         settle();
     },
     2,
     {41}},
    {"TheCookieOfAPassedWantGoesBackAtOnce",
     Peer::Answers,
     [](auto& i) {
         i->SetInhibited(true);
         i->SetInhibited(false);
         settle();
         EXPECT_FALSE(i->Held());
     },
     1,
     {41}},
    {"AWantBackBeforeTheCookieKeepsIt",
     Peer::Answers,
     [](auto& i) {
         i->SetInhibited(true);
         i->SetInhibited(false);
         i->SetInhibited(true);
         settle();
         EXPECT_TRUE(i->Held());
     },
     1,
     {}},
    {"GoingAwayGivesItBack",
     Peer::Answers,
     [](auto& i) {
         i->SetInhibited(true);
         settle();
         i.reset();
     },
     1,
     {41}},
    {"SilentServiceHoldsNothing",
     Peer::Silent,
     [](auto& i) {
         i->SetInhibited(true);
         settle();
         i->SetInhibited(false);
         EXPECT_FALSE(i->Held());
     },
     1,
     {}},
    {"NoService",
     Peer::Missing,
     [](auto& i) {
         i->SetInhibited(true);
         settle();
         EXPECT_FALSE(i->Held());
         EXPECT_TRUE(i->Inhibited());
     },
     0,
     {}},
};
VANTORA_ROWS(Inhibition, kInhibitRows);

}  // namespace
