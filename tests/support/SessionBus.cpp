#include "SessionBus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <atomic>

namespace {

// No service directories: a name nobody owns stays unowned, as on a desktop
// without that service.
const char kConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

}  // namespace

SessionBus::SessionBus() {
    const QString config = mDir.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(QString::fromLatin1(kConfig).arg(mDir.path()).toUtf8());
    file.close();
    mDaemon.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
                                                  QStringLiteral("--config-file=") + config});
    if (!mDaemon.waitForStarted(5000)) return;
    const QDeadlineTimer deadline(5000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && mDaemon.state() == QProcess::Running) {
        mDaemon.waitForReadyRead(100);
        out += mDaemon.readAllStandardOutput();
    }
    mAddress = QString::fromUtf8(out.left(out.indexOf('\n'))).trimmed();
}

SessionBus::~SessionBus() {
    for (const QString& name : mConnections) QDBusConnection::disconnectFromBus(name);
    mDaemon.terminate();
    if (!mDaemon.waitForFinished(3000)) mDaemon.kill();
    mDaemon.waitForFinished(1000);
}

QDBusConnection SessionBus::Connect(const QString& name) const {
    // Names are per process: two buses of one test program must not share one.
    static std::atomic<int> serial{0};
    const QString unique = name + QLatin1Char('-') + QString::number(++serial);
    const_cast<QStringList&>(mConnections) << unique;
    return QDBusConnection::connectToBus(mAddress, unique);
}

QProcessEnvironment SessionBus::Environment(QProcessEnvironment base) const {
    base.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), mAddress);
    return base;
}

FakeDesktopService::FakeDesktopService(const SessionBus& bus, const QString& service, const QString& path,
                                       const QString& interface)
    : mConnection(bus.Connect(QStringLiteral("fake-") + service)),
      mService(service),
      mPath(path),
      mInterface(interface) {
    mOk = mConnection.isConnected() && mConnection.registerVirtualObject(path, this) &&
          mConnection.registerService(service);
}

FakeDesktopService::~FakeDesktopService() {
    if (mConnection.isConnected()) {
        mConnection.unregisterService(mService);
        mConnection.unregisterObject(mPath);
    }
}

void FakeDesktopService::Answer(const QString& member, std::function<QList<QVariant>(const QDBusMessage&)> reply) {
    mAnswers.insert(member, std::move(reply));
}

QList<QDBusMessage> FakeDesktopService::Calls(const QString& member) const {
    if (member.isEmpty()) return mCalls;
    QList<QDBusMessage> calls;
    for (const QDBusMessage& m : mCalls)
        if (m.member() == member) calls << m;
    return calls;
}

bool FakeDesktopService::WaitForCalls(const QString& member, int count, int ms) const {
    return QTest::qWaitFor([&] { return Calls(member).size() >= count; }, ms);
}

void FakeDesktopService::EmitSignal(const QString& name, const QList<QVariant>& args) {
    QDBusMessage signal = QDBusMessage::createSignal(mPath, mInterface, name);
    signal.setArguments(args);
    mConnection.send(signal);
}

bool FakeDesktopService::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.interface() != mInterface && !message.interface().isEmpty()) return false;
    mCalls << message;
    if (mSilent) return true;
    const auto answer = mAnswers.constFind(message.member());
    QDBusConnection(connection)
        .send(message.createReply(answer == mAnswers.cend() ? QList<QVariant>{} : (*answer)(message)));
    return true;
}

QString FakeDesktopService::introspect(const QString&) const { return QString(); }
