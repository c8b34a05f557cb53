#pragma once
// Developer diagnostics, never shown to users. Warnings are on; debug and
// info lines are off unless asked for, e.g. QT_LOGGING_RULES="vantora.*.debug=true".
// Whatever a server can cause on every request is logged below warning, so
// no server can flood stderr.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHttp)     // "vantora.http": transfers that failed, and why
Q_DECLARE_LOGGING_CATEGORY(lcFiles)    // "vantora.files": writes that failed
Q_DECLARE_LOGGING_CATEGORY(lcChannel)  // "vantora.channel": answers a channel drops
Q_DECLARE_LOGGING_CATEGORY(lcUpdater)  // "vantora.updater": what the updater drops
Q_DECLARE_LOGGING_CATEGORY(lcWindow)   // "vantora.window": parts the main window was asked for and lacks
