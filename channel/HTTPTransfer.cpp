#include "channel/HTTPTransfer.h"

#include "common/BodyText.h"
#include "common/Logging.h"

#include <curl/curl.h>

#include <QUrl>

namespace {

// What a user reads when a transfer fails.
QString failureText(CURLcode code, bool namedProxy) {
    switch (code) {
        case CURLE_UNSUPPORTED_PROTOCOL:  // an answer without a status line (HTTP/0.9)
        case CURLE_WEIRD_SERVER_REPLY:
            return QStringLiteral("サーバーの応答が正しくありません");
        case CURLE_URL_MALFORMAT:
            return QStringLiteral("対応していないアドレスです");
        case CURLE_COULDNT_RESOLVE_HOST:
            return QStringLiteral("サーバーが見つかりません");
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_PROXY:
            return QStringLiteral("プロキシへの接続に失敗しました");
        case CURLE_COULDNT_CONNECT:
            return namedProxy ? QStringLiteral("プロキシへの接続に失敗しました")
                              : QStringLiteral("接続が拒否されました");
        case CURLE_OPERATION_TIMEDOUT:
            return QStringLiteral("タイムアウトしました");
        case CURLE_PARTIAL_FILE:
            return QStringLiteral("応答が途中で切れました");
        case CURLE_FILESIZE_EXCEEDED:
        case CURLE_WRITE_ERROR:
        case CURLE_OUT_OF_MEMORY:  // libcurl's own cap on one header line
            return QStringLiteral("応答が大きすぎます");
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_CLIENTCERT:
            return QStringLiteral("TLS(SSL)の接続に失敗しました");
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return QStringLiteral("接続が切断されました");
        default:
            return QStringLiteral("通信エラーが発生しました(%1)").arg(int(code));
    }
}

bool httpOrHttps(const QString& address) {
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// "host[:port]" (an "http://" in front is tolerated) as libcurl's proxy
// address; port 80 when missing. Empty when the port is not a number from
// 1 to 65535: guessing one would send every request somewhere else.
QByteArray proxyAddress(QString text) {
    const qsizetype scheme = text.indexOf(QStringLiteral("://"));
    if (scheme >= 0) text = text.mid(scheme + 3);
    while (text.endsWith(QLatin1Char('/'))) text.chop(1);
    QString host = text;
    int port = 80;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon > 0 && !text.endsWith(QLatin1Char(']'))) {
        const QString digits = text.mid(colon + 1);
        bool ok = !digits.isEmpty();
        for (QChar c : digits) ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const uint p = ok ? digits.toUInt(&ok) : 0;
        if (!ok || p == 0 || p > 65535) return QByteArray();
        port = int(p);
        host = text.left(colon);
    }
    return "http://" + host.toUtf8() + ':' + QByteArray::number(port);
}

// The server a request's connection goes to, for the connection budget.
QByteArray serverOf(const QString& address) {
    const QUrl url(address);
    const QString scheme = url.scheme().toLower();
    return scheme.toLatin1() + "://" + url.host().toLower().toUtf8() + ':' +
           QByteArray::number(url.port(scheme == QLatin1String("https") ? 443 : 80));
}

// Header text as it came: plain ASCII as it is, anything else by the rules
// of text bodies (a reason phrase in CP932 or UTF-8). The body's declared
// charset is not the header's.
QString headerText(const QByteArray& bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return DecodeBodyText(bytes, QString());
    return QString::fromLatin1(bytes);
}

curl_slist* requestHeaders() {
    // Bodies come as sent: nothing compressed is asked for or unpacked, so a
    // body's size is what arrived on the wire.
    static curl_slist* const list = curl_slist_append(nullptr, "Accept-Encoding: identity");
    return list;
}

}  // namespace

HTTPTransfer::HTTPTransfer(int index, CurlMulti* multi, QObject* parent)
    : QObject(parent), index_(index), multi_(multi) {}

HTTPTransfer::~HTTPTransfer() { drop(); }

void HTTPTransfer::drop() {
    active_ = false;
    if (!easy_) return;
    if (multi_) multi_->remove(easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
}

void HTTPTransfer::Cancel() { drop(); }

void HTTPTransfer::report(int state) {
    QPointer<HTTPTransfer> self(this);  // the sink may delete us (a list torn down)
    if (sink_) sink_(index_, state);
    if (self) emit StateChanged(index_, state);
}

void HTTPTransfer::Execute(const QString& rawAddress, const QString& method) {
    drop();
    statusCode_ = 0;
    reasonPhrase_.clear();
    headerBytes_ = 0;
    sectionStart_ = true;
    headers_.clear();
    body_.clear();
    responseCode_ = 0;
    responseInfo_.clear();
    refusal_.clear();
    hit_ = Limit::None;
    // Spaces around an address are not part of it ("URL= http://...").
    const QString address = rawAddress.trimmed();
    lastAddress_ = address;

    // A completion counts only for the request it belongs to: a handle's
    // address may come back for the next request of the same element.
    const quint64 request = ++request_;
    active_ = true;
    QPointer<HTTPTransfer> self(this);
    auto done = [self, request](int result) {
        if (self && self->request_ == request && self->active_) self->finished(result);
    };
    // Whatever cannot be set up still ends in a completion, from the event
    // loop and never from inside Execute, so no caller waits for ever.
    auto refuse = [this, &done](const QString& why) {
        refusal_ = why;
        QMetaObject::invokeMethod(
            this, [done] { done(CURLE_FAILED_INIT); }, Qt::QueuedConnection);
    };
    const QString setupFailed = QStringLiteral("通信の準備に失敗しました");
    easy_ = curl_easy_init();
    if (!easy_) return refuse(setupFailed);
    const QString refused = configure(address, method);
    if (!refused.isEmpty()) return refuse(refused);
    const QByteArray server = namedProxy_ ? "proxy " + proxyServer_ : serverOf(address);
    if (!multi_ || !multi_->add(easy_, server, done)) return refuse(setupFailed);
}

bool HTTPTransfer::WaitingForConnection() const { return easy_ && multi_ && multi_->IsWaiting(easy_); }

QString HTTPTransfer::configure(const QString& address, const QString& method) {
    CURL* e = easy_;
    // Anything but http and https (file:, ftp:, ...) fails from the event
    // loop without being opened: libcurl is told an address it refuses.
    const QByteArray url = httpOrHttps(address) ? QUrl(address).toEncoded() : QByteArray("unsupported:");
    curl_easy_setopt(e, CURLOPT_URL, url.constData());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // The status line stays "HTTP/1.1 code reason", and an idle connection
    // serves the next request of any channel.
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, requestHeaders());
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Vantora");
    const QByteArray verb = method.toLatin1().toUpper();
    if (verb == "HEAD")
        curl_easy_setopt(e, CURLOPT_NOBODY, 1L);
    else if (!verb.isEmpty() && verb != "GET")
        curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, verb.constData());
    // One deadline for the whole request, redirects and proxy included.
    const long seconds = RequestTimeout > 0 ? RequestTimeout : kDefaultTimeout;
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, seconds * 1000L);
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(kMaxBody));
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &HTTPTransfer::onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &HTTPTransfer::onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    if (lcHttp().isDebugEnabled()) {
        if (!errorText_) errorText_ = std::make_unique<char[]>(CURL_ERROR_SIZE);
        errorText_[0] = '\0';
        curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorText_.get());
    } else {
        errorText_.reset();
    }
    if (multi_ && !multi_->caFile().isEmpty()) {
        const QByteArray ca = multi_->caFile().toLocal8Bit();
        curl_easy_setopt(e, CURLOPT_CAINFO, ca.constData());
    }
    // AccessType 2 names the proxy (none when its text is empty) for every
    // host, whatever the environment's no_proxy says; 1 is direct; 0 leaves
    // libcurl to the environment (http_proxy, https_proxy, no_proxy).
    namedProxy_ = false;
    proxyServer_.clear();
    if (AccessType == AccessNamedProxy && !Proxy.trimmed().isEmpty()) {
        proxyServer_ = proxyAddress(Proxy.trimmed());
        if (proxyServer_.isEmpty()) return QStringLiteral("プロキシのポート番号が正しくありません");
        curl_easy_setopt(e, CURLOPT_PROXY, proxyServer_.constData());
        curl_easy_setopt(e, CURLOPT_NOPROXY, "");
        namedProxy_ = true;
    } else if (AccessType == AccessNamedProxy || AccessType == AccessDirect) {
        curl_easy_setopt(e, CURLOPT_PROXY, "");
    }
    return QString();
}

bool HTTPTransfer::TakeHeaderLine(const char* data, size_t size) {
    QByteArray line(data, qsizetype(size));
    if (sectionStart_ && line.startsWith("HTTP/")) {
        // A new response (after a 1xx, a proxy's CONNECT answer or a
        // redirect): its section is counted and kept on its own. Only a
        // status line starts one; a field line that looks like one counts.
        headerBytes_ = 0;
        headers_.clear();
        const QList<QByteArray> parts = line.trimmed().split(' ');
        statusCode_ = parts.value(1).toInt();
        const qsizetype reasonAt = line.indexOf(' ', line.indexOf(' ') + 1);
        reasonPhrase_ = reasonAt < 0 ? QByteArray() : line.mid(reasonAt + 1).trimmed();
    }
    // The empty line that ends a section; the next line may start another.
    sectionStart_ = line == "\r\n" || line == "\n";
    headerBytes_ += qint64(size);
    if (headerBytes_ > kMaxHeader) {
        hit_ = Limit::Header;
        return false;
    }
    if (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t')) {
        // A folded line continues the previous field.
        if (!headers_.isEmpty()) headers_.last().second += ' ' + line.trimmed();
        return true;
    }
    const qsizetype colon = line.indexOf(':');
    if (colon > 0) headers_.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    return true;
}

size_t HTTPTransfer::onHeader(char* data, size_t size, size_t count, void* self) {
    const size_t n = size * count;
    return static_cast<HTTPTransfer*>(self)->TakeHeaderLine(data, n) ? n : 0;
}

size_t HTTPTransfer::onBody(char* data, size_t size, size_t count, void* self) {
    auto* me = static_cast<HTTPTransfer*>(self);
    const size_t n = size * count;
    if (me->body_.size() + qint64(n) > kMaxBody) {
        me->hit_ = Limit::Body;
        return 0;
    }
    if (me->body_.isEmpty()) {
        // One allocation for a body of declared length.
        curl_off_t length = -1;
        curl_easy_getinfo(me->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0 && length <= kMaxBody) me->body_.reserve(qsizetype(length));
    }
    me->body_.append(data, qsizetype(n));
    return n;
}

void HTTPTransfer::finished(int result) {
    active_ = false;
    const auto code = CURLcode(result);
    long redirects = 0;
    if (easy_) curl_easy_getinfo(easy_, CURLINFO_REDIRECT_COUNT, &redirects);
    if (easy_) {
        curl_easy_cleanup(easy_);  // its connection stays in the multi handle's cache
        easy_ = nullptr;
    }
    // A chain of redirects longer than allowed ends with its last answer,
    // which carries a status like any other.
    if (code == CURLE_OK || (code == CURLE_TOO_MANY_REDIRECTS && statusCode_ != 0)) {
        report(StateResponseCompleted);
        return;
    }
    // libcurl refused the address itself: one that is not http or https,
    // given first-hand or by a redirect.
    const bool addressRefused =
        code == CURLE_UNSUPPORTED_PROTOCOL && (!httpOrHttps(lastAddress_) || redirects > 0 || statusCode_ / 100 == 3);
    statusCode_ = 0;
    headers_.clear();
    body_.clear();
    responseCode_ = result;
    if (!refusal_.isEmpty())
        responseInfo_ = refusal_;
    else if (hit_ != Limit::None)
        responseInfo_ = QStringLiteral("応答が大きすぎます");
    else if (addressRefused)
        responseInfo_ = QStringLiteral("対応していないアドレスです");
    else
        responseInfo_ = failureText(code, namedProxy_);
    qCDebug(lcHttp).noquote() << "request" << index_ << lastAddress_ << "failed:" << responseInfo_ << "- libcurl"
                              << result << curl_easy_strerror(code)
                              << (errorText_ && errorText_[0] ? QString::fromLocal8Bit(errorText_.get()) : QString())
                              << (hit_ == Limit::Header ? "(header section over the limit)"
                                  : hit_ == Limit::Body ? "(body over the limit)"
                                                        : "");
    report(StateError);
}

QString HTTPTransfer::GetHeader() const {
    if (statusCode_ == 0) return QString();
    QString text = QStringLiteral("HTTP/1.1 %1 %2\r\n").arg(statusCode_).arg(headerText(reasonPhrase_));
    for (const auto& h : headers_)
        text += QString::fromLatin1(h.first) + QStringLiteral(": ") + headerText(h.second) + QStringLiteral("\r\n");
    return text + QStringLiteral("\r\n");
}

QString HTTPTransfer::StatusLine() const {
    const QString header = GetHeader();
    const qsizetype end = header.indexOf(QStringLiteral("\r\n"));
    return end < 0 ? header : header.left(end);
}

QString HTTPTransfer::GetHeader(const QString& name) const {
    const QByteArray wanted = name.toLatin1();
    for (const auto& h : headers_)
        if (h.first.compare(wanted, Qt::CaseInsensitive) == 0) return headerText(h.second);
    return QString();
}

QString HTTPTransfer::BodyText() const { return DecodeBodyText(body_, GetHeader(QStringLiteral("Content-Type"))); }

// ---------------------------------------------------------------------------

HTTPTransferArray::HTTPTransferArray(CurlMulti& multi, QObject* parent) : QObject(parent), multi_(multi) {
    settings_.emplace_back();
    slots_.emplace_back();
    Make(0);
}

HTTPTransferArray::~HTTPTransferArray() {
    for (const Slot& slot : slots_) delete slot.element;
}

HTTPTransferArray::ElementSettings HTTPTransferArray::settingsFor(int timeout, const QString& proxy, bool proxyEnable) {
    ElementSettings s;
    s.RequestTimeout = timeout;
    if (!proxy.isEmpty() && proxyEnable) {
        s.Proxy = proxy;
        s.AccessType = HTTPTransfer::AccessNamedProxy;
    }
    return s;
}

void HTTPTransferArray::apply(ElementSettings& s, int timeout, const QString& proxy, bool proxyEnable) {
    s.RequestTimeout = timeout;
    s.Proxy = proxy;
    if ((s.AccessType == HTTPTransfer::AccessNamedProxy) != proxyEnable)
        s.AccessType = proxyEnable ? HTTPTransfer::AccessNamedProxy : HTTPTransfer::AccessDefault;
}

int HTTPTransferArray::ReserveHTTPObject(int timeout, const QString& proxy, bool proxyEnable) {
    // Elements reserved in a row under the same settings share one entry.
    const ElementSettings s = settingsFor(timeout, proxy, proxyEnable);
    if (!(settings_.back() == s)) settings_.push_back(s);
    slots_.push_back(Slot{nullptr, int(settings_.size()) - 1});
    return Count() - 1;
}

HTTPTransfer* HTTPTransferArray::getNewHTTPObject(int timeout, const QString& proxy, bool proxyEnable) {
    return Make(ReserveHTTPObject(timeout, proxy, proxyEnable));
}

HTTPTransfer* HTTPTransferArray::Make(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    Slot& slot = slots_[size_t(index)];
    if (slot.element) return slot.element;
    auto* element = new HTTPTransfer(index, &multi_);
    // A plain call instead of a connection per element: a list of 100 000
    // channels would otherwise hold 100 000 connections.
    element->setSink([this](int i, int state) { emit StateChanged(i, state); });
    const ElementSettings& s = settings_[size_t(slot.settings)];
    element->RequestTimeout = s.RequestTimeout;
    element->Proxy = s.Proxy;
    element->AccessType = s.AccessType;
    slot.element = element;
    ++made_;
    return element;
}

void HTTPTransferArray::ApplySettings(int timeout, const QString& proxy, bool proxyEnable) {
    // Each shared entry changes as every element holding it would.
    for (ElementSettings& s : settings_) apply(s, timeout, proxy, proxyEnable);
    for (const Slot& slot : slots_) {
        if (!slot.element) continue;
        ElementSettings s{slot.element->RequestTimeout, slot.element->Proxy, slot.element->AccessType};
        apply(s, timeout, proxy, proxyEnable);
        slot.element->RequestTimeout = s.RequestTimeout;
        slot.element->Proxy = s.Proxy;
        slot.element->AccessType = s.AccessType;
    }
}

void HTTPTransferArray::CancelAll() {
    for (const Slot& slot : slots_)
        if (slot.element) slot.element->Cancel();
}

HTTPTransfer* HTTPTransferArray::Element(int index) const {
    return index >= 0 && index < Count() ? slots_[size_t(index)].element : nullptr;
}
