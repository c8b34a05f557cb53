#include "desktop/DesktopNotifications.h"

#include <QDBusMessage>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kDefaultAction = QStringLiteral("default");

}  // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), mService(std::move(bus), kService, kPath, kService) {
    mService.ConnectSignal(QStringLiteral("ActionInvoked"), this, SLOT(ActionInvoked(uint, QString)));
    mService.ConnectSignal(QStringLiteral("NotificationClosed"), this, SLOT(NotificationClosed(uint, uint)));
}

QString DesktopNotifications::EscapeMarkup(const QString& text) { return text.toHtmlEscaped(); }

void DesktopNotifications::Notify(const QString& summary, const QString& body, const QString& key) {
    const QList<QVariant> args{
        QStringLiteral("Vantora"),                            // app_name
        0u,                                                   // replaces_id
        QStringLiteral("vantora"),                            // app_icon, as installed
        summary,                                              // summary
        body,                                                 // body
        QStringList{kDefaultAction, QStringLiteral("開く")},  // actions
        QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("vantora")}},
        -1,  // expire_timeout: the service's default
    };
    mService.Call(QStringLiteral("Notify"), args, this, [this, key](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            mKeys.insert(reply.arguments().constFirst().toUInt(), key);
    });
}

void DesktopNotifications::ActionInvoked(uint id, const QString& action) {
    const auto it = mKeys.constFind(id);
    if (it == mKeys.cend() || action != kDefaultAction) return;
    emit Activated(*it);
}

void DesktopNotifications::NotificationClosed(uint id, uint) { mKeys.remove(id); }
