#include "common/Logging.h"

Q_LOGGING_CATEGORY(lcHttp, "vantora.http", QtWarningMsg)
Q_LOGGING_CATEGORY(lcFiles, "vantora.files", QtWarningMsg)
Q_LOGGING_CATEGORY(lcChannel, "vantora.channel", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUpdater, "vantora.updater", QtWarningMsg)
Q_LOGGING_CATEGORY(lcWindow, "vantora.window", QtWarningMsg)
