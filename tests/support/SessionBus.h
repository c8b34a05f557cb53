#pragma once
// A private session bus for one test (a real dbus-daemon with no services
// to activate), and a desktop service on it that records the calls it gets,
// answers them as told (or never), and emits its signals on demand.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <memory>

class SessionBus {
public:
    SessionBus();
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    bool Ok() const { return !mAddress.isEmpty(); }
    QString Address() const { return mAddress; }
    // A new connection of this process to the bus (each name once).
    QDBusConnection Connect(const QString& name) const;
    // DBUS_SESSION_BUS_ADDRESS set, for programs started on this bus.
    QProcessEnvironment Environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

private:
    QTemporaryDir mDir;
    QProcess mDaemon;
    QString mAddress;
    QStringList mConnections;
};

class FakeDesktopService : public QDBusVirtualObject {
public:
    // Owns service on its own connection to bus and serves path.
    FakeDesktopService(const SessionBus& bus, const QString& service, const QString& path, const QString& interface);
    ~FakeDesktopService() override;

    // The arguments of the reply to member; members without an answer get an
    // empty reply. Silent: calls are recorded and never answered.
    void Answer(const QString& member, std::function<QList<QVariant>(const QDBusMessage&)> reply);
    void SetSilent(bool silent) { mSilent = silent; }
    // The calls of member so far (every member when empty).
    QList<QDBusMessage> Calls(const QString& member = QString()) const;
    // Waits on the event loop until member has been called count times.
    bool WaitForCalls(const QString& member, int count, int ms = 5000) const;
    void EmitSignal(const QString& name, const QList<QVariant>& args);
    bool Ok() const { return mOk; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString& path) const override;

private:
    QDBusConnection mConnection;
    QString mService, mPath, mInterface;
    QHash<QString, std::function<QList<QVariant>(const QDBusMessage&)>> mAnswers;
    QList<QDBusMessage> mCalls;
    bool mSilent = false;
    bool mOk = false;
};
