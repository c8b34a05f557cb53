#pragma once
// Program-wide setting values, named after their INI keys. The main window
// owns one instance; LoadSetting fills it, the settings dialog replaces its
// values, SaveSetting writes it. Channels and the transfer factory read it.

#include <QDateTime>
#include <QString>

#include <functional>

struct ProgramSettings {
    QString ChachDirctory;        // cache directory, with a final "/"
    QString PictureSaveDirctory;  // picture directory, with a final "/"
    int DefaultWaitCount = 60;    // wait for a channel whose information gives none
    QString Proxy;                // "host[:port]"
    int Timeout = 60;             // seconds
    bool ProxyEnable = false;

    // The local clock that names saved pictures; tests set their own.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
};
