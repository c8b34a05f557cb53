#include "channel/HTTPTransfer.h"

#include "common/Cp932.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

QNetworkProxy proxyFor(int accessType, const QString& proxy) {
    if (accessType == HTTPTransfer::AccessDirect) return QNetworkProxy(QNetworkProxy::NoProxy);
    if (accessType != HTTPTransfer::AccessNamedProxy) return QNetworkProxy(QNetworkProxy::DefaultProxy);
    QString text = proxy.trimmed();
    if (text.isEmpty()) return QNetworkProxy(QNetworkProxy::NoProxy);
    // "http://host:port" is accepted as well as "host:port".
    const qsizetype scheme = text.indexOf(QStringLiteral("://"));
    if (scheme >= 0) text = text.mid(scheme + 3);
    while (text.endsWith(QLatin1Char('/'))) text.chop(1);
    QString host = text;
    quint16 port = 80;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && !text.endsWith(QLatin1Char(']'))) {
        bool ok = false;
        const uint p = text.mid(colon + 1).toUInt(&ok);
        if (ok && p > 0 && p < 65536) port = quint16(p);
        host = text.left(colon);
    }
    return QNetworkProxy(QNetworkProxy::HttpProxy, host, port);
}

QString charsetOf(const QString& contentType) {
    static const QRegularExpression re(QStringLiteral("charset\\s*=\\s*\"?([^\";\\s]+)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(contentType);
    return m.hasMatch() ? m.captured(1) : QString();
}

}  // namespace

HTTPTransfer::HTTPTransfer(int index, std::function<QNetworkAccessManager*()> managerFor, QObject* parent)
    : QObject(parent), index_(index), managerFor_(std::move(managerFor)) {}

void HTTPTransfer::armDeadline(int seconds) {
    // Made at the first request: most of a large list's channels never fetch.
    if (!timer_) {
        timer_ = new QTimer(this);
        timer_->setSingleShot(true);
        connect(timer_, &QTimer::timeout, this,
                [this] { fail(QNetworkReply::TimeoutError, QStringLiteral("Operation timed out")); });
    }
    timer_->start(int(qMin<qint64>(qint64(seconds) * 1000, INT_MAX)));
}

void HTTPTransfer::report(int state) {
    QPointer<HTTPTransfer> self(this);  // the sink may delete us (a list torn down)
    if (sink_) sink_(index_, state);
    if (self) emit StateChanged(index_, state);
}

HTTPTransfer::~HTTPTransfer() { dropReply(); }

void HTTPTransfer::dropReply() {
    if (timer_) timer_->stop();
    dropSocket();
    if (reply_) {
        QNetworkReply* r = reply_;
        reply_ = nullptr;
        r->disconnect(this);
        r->abort();
        r->deleteLater();
    }
}

void HTTPTransfer::Cancel() {
    dropReply();
    busy_ = false;
}

void HTTPTransfer::Execute(const QString& address, const QString& method) {
    dropReply();
    statusCode_ = 0;
    reasonPhrase_.clear();
    headers_.clear();
    body_.clear();
    responseCode_ = 0;
    responseInfo_.clear();
    lastAddress_ = address;
    busy_ = true;

    redirects_ = 0;
    // One deadline for the whole request, redirects included.
    if (RequestTimeout > 0) armDeadline(RequestTimeout);
    start(QUrl(address), method);
}

void HTTPTransfer::start(const QUrl& url, const QString& method) {
    if (url.isValid() && url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 &&
        !url.host().isEmpty()) {
        startSocket(url, method);
        return;
    }

    QNetworkAccessManager* manager = managerFor_();
    manager->setProxy(proxyFor(AccessType, Proxy));
    QNetworkRequest request{url};
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // Bodies come as sent: no decompressor per reply (pictures are JPEG
    // anyway), and a body's size is what arrived on the wire.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply* reply = method.compare(QLatin1String("GET"), Qt::CaseInsensitive) == 0
                               ? manager->get(request)
                               : manager->sendCustomRequest(request, method.toLatin1());
    reply_ = reply;
    connect(reply, &QNetworkReply::readyRead, this, &HTTPTransfer::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &HTTPTransfer::onFinished);
}

// ---------------------------------------------------------------------------
// Our client: one request per connection ("Connection: close"), no
// compression asked for, every byte counted against the limits.

void HTTPTransfer::dropSocket() {
    if (!socket_) return;
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();  // we may be inside one of its signals
}

void HTTPTransfer::startSocket(const QUrl& url, const QString& method) {
    // Which proxy: none, the named one, or what the system says (which
    // never proxies the loopback addresses).
    QNetworkProxy proxy = proxyFor(AccessType, Proxy);
    if (proxy.type() == QNetworkProxy::DefaultProxy) {
        const QList<QNetworkProxy> system = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
        proxy = system.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : system.first();
        if (proxy.type() == QNetworkProxy::DefaultProxy) proxy = QNetworkProxy(QNetworkProxy::NoProxy);
    }
    const bool viaHttpProxy =
        proxy.type() == QNetworkProxy::HttpProxy || proxy.type() == QNetworkProxy::HttpCachingProxy;

    const QUrl plain = url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    QByteArray target;
    if (viaHttpProxy) {
        target = plain.toEncoded();
    } else {
        target = plain.path(QUrl::FullyEncoded).toLatin1();
        if (target.isEmpty()) target = "/";
        if (plain.hasQuery()) target += '?' + plain.query(QUrl::FullyEncoded).toLatin1();
    }
    QByteArray verb = method.toLatin1().toUpper();
    if (verb.isEmpty()) verb = "GET";
    headOnly_ = verb == "HEAD";
    url_ = plain;
    method_ = method;
    request_ = verb + ' ' + target + " HTTP/1.1\r\nHost: " + plain.authority(QUrl::FullyEncoded).toLatin1() +
               "\r\nConnection: close\r\nAccept: */*\r\nUser-Agent: Vantora\r\n\r\n";
    pending_.clear();
    phase_ = Phase::Header;
    framing_ = Framing::UntilClose;
    remaining_ = 0;

    auto* socket = new QTcpSocket(this);
    socket_ = socket;
    // The socket buffers no more than one read's worth; we take it all at
    // every readyRead and count it.
    socket->setReadBufferSize(256 * 1024);
    if (proxy.type() == QNetworkProxy::Socks5Proxy)
        socket->setProxy(proxy);
    else
        socket->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
    connect(socket, &QTcpSocket::connected, this, [this, socket] { onSocketConnected(socket); });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onSocketReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onSocketClosed(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError) { onSocketClosed(socket); });
    if (viaHttpProxy)
        socket->connectToHost(proxy.hostName(), proxy.port());
    else
        socket->connectToHost(plain.host(), quint16(plain.port(80)));
}

void HTTPTransfer::onSocketConnected(QTcpSocket* socket) {
    if (socket != socket_) return;
    socket->write(request_);
}

void HTTPTransfer::onSocketReadyRead(QTcpSocket* socket) {
    if (socket != socket_) return;
    while (socket == socket_ && socket->bytesAvailable() > 0) {
        pending_ += socket->read(64 * 1024);
        if (phase_ == Phase::Header) {
            if (!parseHeader()) return;  // failed, or the header is not complete yet
        }
        if (phase_ == Phase::Body) {
            if (framing_ == Framing::Length && pending_.size() > remaining_) pending_.truncate(remaining_);
            if (body_.size() + pending_.size() > kMaxBody) {
                fail(QNetworkReply::UnknownContentError, QStringLiteral("Response body too large"));
                return;
            }
            body_ += pending_;
            if (framing_ == Framing::Length) remaining_ -= pending_.size();
            pending_.clear();
            if (framing_ == Framing::Length && remaining_ == 0) phase_ = Phase::Done;
        } else if (phase_ != Phase::Done) {
            parseChunks();
            if (socket != socket_) return;  // failed
        }
        if (phase_ == Phase::Done) {
            completeSocket();
            return;
        }
    }
}

// Parses the status line and header fields once they are all there. False
// while they are incomplete and when the transfer failed.
bool HTTPTransfer::parseHeader() {
    for (;;) {
        qsizetype end = pending_.indexOf("\r\n\r\n");
        qsizetype skip = 4;
        const qsizetype lf = pending_.indexOf("\n\n");
        if (lf >= 0 && (end < 0 || lf < end)) end = lf, skip = 2;
        if (end < 0) {
            if (pending_.size() > kMaxHeader) {
                fail(QNetworkReply::ProtocolFailure, QStringLiteral("Response header too large"));
                return false;
            }
            return false;
        }
        if (end > kMaxHeader) {
            fail(QNetworkReply::ProtocolFailure, QStringLiteral("Response header too large"));
            return false;
        }
        const QList<QByteArray> lines = pending_.left(end).split('\n');
        pending_.remove(0, end + skip);
        const QByteArray status = lines.value(0).trimmed();
        // "HTTP/1.1 200 OK": a version, a three-digit code, a reason.
        const QList<QByteArray> parts = status.split(' ');
        bool numeric = false;
        const int code = parts.value(1).toInt(&numeric);
        if (!status.startsWith("HTTP/") || !numeric || code < 100 || code > 999) {
            fail(QNetworkReply::ProtocolFailure, QStringLiteral("Not an HTTP response"));
            return false;
        }
        if (code < 200) continue;  // 100 Continue and the like come before the answer
        statusCode_ = code;
        const qsizetype reasonAt = status.indexOf(' ', status.indexOf(' ') + 1);
        reasonPhrase_ = reasonAt < 0 ? QString() : QString::fromLatin1(status.mid(reasonAt + 1));
        headers_.clear();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0) continue;
            headers_.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
        const QByteArray encoding = GetHeader(QStringLiteral("Transfer-Encoding")).toLatin1().toLower();
        bool hasLength = false;
        const qint64 length = GetHeader(QStringLiteral("Content-Length")).toLongLong(&hasLength);
        if (headOnly_ || code == 204 || code == 304) {
            phase_ = Phase::Done;
        } else if (encoding.contains("chunked")) {
            framing_ = Framing::Chunked;
            phase_ = Phase::ChunkSize;
        } else if (hasLength && length >= 0) {
            if (length > kMaxBody) {
                fail(QNetworkReply::UnknownContentError, QStringLiteral("Response body too large"));
                return false;
            }
            framing_ = Framing::Length;
            remaining_ = length;
            phase_ = length == 0 ? Phase::Done : Phase::Body;
        } else {
            framing_ = Framing::UntilClose;
            phase_ = Phase::Body;
        }
        return true;
    }
}

void HTTPTransfer::parseChunks() {
    constexpr qsizetype kMaxLine = 4096;
    while (phase_ != Phase::Done && !pending_.isEmpty()) {
        if (phase_ == Phase::ChunkData) {
            const qsizetype take = qsizetype(qMin<qint64>(remaining_, pending_.size()));
            if (body_.size() + take > kMaxBody) {
                fail(QNetworkReply::UnknownContentError, QStringLiteral("Response body too large"));
                return;
            }
            body_.append(pending_.constData(), take);
            pending_.remove(0, take);
            remaining_ -= take;
            if (remaining_ == 0) phase_ = Phase::ChunkEnd;
            continue;
        }
        const qsizetype nl = pending_.indexOf('\n');
        if (nl < 0) {
            if (pending_.size() > kMaxLine) {
                // A chunk line that never ends: keep what arrived, as for a
                // cut body.
                phase_ = Phase::Done;
            }
            return;
        }
        const QByteArray line = pending_.left(nl).trimmed();
        pending_.remove(0, nl + 1);
        if (phase_ == Phase::ChunkEnd) {
            phase_ = Phase::ChunkSize;                  // the CR LF after a chunk's data
            if (!line.isEmpty()) phase_ = Phase::Done;  // malformed: keep what arrived
        } else if (phase_ == Phase::ChunkSize) {
            const qsizetype semicolon = line.indexOf(';');  // chunk extensions follow it
            const QByteArray hex = (semicolon < 0 ? line : line.left(semicolon)).trimmed();
            bool ok = false;
            const qint64 size = hex.size() <= 15 ? hex.toLongLong(&ok, 16) : -1;
            if (!ok || size < 0) {
                phase_ = Phase::Done;  // malformed: keep what arrived
            } else if (size == 0) {
                phase_ = Phase::Trailer;
            } else {
                remaining_ = size;
                phase_ = Phase::ChunkData;
            }
        } else if (phase_ == Phase::Trailer) {
            if (line.isEmpty()) phase_ = Phase::Done;
        }
    }
}

// The connection ended or failed: before the status line that is an error;
// after it, the body read so far is the body (a cut body is kept, as the
// classic control kept what it had read).
void HTTPTransfer::onSocketClosed(QTcpSocket* socket) {
    if (socket != socket_) return;
    if (socket->bytesAvailable() > 0) {
        onSocketReadyRead(socket);
        if (socket != socket_) return;
    }
    if (statusCode_ == 0) {
        const QAbstractSocket::SocketError err = socket->error();
        const int code = err == QAbstractSocket::ConnectionRefusedError  ? int(QNetworkReply::ConnectionRefusedError)
                         : err == QAbstractSocket::HostNotFoundError     ? int(QNetworkReply::HostNotFoundError)
                         : err == QAbstractSocket::RemoteHostClosedError ? int(QNetworkReply::RemoteHostClosedError)
                                                                         : int(QNetworkReply::UnknownNetworkError);
        fail(code, socket->errorString());
        return;
    }
    completeSocket();
}

void HTTPTransfer::completeSocket() {
    dropSocket();
    pending_.clear();
    // Redirects are followed as Qt's manager followed them (never from
    // https to http, a bounded number of times, within the same deadline).
    const QString location = GetHeader(QStringLiteral("Location")).trimmed();
    const bool redirect =
        statusCode_ == 301 || statusCode_ == 302 || statusCode_ == 303 || statusCode_ == 307 || statusCode_ == 308;
    if (redirect && !location.isEmpty() && redirects_ < kMaxRedirects) {
        const QUrl next = url_.resolved(QUrl(location));
        const QString scheme = next.scheme().toLower();
        if (next.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))) {
            ++redirects_;
            const QString method = statusCode_ == 303 ? QStringLiteral("GET") : method_;
            statusCode_ = 0;
            reasonPhrase_.clear();
            headers_.clear();
            body_.clear();
            start(next, method);
            return;
        }
    }
    if (timer_) timer_->stop();
    busy_ = false;
    report(StateResponseCompleted);
}

// ---------------------------------------------------------------------------
// Qt's manager, for the schemes our client does not speak.

void HTTPTransfer::onReadyRead() {
    if (!reply_) return;
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > kMaxBody) {
        fail(QNetworkReply::UnknownContentError, QStringLiteral("Response body too large"));
        return;
    }
    const qint64 available = reply_->bytesAvailable();
    if (body_.size() + available > kMaxBody) {
        fail(QNetworkReply::UnknownContentError, QStringLiteral("Response body too large"));
        return;
    }
    body_.append(reply_->readAll());
}

void HTTPTransfer::fail(int code, const QString& info) {
    dropReply();
    body_.clear();
    statusCode_ = 0;
    responseCode_ = code;
    responseInfo_ = info;
    busy_ = false;
    report(StateError);
}

void HTTPTransfer::onFinished() {
    QNetworkReply* reply = reply_;
    if (!reply) return;
    onReadyRead();        // whatever arrived with the end
    if (!reply_) return;  // the limit was hit
    if (timer_) timer_->stop();
    reply_ = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) {
        // No status line at all: refused, reset, name lookup, bad address.
        responseCode_ = int(reply->error());
        responseInfo_ = reply->errorString();
        body_.clear();
        busy_ = false;
        report(StateError);
        return;
    }
    statusCode_ = status.toInt();
    reasonPhrase_ = QString::fromLatin1(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
    headers_ = reply->rawHeaderPairs();
    busy_ = false;
    report(StateResponseCompleted);
}

QString HTTPTransfer::GetHeader() const {
    if (statusCode_ == 0) return QString();
    QString text = QStringLiteral("HTTP/1.1 %1 %2\r\n").arg(statusCode_).arg(reasonPhrase_);
    for (const auto& h : headers_)
        text += QString::fromLatin1(h.first) + QStringLiteral(": ") + QString::fromLatin1(h.second) +
                QStringLiteral("\r\n");
    return text + QStringLiteral("\r\n");
}

QString HTTPTransfer::GetHeader(const QString& name) const {
    const QByteArray wanted = name.toLatin1();
    for (const auto& h : headers_)
        if (h.first.compare(wanted, Qt::CaseInsensitive) == 0) return QString::fromLatin1(h.second);
    return QString();
}

QString HTTPTransfer::BodyText() const {
    return Cp932::decodeCharset(body_, charsetOf(GetHeader(QStringLiteral("Content-Type"))));
}

// ---------------------------------------------------------------------------

HTTPTransferArray::HTTPTransferArray(QObject* parent) : QObject(parent) { addElement(); }

HTTPTransferArray::~HTTPTransferArray() {
    // Elements first: their replies belong to the managers.
    qDeleteAll(elements_);
    elements_.clear();
    qDeleteAll(managers_);
}

HTTPTransfer* HTTPTransferArray::addElement() {
    const int index = int(elements_.size());
    auto* element = new HTTPTransfer(index, [this, index] { return managerFor(index); });
    // A plain call instead of a connection per element: a list of 100 000
    // channels would otherwise hold 100 000 connections.
    element->setSink([this](int i, int state) { emit StateChanged(i, state); });
    elements_.append(element);
    return element;
}

HTTPTransfer* HTTPTransferArray::getNewHTTPObject(int timeout, const QString& proxy, bool proxyEnable) {
    HTTPTransfer* element = addElement();
    element->RequestTimeout = timeout;
    if (!proxy.isEmpty() && proxyEnable) {
        element->Proxy = proxy;
        element->AccessType = HTTPTransfer::AccessNamedProxy;
    }
    return element;
}

HTTPTransfer* HTTPTransferArray::Element(int index) const {
    return index >= 0 && index < elements_.size() ? elements_[index] : nullptr;
}

int HTTPTransferArray::ManagerCount() const {
    int n = 0;
    for (auto* m : managers_) n += m ? 1 : 0;
    return n;
}

QNetworkAccessManager* HTTPTransferArray::managerFor(int index) {
    const int slot = index <= 0 ? 0 : (index - 1) / kElementsPerManager;
    if (managers_.size() <= slot) managers_.resize(slot + 1, nullptr);
    if (!managers_[slot]) {
        auto* manager = new QNetworkAccessManager();
        manager->setAutoDeleteReplies(false);
        manager->setTransferTimeout(0);
        managers_[slot] = manager;
    }
    return managers_[slot];
}
