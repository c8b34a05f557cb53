#include "XvfbSession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

XvfbSession::XvfbSession(int width, int height) {
    // A random display number keeps parallel tests apart; retry on a clash.
    for (int attempt = 0; attempt < 20 && display_.isEmpty(); ++attempt) {
        const int number = 200 + int(QRandomGenerator::global()->bounded(700));
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) continue;
        server_.setProgram(QStringLiteral("Xvfb"));
        server_.setArguments({QStringLiteral(":%1").arg(number), QStringLiteral("-screen"), QStringLiteral("0"),
                              QStringLiteral("%1x%2x24").arg(width).arg(height), QStringLiteral("-nolisten"),
                              QStringLiteral("tcp"), QStringLiteral("-dpi"), QStringLiteral("96"), QStringLiteral("-noreset")});
        server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        server_.start();
        if (!server_.waitForStarted(5000)) continue;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 5000 && server_.state() == QProcess::Running && !QFile::exists(socket))
            QThread::msleep(20);
        if (server_.state() == QProcess::Running && QFile::exists(socket)) display_ = QStringLiteral(":%1").arg(number);
    }
}

XvfbSession::~XvfbSession() {
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(3000)) server_.kill();
        server_.waitForFinished(3000);
    }
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
        if (Run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                            QStringLiteral("--name"), titleRegex},
                &out) == 0) {
            const quint32 id = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).value(0).toUInt();
            if (id) return id;
        }
        QThread::msleep(100);
    }
    return 0;
}

QRect XvfbSession::WindowGeometry(quint32 window) const {
    QString out;
    Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)},
        &out);
    int x = 0, y = 0, w = 0, h = 0;
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        const QString value = line.section(QLatin1Char('='), 1);
        if (line.startsWith(QLatin1String("X="))) x = value.toInt();
        if (line.startsWith(QLatin1String("Y="))) y = value.toInt();
        if (line.startsWith(QLatin1String("WIDTH="))) w = value.toInt();
        if (line.startsWith(QLatin1String("HEIGHT="))) h = value.toInt();
    }
    return QRect(x, y, w, h);
}

void XvfbSession::Click(QPoint screen, int button) const {
    Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(screen.x()), QString::number(screen.y()),
                                    QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("click"),
                                    QString::number(button)});
}

void XvfbSession::Drag(QPoint from, QPoint to) const {
    const QPoint mid = (from + to) / 2;
    auto move = [](QPoint p) { return QStringList{QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                                                  QStringLiteral("sleep"), QStringLiteral("0.1")}; };
    Run(QStringLiteral("xdotool"), move(from) + QStringList{QStringLiteral("mousedown"), QStringLiteral("1")} + move(mid) +
                                       move(to) + QStringList{QStringLiteral("mouseup"), QStringLiteral("1")});
}

void XvfbSession::TypeText(const QString& text) const {
    Run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

void XvfbSession::Key(const QString& keys) const {
    Run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

void XvfbSession::CloseWindow(quint32 window) const {
    // WM_DELETE_WINDOW is what a window manager's close box sends.
    const QByteArray name = display_.toLatin1();
    xcb_connection_t* c = xcb_connect(name.constData(), nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return;
    }
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
    p.start(QStringLiteral("import"), {QStringLiteral("-window"), window ? QString::number(window) : QStringLiteral("root"),
                                       QStringLiteral("png:-")});
    p.waitForFinished(20000);
    return QImage::fromData(p.readAllStandardOutput(), "PNG");
}
