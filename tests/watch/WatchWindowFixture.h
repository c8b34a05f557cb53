#pragma once
// A viewer (offscreen) on channels published on a local server, whose watch
// runs on a fake clock and whose Watch settings come from its INI file.

#include "WatchingFixture.h"
#include "watch/ChannelWatch.h"
#include "watch/FavoriteWatch.h"

class WatchWindowFixture : public WatchingFixture {
protected:
    qint64 nowMs = 5'000'000;

    // Loads the viewer with these lines in the INI's section Watch; bus
    // serves the notifications when given.
    frmMain& load(const QStringList& watchKeys = {}, std::function<QDBusConnection()> bus = {}) {
        f.dir.write("Vantomon.ini", ("[Watch]\r\n" + watchKeys.join("\r\n") + "\r\n").toUtf8());
        f.open(false);
        w().WatchClock = [this] { return nowMs; };
        w().WatchWallClock = [this] { return QDateTime(QDate(2026, 12, 6), QTime(12, 0)).addMSecs(nowMs); };
        w().DesktopBus = std::move(bus);
        w().LoadSetting();
        return w();
    }
    // One tick of the window's timer: the channels' and then the watch's.
    void tick() {
        w().tmrCauseOneSecEvent_Timer();
        w().WatchTick();
    }
    // Ticks (answers arriving in between) until pred holds.
    bool tickWhile(const std::function<bool()>& pred) {
        return QTest::qWaitFor(
            [&] {
                if (pred()) return true;
                tick();
                return false;
            },
            10000);
    }
    // Lets the favourite watch's requests be answered.
    bool favouritesAnswered() {
        return QTest::qWaitFor([&] { return w().FavoritesWatch()->InFlight() == 0; }, 8000);
    }
    Condition condition(const QString& id) { return w().Watcher()->Now(id).What; }
    static std::string word(Condition c) { return ConditionWord(c).toStdString(); }
};
