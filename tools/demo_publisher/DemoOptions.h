#pragma once
// What the demo publisher publishes and how it misbehaves.

#include <QSize>
#include <QString>
#include <QStringList>

struct DemoOptions {
    QString Host = QStringLiteral("127.0.0.1");
    int Port = 0;  // 0: an ephemeral port
    int Channels = 12;
    QSize PictureSize{640, 480};
    QSize ThumbnailSize{160, 120};
    int ReloadSeconds = 5;
    int StatusCycleSeconds = 300;  // 0: every channel always broadcasts
    int JpegQuality = 75;
    // Frames rendered once per channel and size and served in turn; 0 draws
    // a live frame per reload period instead.
    int PrerenderFrames = 0;

    // Shares (0..1) of the channels that answer 404, answer late, or serve
    // broken pictures. Disjoint; which channels is decided by Seed.
    double NotFoundShare = 0;
    double SlowShare = 0;
    double BrokenShare = 0;
    int SlowDelayMs = 3000;
    quint32 Seed = 1;

    int Threads = 0;  // 0: enough for one keep-alive connection per channel
    int KeepAliveSeconds = 5;
    int DurationSeconds = 0;  // 0: until SIGINT or SIGTERM

    QString PrepareFolder;  // also write a viewer program folder there
    QString RequestLog;     // when set: every request's arrival, written at stop
    bool Serve = true;

    int threadCount() const;
};

// Reads the command line (arguments()[0] is the program). False with a
// message for an unknown option or a value out of range; *helpText gets the
// usage when --help was asked for (and the result is false).
bool ParseDemoOptions(const QStringList& arguments, DemoOptions& options, QString* error, QString* helpText = nullptr);
