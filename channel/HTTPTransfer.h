#pragma once
// One HTTP transfer object (an element of netChannelHTTP, or the updater's
// netHTTP): one GET at a time, asynchronous, with a per-request timeout and
// an optional named proxy. Completion is reported by StateChanged(Index, 12)
// for any response that carries an HTTP status, StateChanged(Index, 11) for
// failures without one (refused, reset before a status, timeout, a body
// larger than the limit, a header section larger than its limit). Bodies are
// collected as they arrive; nothing here re-enters the event loop.
//
// Plain http:// is spoken by our own small HTTP/1.1 client on a socket in
// this thread, so every byte a server sends is counted against the limits
// as it arrives: Qt 6.4's client collects a header section without any
// limit, byte by byte in its own thread, and one endless header both grows
// memory for as long as the server sends and stalls every request that
// shares that thread. Other schemes (https) still go through Qt's manager.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTcpSocket;
class QTimer;

class HTTPTransfer : public QObject {
    Q_OBJECT
public:
    enum State { StateError = 11, StateResponseCompleted = 12 };
    enum AccessTypes { AccessDefault = 0, AccessDirect = 1, AccessNamedProxy = 2 };

    static constexpr qint64 kMaxBody = 64LL * 1024 * 1024;
    // Status line and header fields together.
    static constexpr qint64 kMaxHeader = 64LL * 1024;

    // managerFor gives the shared manager this element uses (looked up at
    // each Execute, so managers can be created lazily).
    HTTPTransfer(int index, std::function<QNetworkAccessManager*()> managerFor, QObject* parent = nullptr);
    ~HTTPTransfer() override;

    int Index() const { return index_; }

    QString Tag;
    int RequestTimeout = 60;  // seconds; 0 or less: no limit
    QString Proxy;            // "host[:port]", port 80 when missing
    int AccessType = AccessDefault;

    // Starts a GET and returns at once. A request still running is dropped
    // without a report.
    void Execute(const QString& address, const QString& method = QStringLiteral("GET"));
    bool StillExecuting() const { return busy_; }
    // Drops a running request without a report.
    void Cancel();

    // After completion: the header text ("HTTP/1.1 200 OK" CR LF, then one
    // "Name: value" CR LF per header, then CR LF), one named header (empty
    // text when absent), the body as bytes, and the body as text decoded
    // with the declared charset or else CP932.
    QString GetHeader() const;
    QString GetHeader(const QString& name) const;
    const QByteArray& Body() const { return body_; }
    QString BodyText() const;

    // After an error: a code and a text.
    int ResponseCode() const { return responseCode_; }
    QString ResponseInfo() const { return responseInfo_; }

    // Called with every completion before StateChanged is emitted (the
    // array forwards its elements' completions this way).
    void setSink(std::function<void(int Index, int State)> sink) { sink_ = std::move(sink); }

    // The address of the last Execute (tests and diagnostics).
    QString LastAddress() const { return lastAddress_; }

signals:
    void StateChanged(int Index, int State);

private:
    // Our client for http://, Qt's manager for other schemes.
    void start(const QUrl& url, const QString& method);
    void startSocket(const QUrl& url, const QString& method);
    void onSocketConnected(QTcpSocket* socket);
    void onSocketReadyRead(QTcpSocket* socket);
    void onSocketClosed(QTcpSocket* socket);
    bool parseHeader();  // false when the header section is malformed
    void parseChunks();
    void completeSocket();
    void dropSocket();

    // Qt's manager (other schemes).
    void onReadyRead();
    void onFinished();
    void fail(int code, const QString& info);
    void dropReply();
    void armDeadline(int seconds);
    void report(int state);

    int index_;
    std::function<QNetworkAccessManager*()> managerFor_;
    std::function<void(int, int)> sink_;
    QPointer<QNetworkReply> reply_;
    QTcpSocket* socket_ = nullptr;
    QByteArray request_;  // sent once connected
    QByteArray pending_;  // received and not yet parsed
    enum class Phase { Header, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done } phase_ = Phase::Header;
    enum class Framing { Length, Chunked, UntilClose } framing_ = Framing::UntilClose;
    qint64 remaining_ = 0;  // bytes of the body or of the current chunk
    bool headOnly_ = false;
    QUrl url_;  // of the request on the socket, for relative redirects
    QString method_;
    int redirects_ = 0;
    static constexpr int kMaxRedirects = 5;
    QTimer* timer_ = nullptr;
    bool busy_ = false;
    QString lastAddress_;

    int statusCode_ = 0;
    QString reasonPhrase_;
    QList<QPair<QByteArray, QByteArray>> headers_;
    QByteArray body_;
    int responseCode_ = 0;
    QString responseInfo_;
};

// The control array netChannelHTTP: element 0 is the design element and
// carries no channel; getNewHTTPObject adds one element per channel. The
// elements share network managers, a few elements per manager, so that a
// manager's per-host connection limit never queues one channel behind
// another.
class HTTPTransferArray : public QObject {
    Q_OBJECT
public:
    explicit HTTPTransferArray(QObject* parent = nullptr);
    ~HTTPTransferArray() override;

    // Adds an element with RequestTimeout = Timeout, and Proxy and
    // AccessType 2 when proxy is not empty and proxyEnable is true.
    HTTPTransfer* getNewHTTPObject(int timeout, const QString& proxy, bool proxyEnable);

    int Count() const { return int(elements_.size()); }  // including element 0
    HTTPTransfer* Element(int index) const;

    // How many elements share one manager (the per-host connection limit).
    static constexpr int kElementsPerManager = 6;
    int ManagerCount() const;

signals:
    // Every element's completion, forwarded.
    void StateChanged(int Index, int State);

private:
    QNetworkAccessManager* managerFor(int index);
    HTTPTransfer* addElement();

    QList<HTTPTransfer*> elements_;
    QList<QNetworkAccessManager*> managers_;
};
