#include "channel/HTTPTransfer.h"

#include "common/Cp932.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
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
    if (sink_) sink_(index_, state);
    emit StateChanged(index_, state);
}

HTTPTransfer::~HTTPTransfer() { dropReply(); }

void HTTPTransfer::dropReply() {
    if (timer_) timer_->stop();
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

    QNetworkAccessManager* manager = managerFor_();
    manager->setProxy(proxyFor(AccessType, Proxy));
    QNetworkRequest request{QUrl(address)};
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
    if (RequestTimeout > 0) armDeadline(RequestTimeout);
}

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
    onReadyRead();  // whatever arrived with the end
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
