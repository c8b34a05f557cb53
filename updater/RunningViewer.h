#pragma once
// Whether the viewer runs: a top-level window whose whole title is "Vantora"
// on the X server, or a viewer of the same program folder that the X server
// cannot see (offscreen, another display), by its lock.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace updater {

enum class X11Answer { Found, NotFound, Unreachable };

// Looks for a top-level window whose title is exactly `title`: the
// _NET_WM_NAME (UTF8_STRING) when the window has one, else WM_NAME. Top-level
// means listed in the root's _NET_CLIENT_LIST, or up to three levels below
// the root (a window manager's frames hold the clients a level or two down).
// display: an X display name; empty uses $DISPLAY. *window gets the match.
X11Answer FindX11TopLevelWindow(const QString& title, const QByteArray& display = QByteArray(),
                                std::uint32_t* window = nullptr);

// The viewer's main window caption.
inline QString ViewerWindowTitle() { return QStringLiteral("Vantora"); }

// The start-up check: a "Vantora" window on the reachable X server, or the
// viewer lock of programDirectory held.
bool IsViewerRunning(const QString& programDirectory);

}  // namespace updater
