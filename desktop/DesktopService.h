#pragma once
// Calls to the desktop's services (notifications, screen-saver inhibition) on
// the session bus. Every call is asynchronous with a deadline: a missing bus,
// a missing service or one that never answers costs the caller nothing but a
// line in the log, and never blocks the event loop.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QString>

#include <functional>
#include <memory>

class QObject;

Q_DECLARE_LOGGING_CATEGORY(lcDesktop)  // "vantora.desktop": desktop services that did not answer

class DesktopService {
public:
    // service, path and interface name the peer; bus is the connection to
    // use (the session bus in the programs, a private bus in tests).
    DesktopService(QDBusConnection bus, QString service, QString path, QString interface);

    // Sends member(args) and hands the reply to done on the event loop; a
    // failure or no answer within timeoutMs hands over an error message
    // instead. done runs only while context exists. The first failure of a
    // run is logged as a warning, later ones below it.
    void Call(const QString& member, const QList<QVariant>& args, QObject* context,
              std::function<void(const QDBusMessage& reply)> done = {}, int timeoutMs = kTimeoutMs) const;

    // Connects a signal of the service to receiver's slot (a member-function
    // pointer is not possible over the bus: Qt wants the slot's signature).
    bool ConnectSignal(const QString& signal, QObject* receiver, const char* slot) const;

    const QDBusConnection& Bus() const { return mBus; }
    const QString& Service() const { return mService; }

    static constexpr int kTimeoutMs = 5000;

private:
    QDBusConnection mBus;
    QString mService;
    QString mPath;
    QString mInterface;
    // Shared with calls in flight, which may outlive this object.
    std::shared_ptr<bool> mFailureLogged = std::make_shared<bool>(false);
};

// The desktop's session bus. Without one named in the environment or at its
// usual place in the runtime folder, Qt would launch a bus for the program
// alone (which outlives it, with no service on it to ask): a connection to
// nothing is given instead, and the first call says so in the log.
QDBusConnection DesktopSessionBus();
