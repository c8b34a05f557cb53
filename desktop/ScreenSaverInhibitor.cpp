#include "desktop/ScreenSaverInhibitor.h"

#include "desktop/DesktopService.h"

#include <QDBusMessage>

const QString ScreenSaverInhibitor::kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString ScreenSaverInhibitor::kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString ScreenSaverInhibitor::kInterface = QStringLiteral("org.freedesktop.ScreenSaver");

ScreenSaverInhibitor::ScreenSaverInhibitor(BusFactory bus, QObject* parent)
    : QObject(parent), mBusFactory(std::move(bus)) {}

ScreenSaverInhibitor::~ScreenSaverInhibitor() {
    if (mHeld) release();
}

void ScreenSaverInhibitor::SetInhibited(bool on) {
    if (on == mWanted) return;
    mWanted = on;
    if (on && !mHeld && !mAsking) ask();
    if (!on && mHeld) release();
}

void ScreenSaverInhibitor::ask() {
    if (!mService) {
        if (!mBusFactory) return;
        mService = std::make_unique<DesktopService>(mBusFactory(), kService, kPath, kInterface);
    }
    mAsking = true;
    // The desktop may show the reason beside the program's name.
    mService->Call(QStringLiteral("Inhibit"),
                   {QStringLiteral("Vantora"), QStringLiteral("監視中の画面を表示しています")}, this,
                   [this](const QDBusMessage& reply) {
                       mAsking = false;
                       if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return;
                       mCookie = reply.arguments().constFirst().toUInt();
                       mHeld = true;
                       if (!mWanted) {
                           release();
                       }
                   });
}

void ScreenSaverInhibitor::release() {
    mHeld = false;
    if (mService) mService->Call(QStringLiteral("UnInhibit"), {mCookie}, this);
}
