#include "XvfbSession.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTest>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

XvfbSession::XvfbSession(int width, int height) {
    // Xvfb picks a free display itself and writes its number once it accepts connections.
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start(QStringLiteral("Xvfb"),
                  {"-displayfd", "1", "-screen", "0", QStringLiteral("%1x%2x24").arg(width).arg(height), "-nolisten",
                   "tcp", "-dpi", "96", "-noreset"});
    while (!server_.canReadLine() && server_.waitForReadyRead(10000)) continue;
    const QByteArray n = server_.readLine().trimmed();
    if (!n.isEmpty()) display_ = ":" + QString::fromLatin1(n);
}

XvfbSession::~XvfbSession() {
    if (server_.state() == QProcess::NotRunning) return;
    server_.terminate();
    if (!server_.waitForFinished(3000)) server_.kill();
    server_.waitForFinished(3000);
}

QProcessEnvironment XvfbSession::Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

int XvfbSession::Run(const QString& program, const QStringList& args, QString* output) const {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output) *output = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

quint32 XvfbSession::WaitForWindow(const QString& titleRegex, int ms) const {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QString out;
        if (Run("xdotool", {"search", "--onlyvisible", "--name", titleRegex}, &out) == 0)
            if (const quint32 id = out.section('\n', 0, 0).toUInt()) return id;
        QThread::msleep(100);
    }
    return 0;
}

QRect XvfbSession::WindowGeometry(quint32 window) const {
    QString out;
    Run("xdotool", {"getwindowgeometry", "--shell", QString::number(window)}, &out);
    QHash<QString, int> v;  // "KEY=value" lines
    for (const QString& line : out.split('\n')) v[line.section('=', 0, 0)] = line.section('=', 1).toInt();
    return QRect(v.value("X"), v.value("Y"), v.value("WIDTH"), v.value("HEIGHT"));
}

void XvfbSession::Click(QPoint screen, int button) const {
    Run("xdotool", {"mousemove", QString::number(screen.x()), QString::number(screen.y()), "sleep", "0.1", "click",
                    QString::number(button)});
}

void XvfbSession::Drag(QPoint from, QPoint to) const {
    auto move = [](QPoint p) {
        return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y()), "sleep", "0.1"};
    };
    Run("xdotool",
        move(from) + QStringList{"mousedown", "1"} + move((from + to) / 2) + move(to) + QStringList{"mouseup", "1"});
}

void XvfbSession::TypeText(const QString& text) const { Run("xdotool", {"type", "--delay", "30", text}); }

void XvfbSession::Key(const QString& keys) const { Run("xdotool", {"key", keys}); }

void XvfbSession::CloseWindow(quint32 window) const {
    // WM_DELETE_WINDOW is what a window manager's close box sends.
    xcb_connection_t* c = xcb_connect(display_.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(c)) return xcb_disconnect(c);
    auto atom = [c](const char* n) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(n)), n), nullptr);
        const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(r);
        return a;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    xcb_disconnect(c);
}

QImage XvfbSession::Screenshot(quint32 window) const {
    QProcess p;
    p.setProcessEnvironment(Environment());
    p.start("import", {"-window", window ? QString::number(window) : "root", "png:-"});
    p.waitForFinished(20000);
    return QImage::fromData(p.readAllStandardOutput(), "PNG");
}

bool XvfbSession::ClickOkUntil(quint32 box, const std::function<bool()>& done) const {
    const QRect area = WindowGeometry(box);
    for (int i = 0; i < 10; ++i) {
        Click(area.bottomRight() - QPoint(40, 20));
        if (QTest::qWaitFor(done, 2000)) return true;
    }
    return false;
}

bool XvfbSession::StartWindowManager(QProcess& wm, int ms) const {
    wm.setProcessEnvironment(Environment());
    wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!wm.waitForStarted(ms)) return false;
    return QTest::qWaitFor(
        [&] {
            QString root;
            return Run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")},
                       &root) == 0 &&
                   root.contains(QLatin1String("window id"));
        },
        ms);
}
