#pragma once
// One HTTP transfer object (an element of netChannelHTTP, or the updater's
// netHTTP): one GET at a time, asynchronous, with a per-request timeout and
// an optional named proxy. Completion is reported by StateChanged(Index, 12)
// for any response that carries an HTTP status, StateChanged(Index, 11) for
// failures without one (refused, reset, timeout, a cut or too large body, a
// header section larger than its limit, an address that is not http or
// https). Bodies are collected as they arrive; nothing here re-enters the
// event loop.
//
// Every request goes through libcurl on the program's shared CurlMulti, with
// the same limits for http and https, first-hand and on redirect. The header
// section is counted as it arrives (proxy CONNECT answers included) and the
// body is capped, so no server can grow memory or hold a request past its
// deadline.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

#include "channel/CurlMulti.h"

class HTTPTransfer : public QObject {
    Q_OBJECT
public:
    enum State { StateError = 11, StateResponseCompleted = 12 };
    enum AccessTypes { AccessDefault = 0, AccessDirect = 1, AccessNamedProxy = 2 };

    static constexpr qint64 kMaxBody = 64LL * 1024 * 1024;
    // One response's status line and header fields together.
    static constexpr qint64 kMaxHeader = 64LL * 1024;
    static constexpr long kMaxRedirects = 5;
    // The deadline when RequestTimeout is 0 or less: never unlimited.
    static constexpr int kDefaultTimeout = 60;

    HTTPTransfer(int index, CurlMulti* multi, QObject* parent = nullptr);
    ~HTTPTransfer() override;

    int Index() const { return index_; }

    QString Tag;
    int RequestTimeout = kDefaultTimeout;  // seconds
    QString Proxy;                         // "host[:port]", port 80 when missing
    int AccessType = AccessDefault;

    // Starts a GET and returns at once; even an address refused at once, or
    // a request libcurl could not set up, is reported later, from the event
    // loop. A request still running is dropped without a report. Spaces
    // around the address are not part of it.
    void Execute(const QString& address, const QString& method = QStringLiteral("GET"));
    bool StillExecuting() const { return active_; }
    // The request waits for a connection (the program's budget is spent).
    bool WaitingForConnection() const;
    // Drops a running request without a report.
    void Cancel();

    // After completion: the header text ("HTTP/1.1 200 OK" CR LF, then one
    // "Name: value" CR LF per header, then CR LF), one named header (empty
    // text when absent), the body as bytes, and the body as text (which
    // encoding: DecodeBodyText).
    QString GetHeader() const;
    QString GetHeader(const QString& name) const;
    // The header text before its first CR LF (all of it when it has none).
    QString StatusLine() const;
    const QByteArray& Body() const { return body_; }
    QString BodyText() const;

    // After an error: libcurl's code and a Japanese text.
    int ResponseCode() const { return responseCode_; }
    QString ResponseInfo() const { return responseInfo_; }

    // Called with every completion before StateChanged is emitted (the
    // array forwards its elements' completions this way).
    void setSink(std::function<void(int Index, int State)> sink) { sink_ = std::move(sink); }

    // The address of the last Execute (tests and diagnostics).
    QString LastAddress() const { return lastAddress_; }

    // Header bytes handed over by libcurl: one line a call, status lines of
    // interim answers (100, a proxy's CONNECT, redirects) start a new
    // section. False once the section passed kMaxHeader.
    bool TakeHeaderLine(const char* data, size_t size);

signals:
    void StateChanged(int Index, int State);

private:
    static size_t onHeader(char* data, size_t size, size_t count, void* self);
    static size_t onBody(char* data, size_t size, size_t count, void* self);
    // Empty, or why the request cannot be made (a Japanese text).
    QString configure(const QString& address, const QString& method);
    void finished(int result);
    void drop();
    void report(int state);

    enum class Limit { None, Header, Body };

    int index_;
    QPointer<CurlMulti> multi_;
    std::function<void(int, int)> sink_;
    CURL* easy_ = nullptr;
    bool active_ = false;  // from Execute to the report (or a drop)
    quint64 request_ = 0;  // counts Execute calls
    QString lastAddress_;
    Limit hit_ = Limit::None;
    bool namedProxy_ = false;
    QByteArray proxyServer_;
    QString refusal_;  // why a request could not be made

    int statusCode_ = 0;
    QByteArray reasonPhrase_;
    qint64 headerBytes_ = 0;
    bool sectionStart_ = true;  // the next header line may be a status line
    QList<QPair<QByteArray, QByteArray>> headers_;
    QByteArray body_;
    int responseCode_ = 0;
    QString responseInfo_;
    // libcurl's own account of a failure, kept only while its diagnostics are on.
    std::unique_ptr<char[]> errorText_;
};

// The control array netChannelHTTP: element 0 is the design element and
// carries no channel; getNewHTTPObject adds one element per channel. Every
// element uses the program's one CurlMulti.
//
// A channel's element is reserved when the channel is created and made when
// the channel first requests: its index is the one creation order gives, and
// it is made with the settings it would have carried since then (those of
// its reservation, as changed by every ApplySettings since), so nothing but
// memory tells a reserved element from one made at start.
class HTTPTransferArray : public QObject {
    Q_OBJECT
public:
    explicit HTTPTransferArray(CurlMulti& multi, QObject* parent = nullptr);
    ~HTTPTransferArray() override;

    // Adds an element with RequestTimeout = Timeout, and Proxy and
    // AccessType 2 when proxy is not empty and proxyEnable is true.
    HTTPTransfer* getNewHTTPObject(int timeout, const QString& proxy, bool proxyEnable);
    // The same element, reserved: made by Make when it is first needed.
    int ReserveHTTPObject(int timeout, const QString& proxy, bool proxyEnable);
    // Element index, made now if it was only reserved.
    HTTPTransfer* Make(int index);
    // Room for count more elements.
    void MakeRoomFor(int count) { slots_.reserve(slots_.size() + size_t(count)); }

    // The settings dialog's change, for every element made or reserved: the
    // timeout and the proxy text, and AccessType 2 or 0 as the proxy is
    // switched on or off.
    void ApplySettings(int timeout, const QString& proxy, bool proxyEnable);

    int Count() const { return int(slots_.size()); }  // including element 0 and reserved ones
    // The element, or nullptr for one not made yet and for an index out of range.
    // Drops every element's running request without a report.
    void CancelAll();
    HTTPTransfer* Element(int index) const;
    int MadeCount() const { return made_; }
    CurlMulti& Multi() const { return multi_; }

signals:
    // Every element's completion, forwarded.
    void StateChanged(int Index, int State);

private:
    // What an element carries from the settings; reserved elements share one.
    struct ElementSettings {
        int RequestTimeout = HTTPTransfer::kDefaultTimeout;
        QString Proxy;
        int AccessType = HTTPTransfer::AccessDefault;
        bool operator==(const ElementSettings& o) const {
            return RequestTimeout == o.RequestTimeout && Proxy == o.Proxy && AccessType == o.AccessType;
        }
    };
    struct Slot {
        HTTPTransfer* element = nullptr;
        int settings = 0;  // index into settings_ while not made
    };
    static ElementSettings settingsFor(int timeout, const QString& proxy, bool proxyEnable);
    static void apply(ElementSettings& s, int timeout, const QString& proxy, bool proxyEnable);

    CurlMulti& multi_;
    std::vector<Slot> slots_;
    std::vector<ElementSettings> settings_;
    int made_ = 0;
};
