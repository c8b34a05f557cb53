#pragma once
// The test program's own X server, started before the application object
// exists so the program's widgets are real X11 windows on it (platform
// xcb): Xvfb 1600 x 600 split by xrandr into two monitors of 800 x 600 side
// by side (one wide screen rather than two X screens, between which no
// window could move), managed by openbox, so full screen, placement and
// the screens a window is on are the window manager's doing.

#include <QRect>
#include <QString>

namespace WatchDisplay {
bool Ok();
QString Name();  // ":N"
inline QRect LeftMonitor() { return QRect(0, 0, 800, 600); }
inline QRect RightMonitor() { return QRect(800, 0, 800, 600); }
// A window property as xprop prints it ("" when it cannot be read).
QString Property(unsigned long window, const char* property);
}  // namespace WatchDisplay
