#pragma once
// Real HTTP servers on 127.0.0.1 for tests: cpp-httplib for ordinary answers,
// and a raw socket server for exact status lines, resets, silence and drips.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class TestHttpServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // With a certificate and key (PEM files) the server speaks https.
    TestHttpServer();
    TestHttpServer(const QString& certFile, const QString& keyFile);
    ~TestHttpServer();

    // Keeps connections open between requests (call before start); stop()
    // may then wait for an idle connection up to a second.
    void keepAlive();

    // Answers GET of path (exact) with body and content type, status 200.
    void serve(const std::string& path, const QByteArray& body, const std::string& contentType,
               const std::string& lastModified = std::string());
    // Full control; runs on the server's thread.
    void handle(const std::string& path, Handler handler);

    void start();
    void stop();
    int port() const { return port_; }
    QString url(const QString& path) const;

    QStringList requests() const;  // paths in arrival order
    int count(const QString& path) const;
    int connections() const;  // connections the requests came on
    void clearLog();

    // A self-signed certificate for 127.0.0.1 and its key, written as PEM
    // files into dir (needs the openssl command).
    static bool MakeCertificate(const QString& dir, QString* certFile, QString* keyFile);

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool tls_ = false;
    mutable std::mutex mutex_;
    QStringList seen_;
    std::set<int> remotePorts_;
};

// A server whose every answer is scripted as raw bytes and actions.
class RawHttpServer {
public:
    // What to do with one connection after its request was read.
    struct Step {
        enum Kind { Send, Sleep, Reset, Close, Silence } kind = Send;
        QByteArray bytes;  // Send
        int ms = 0;        // Sleep
        qint64 times = 1;  // Send: bytes sent this many times (huge bodies without the memory)
    };
    using Script = std::function<std::vector<Step>(const QString& path)>;

    explicit RawHttpServer(Script script);
    ~RawHttpServer();
    int port() const { return port_; }
    QString url(const QString& path) const;
    QStringList requests() const;
    int count(const QString& path) const;

    static Step send(const QByteArray& b) { return {Step::Send, b, 0, 1}; }
    static Step repeat(const QByteArray& b, qint64 times) { return {Step::Send, b, 0, times}; }
    static Step sleep(int ms) { return {Step::Sleep, {}, ms, 1}; }
    static Step reset() { return {Step::Reset, {}, 0, 1}; }
    static Step close() { return {Step::Close, {}, 0, 1}; }
    static Step silence() { return {Step::Silence, {}, 0, 1}; }
    // A whole answer, then the close: head is the status line and headers without the blank line.
    static std::vector<Step> answer(const QByteArray& head, const QByteArray& body) {
        return {send(head + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                     body)};
    }
    static std::vector<Step> ok(const QByteArray& type, const QByteArray& body) {
        return answer("HTTP/1.1 200 OK\r\nContent-Type: " + type, body);
    }

private:
    void serveConnection(int fd);

    Script script_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Worker> workers_;  // finished ones are joined as new ones start
    std::vector<int> openFds_;
    QStringList requests_;
};
