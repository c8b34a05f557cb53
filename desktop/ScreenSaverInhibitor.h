#pragma once
// Keeps the screen awake while the viewer is watched full screen or on tour:
// Inhibit and UnInhibit of org.freedesktop.ScreenSaver on the session bus.
// The object path is /org/freedesktop/ScreenSaver, the one the freedesktop
// idle-inhibition interface names and that GNOME, KDE and Xfce all serve
// (/ScreenSaver is KDE's older alias of it). Calls never block: without the
// service the screen saver simply keeps its own timing.

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class DesktopService;

class ScreenSaverInhibitor : public QObject {
    Q_OBJECT
public:
    // The bus is asked for only when the screen is first to be kept awake,
    // so a run that never needs it never connects.
    using BusFactory = std::function<QDBusConnection()>;
    explicit ScreenSaverInhibitor(BusFactory bus, QObject* parent = nullptr);
    // Releases what it holds; the service also drops it when the program's
    // connection to the bus ends.
    ~ScreenSaverInhibitor() override;

    // Wanted or not; repeating a state sends nothing. A cookie that arrives
    // after the want has passed is given back at once.
    void SetInhibited(bool on);
    bool Inhibited() const { return mWanted; }
    bool Held() const { return mHeld; }

    static const QString kService;
    static const QString kPath;
    static const QString kInterface;

private:
    void ask();
    void release();

    BusFactory mBusFactory;
    std::unique_ptr<DesktopService> mService;
    bool mWanted = false;
    bool mAsking = false;
    bool mHeld = false;
    uint mCookie = 0;
};
