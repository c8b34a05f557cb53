#pragma once
// A private X server (Xvfb) for tests that need a real display: programs run
// in it as separate processes, and the test drives them as a person would
// with xdotool (pointer and keys) and looks at them with screenshots.

#include <functional>

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

class XvfbSession {
public:
    explicit XvfbSession(int width = 1024, int height = 768);
    ~XvfbSession();
    XvfbSession(const XvfbSession&) = delete;
    XvfbSession& operator=(const XvfbSession&) = delete;

    bool Ok() const { return !display_.isEmpty(); }
    QString Display() const { return display_; }
    // DISPLAY set and the xcb platform chosen, for programs started in it.
    QProcessEnvironment Environment() const;

    // Starts openbox on this display in wm and waits until it manages it
    // (it announces itself on the root window); false when it does not.
    bool StartWindowManager(QProcess& wm, int ms = 15000) const;

    // Runs a command against this display; returns its exit code.
    int Run(const QString& program, const QStringList& args, QString* output = nullptr) const;

    // The id of the first top-level window whose title matches the regular
    // expression, waiting up to ms; 0 when none appears.
    quint32 WaitForWindow(const QString& titleRegex, int ms = 15000) const;
    QRect WindowGeometry(quint32 window) const;
    void Click(QPoint screen, int button = 1) const;
    // Presses the left button at from, moves by way of the midpoint to to,
    // and releases it there.
    void Drag(QPoint from, QPoint to) const;
    void TypeText(const QString& text) const;
    // Clicks a message box's one button (at its bottom right) until done()
    // holds, as a user would: with no window manager there is no close box,
    // and a click on a box that is still coming up can be lost.
    bool ClickOkUntil(quint32 box, const std::function<bool()>& done) const;
    void Key(const QString& keys) const;
    // Asks a window to close, as the close box of its frame does.
    void CloseWindow(quint32 window) const;
    QImage Screenshot(quint32 window = 0) const;

private:
    QProcess server_;
    QString display_;
};
