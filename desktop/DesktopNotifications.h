#pragma once
// The desktop's notification service (org.freedesktop.Notifications):
// shows a notification whose default action (a click on it) hands its key
// back through Activated. Calls never block; without a bus or a service a
// notification is lost with one line in the log.

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

#include "desktop/DesktopService.h"

class DesktopNotifications : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifications(QDBusConnection bus, QObject* parent = nullptr);

    // summary is plain text; body may hold the service's markup, so text
    // from elsewhere goes through EscapeMarkup first.
    void Notify(const QString& summary, const QString& body, const QString& key);
    static QString EscapeMarkup(const QString& text);

    // Notifications shown and not yet closed.
    int Open() const { return int(mKeys.size()); }

signals:
    void Activated(const QString& key);

private slots:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

private:
    DesktopService mService;
    QHash<uint, QString> mKeys;  // by the service's notification id
};
