#pragma once
// One libcurl multi handle for a whole program, driven by Qt's event loop:
// libcurl tells which sockets to watch and when to wake it, a QSocketNotifier
// per socket and one single-shot QTimer do the watching. No thread, no
// polling. Every transfer object of the program shares it, so connections to
// a server are kept alive and reused across channels.

#include <QObject>
#include <QString>

#include <functional>
#include <unordered_map>

class QSocketNotifier;
class QTimer;

using CURL = void;
using CURLM = void;

class CurlMulti : public QObject {
    Q_OBJECT
public:
    // Idle connections kept for reuse (closed oldest first beyond this).
    // Enough for a few hundred channels polled in the same tick on one
    // server, and below the usual limit of 1024 open files.
    static constexpr long kMaxIdleConnections = 512;

    explicit CurlMulti(QObject* parent = nullptr);
    ~CurlMulti() override;

    // Starts easy; done(result) is called from the event loop when it ends,
    // after the handle has left the multi handle. A handle dropped by
    // remove() or by the multi's destruction never gets its call.
    void add(CURL* easy, std::function<void(int result)> done);
    void remove(CURL* easy);

    // A certificate bundle trusted instead of the system's, for tests that
    // run their own authority; the programs never set it.
    void setCaFile(const QString& path) { caFile_ = path; }
    QString caFile() const { return caFile_; }

    // New connections opened so far (reused ones are not counted).
    qint64 ConnectionsOpened() const { return connectionsOpened_; }

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };
    static int socketCallback(CURL* easy, int fd, int what, void* self, void* socketData);
    static int timerCallback(CURLM* multi, long timeoutMs, void* self);
    void watch(int fd, int what);
    void unwatch(int fd);
    void act(int fd, int events);
    void collectDone();

    CURLM* multi_ = nullptr;
    QTimer* timer_ = nullptr;
    std::unordered_map<int, Watch> watches_;  // by descriptor, kept while this object lives
    std::unordered_map<CURL*, std::function<void(int)>> running_;
    QString caFile_;
    qint64 connectionsOpened_ = 0;
};
