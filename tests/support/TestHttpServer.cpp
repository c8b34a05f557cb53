#include "TestHttpServer.h"

#include <httplib.h>

#include <QProcess>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {
// One request per connection unless asked otherwise: stopping the server
// then never waits for an idle keep-alive connection to time out.
std::unique_ptr<httplib::Server> setUp(std::unique_ptr<httplib::Server> server) {
    server->new_task_queue = [] { return new httplib::ThreadPool(16); };
    server->set_keep_alive_max_count(1);
    return server;
}
}  // namespace

TestHttpServer::TestHttpServer() : server_(setUp(std::make_unique<httplib::Server>())) {}

TestHttpServer::TestHttpServer(const QString& certFile, const QString& keyFile)
    : server_(setUp(
          std::make_unique<httplib::SSLServer>(certFile.toLocal8Bit().constData(), keyFile.toLocal8Bit().constData()))),
      tls_(true) {}

TestHttpServer::~TestHttpServer() { stop(); }

void TestHttpServer::keepAlive() {
    server_->set_keep_alive_max_count(1000);
    server_->set_keep_alive_timeout(1);
}

bool TestHttpServer::MakeCertificate(const QString& dir, QString* certFile, QString* keyFile) {
    *certFile = dir + QStringLiteral("/cert.pem");
    *keyFile = dir + QStringLiteral("/key.pem");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                                              "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                              "subjectAltName=IP:127.0.0.1", "-keyout", *keyFile, "-out", *certFile});
    return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

void TestHttpServer::serve(const std::string& path, const QByteArray& body, const std::string& contentType,
                           const std::string& lastModified) {
    handle(path, [body, contentType, lastModified](const httplib::Request&, httplib::Response& res) {
        if (!lastModified.empty()) res.set_header("Last-Modified", lastModified);
        res.set_content(body.toStdString(), contentType.c_str());
    });
}

void TestHttpServer::handle(const std::string& path, Handler handler) {
    server_->Get(path, [this, handler](const httplib::Request& req, httplib::Response& res) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_ << QString::fromStdString(req.path);
            remotePorts_.insert(req.remote_port);
        }
        handler(req, res);
    });
}

void TestHttpServer::start() {
    port_ = server_->bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void TestHttpServer::stop() {
    if (!thread_.joinable()) return;
    server_->stop();
    thread_.join();
}

QString TestHttpServer::url(const QString& path) const {
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(QLatin1String(tls_ ? "https" : "http")).arg(port_).arg(path);
}

QStringList TestHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

int TestHttpServer::count(const QString& path) const { return int(requests().count(path)); }

int TestHttpServer::connections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return int(remotePorts_.size());
}

void TestHttpServer::clearLog() {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.clear();
    remotePorts_.clear();
}

RawHttpServer::RawHttpServer(Script script) : script_(std::move(script)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), len);
    ::listen(listenFd_, 64);
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] {
        while (!stopping_) {
            pollfd p{listenFd_, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            const int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd < 0) continue;
            std::lock_guard<std::mutex> lock(mutex_);
            // Long runs make thousands of connections: join the finished ones.
            for (auto it = workers_.begin(); it != workers_.end();) {
                if (!*it->done) {
                    ++it;
                    continue;
                }
                it->thread.join();
                it = workers_.erase(it);
            }
            openFds_.push_back(fd);
            auto done = std::make_shared<std::atomic<bool>>(false);
            workers_.push_back({std::thread([this, fd, done] { serveConnection(fd), *done = true; }), done});
        }
    });
}

RawHttpServer::~RawHttpServer() {
    stopping_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    ::close(listenFd_);
    acceptThread_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& w : workers_) w.thread.join();
}

QString RawHttpServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

QStringList RawHttpServer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

int RawHttpServer::count(const QString& path) const { return int(requests().count(path)); }

void RawHttpServer::serveConnection(int fd) {
    QByteArray request;
    char buf[4096];
    while (!request.contains("\r\n\r\n") && !stopping_) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, n);
    }
    const QString path = QString::fromLatin1(request.left(request.indexOf("\r\n")).split(' ').value(1));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_ << path;
    }
    // A peer that went away ends the whole script.
    auto sendAll = [this, fd](const QByteArray& bytes) {
        for (qsizetype off = 0; off < bytes.size() && !stopping_;) {
            const ssize_t n = ::send(fd, bytes.constData() + off, size_t(bytes.size() - off), MSG_NOSIGNAL);
            if (n <= 0) return false;
            off += n;
        }
        return true;
    };
    bool going = true;
    for (const Step& step : script_(path)) {
        if (stopping_ || !going) break;
        if (step.kind == Step::Send) {
            for (qint64 t = 0; t < step.times && going && !stopping_; ++t) going = sendAll(step.bytes);
        } else if (step.kind == Step::Sleep || step.kind == Step::Silence) {
            for (int waited = 0; (step.kind == Step::Silence || waited < step.ms) && !stopping_; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else {
            if (step.kind == Step::Reset) {
                linger l{1, 0};  // RST instead of FIN
                ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
            }
            break;
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
    ::close(fd);
}
