#pragma once
// One libcurl multi handle for a whole program, driven by Qt's event loop:
// libcurl tells which sockets to watch and when to wake it, a QSocketNotifier
// per socket and one single-shot QTimer do the watching. No thread, no
// polling. Every transfer object of the program shares it, so connections to
// a server are kept alive and reused across channels.
//
// Descriptors are a budget. Connections, idle or in use, stay below the
// open-file limit with a reserve for the files the programs write, and one
// server holds at most half of them, so a server that never answers cannot
// take the connections the others need. A transfer beyond either cap waits
// here, in the order it came, and starts when a connection is free; its
// deadline counts from then, so waiting is never a failure.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <string>
#include <unordered_map>

class QSocketNotifier;
class QTimer;

using CURL = void;
using CURLM = void;

class CurlMulti : public QObject {
    Q_OBJECT
public:
    struct Budget {
        long Total = 0;    // connections, idle or in use
        long PerHost = 0;  // connections to one server (host and port, or the proxy)
    };
    // The budget under an open-file limit: a quarter of it (at least 64)
    // is kept for files and the toolkit.
    static Budget BudgetFor(long openFiles);

    // Idle connections kept for reuse (closed oldest first beyond this,
    // and never more than the budget).
    static constexpr long kMaxIdleConnections = 512;

    // The budget of the process's open-file limit as it is now.
    explicit CurlMulti(QObject* parent = nullptr);
    CurlMulti(Budget budget, QObject* parent = nullptr);
    ~CurlMulti() override;

    // Starts easy, or queues it while the budget is spent; host names the
    // server the connection goes to. done(result) is called from the event
    // loop when it ends, after the handle has left the multi handle. A
    // handle dropped by remove() or by the multi's destruction never gets
    // its call. False when libcurl cannot take the handle (done is not
    // called then).
    bool add(CURL* easy, const QByteArray& host, std::function<void(int result)> done);
    void remove(CURL* easy);

    // Closes every connection, idle or not, so the exit needs no descriptor
    // it cannot get; transfers still running must have been removed first.
    void CloseConnections();

    Budget budget() const { return budget_; }
    // Transfers waiting for a connection, and in flight.
    int Waiting() const;
    int Running() const { return int(running_.size()); }
    bool IsWaiting(CURL* easy) const;

    // A certificate bundle trusted instead of the system's, for tests that
    // run their own authority; the programs never set it.
    void setCaFile(const QString& path) { caFile_ = path; }
    QString caFile() const { return caFile_; }

    // For tests: when the predicate answers true, libcurl is taken to have
    // refused the handle (as curl_multi_add_handle may).
    void setAddFault(std::function<bool()> fault) { addFault_ = std::move(fault); }

    // New connections opened so far (reused ones are not counted).
    qint64 ConnectionsOpened() const { return connectionsOpened_; }

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };
    struct Transfer {
        std::function<void(int)> done;
        std::string host;
        bool started = false;
    };
    static int socketCallback(CURL* easy, int fd, int what, void* self, void* socketData);
    static int timerCallback(CURLM* multi, long timeoutMs, void* self);
    void open();
    void watch(int fd, int what);
    void unwatch(int fd);
    void act(int fd, int events);
    void collectDone();
    bool hasRoom(const std::string& host) const;
    bool start(CURL* easy, Transfer& t);
    void startWaiting();
    void finish(CURL* easy);

    CURLM* multi_ = nullptr;
    QTimer* timer_ = nullptr;
    Budget budget_;
    std::unordered_map<int, Watch> watches_;       // by descriptor, kept while this object lives
    std::unordered_map<CURL*, Transfer> running_;  // started or waiting
    std::unordered_map<std::string, long> hostStarted_;
    long started_ = 0;
    // Waiting transfers by server, and the servers in the order they began to wait.
    std::unordered_map<std::string, std::deque<CURL*>> waiting_;
    std::deque<std::string> waitingHosts_;
    std::function<bool()> addFault_;
    QString caFile_;
    qint64 connectionsOpened_ = 0;
};
