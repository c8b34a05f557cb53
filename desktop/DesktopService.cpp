#include "desktop/DesktopService.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QObject>
#include <QPointer>

#include <utility>

Q_LOGGING_CATEGORY(lcDesktop, "vantora.desktop", QtWarningMsg)

DesktopService::DesktopService(QDBusConnection bus, QString service, QString path, QString interface)
    : mBus(std::move(bus)), mService(std::move(service)), mPath(std::move(path)), mInterface(std::move(interface)) {}

void DesktopService::Call(const QString& member, const QList<QVariant>& args, QObject* context,
                          std::function<void(const QDBusMessage&)> done, int timeoutMs) const {
    QDBusMessage call = QDBusMessage::createMethodCall(mService, mPath, mInterface, member);
    call.setArguments(args);
    auto finish = [service = mService, logged = mFailureLogged, member,
                   done = std::move(done)](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ErrorMessage) {
            if (!*logged) {
                *logged = true;
                qCWarning(lcDesktop).noquote() << service << member << "-" << reply.errorName() << reply.errorMessage();
            } else {
                qCDebug(lcDesktop).noquote() << service << member << "-" << reply.errorName();
            }
        }
        if (done) done(reply);
    };
    const QDBusPendingCall pending = mBus.asyncCall(call, timeoutMs);
    if (pending.isFinished()) {
        // Without a bus the call fails at once and no watcher would report
        // it: the caller still hears of it on the event loop, as of any reply.
        QMetaObject::invokeMethod(
            context, [finish, reply = pending.reply()] { finish(reply); }, Qt::QueuedConnection);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(pending, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [finish](QDBusPendingCallWatcher* w) {
        finish(w->reply());
        w->deleteLater();
    });
}

bool DesktopService::ConnectSignal(const QString& signal, QObject* receiver, const char* slot) const {
    QDBusConnection bus = mBus;  // connect() is not const, the connection is shared
    return bus.connect(mService, mPath, mInterface, signal, receiver, slot);
}

QDBusConnection DesktopSessionBus() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") &&
        (runtime.isEmpty() || !QFileInfo(runtime + QStringLiteral("/bus")).exists()))
        return QDBusConnection(QStringLiteral("vantora-no-session-bus"));
    return QDBusConnection::sessionBus();
}
