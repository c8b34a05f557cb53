#pragma once
// The demo channel server: per channel an information file and a full and a
// thumbnail JPEG that change every reload period, plus the channel list file,
// on cpp-httplib. Frames are drawn on demand, at most once per channel, size
// and period, or pre-rendered and served in turn.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "DemoCatalog.h"
#include "DemoOptions.h"

namespace httplib {
class Server;
}

class DemoPublisher {
public:
    // Milliseconds since the epoch; tests drive time through it.
    using Clock = std::function<qint64()>;
    enum PictureKind { Full = 0, Thumbnail = 1 };

    explicit DemoPublisher(DemoOptions options, Clock clock = Clock());
    ~DemoPublisher();
    DemoPublisher(const DemoPublisher&) = delete;
    DemoPublisher& operator=(const DemoPublisher&) = delete;

    // Binds, pre-renders when asked, and serves on a thread of its own.
    bool start(QString* error = nullptr);
    void stop();

    int port() const { return port_; }
    QString baseUrl() const;
    QString listUrl() const { return baseUrl() + Demo::ListPath; }
    const QList<DemoChannel>& channels() const { return channels_; }
    const DemoOptions& options() const { return options_; }

    // Reload period a moment falls in, and the second it starts at.
    qint64 periodAt(qint64 msSinceEpoch) const;
    qint64 periodStart(qint64 period) const { return period * options_.ReloadSeconds; }

    // JPEG encodes so far (pre-rendered frames included), and requests seen.
    qint64 renderCount() const { return renders_.load(); }
    qint64 requestCount() const { return requests_.load(); }

private:
    struct Slot {
        std::mutex mutex;
        qint64 period = -1;
        QByteArray bytes;
        QString lastModified;
    };

    QByteArray infoFile(const DemoChannel& channel, qint64 period) const;
    // Bytes and Last-modified of a picture for a period, from the cache.
    std::pair<QByteArray, QString> picture(const DemoChannel& channel, PictureKind kind, qint64 period);
    QByteArray renderJpeg(const DemoChannel& channel, PictureKind kind, qint64 period);
    void prerender();
    qint64 nowMs() const;

    DemoOptions options_;
    Clock clock_;
    QList<DemoChannel> channels_;
    QHash<QString, int> byId_;
    std::vector<std::unique_ptr<Slot>> slots_;  // two per channel: full, thumbnail
    // [channel * 2 + kind][frame], filled before serving, read-only after.
    std::vector<std::vector<QByteArray>> frames_;

    // Arrivals for --request-log: steady-clock nanoseconds and path.
    void logArrival(const std::string& path);
    void writeRequestLog() const;
    mutable std::mutex logMutex_;
    std::vector<std::pair<qint64, std::string>> arrivals_;

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    int listenSocket_ = -1;
    std::atomic<qint64> renders_{0};
    std::atomic<qint64> requests_{0};
};
