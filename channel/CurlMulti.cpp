#include "channel/CurlMulti.h"

#include <curl/curl.h>

#include <QSocketNotifier>
#include <QTimer>

#include <mutex>
#include <vector>

CurlMulti::CurlMulti(QObject* parent) : QObject(parent) {
    // Debian 12's libcurl has a thread-safe global init (CURL_VERSION_THREADSAFE),
    // so the first multi handle of a program may do it, whatever threads run.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    multi_ = curl_multi_init();
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMulti::socketCallback);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMulti::timerCallback);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, kMaxIdleConnections);
    // No per-host or total cap: a channel's request starts at once, however
    // many others use the same server.
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, 0L);
    curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, 0L);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
}

CurlMulti::~CurlMulti() {
    for (auto& [easy, done] : running_) curl_multi_remove_handle(multi_, easy);
    running_.clear();
    curl_multi_cleanup(multi_);
    for (auto& [fd, w] : watches_) {
        delete w.read;
        delete w.write;
    }
}

void CurlMulti::add(CURL* easy, std::function<void(int)> done) {
    running_[easy] = std::move(done);
    curl_multi_add_handle(multi_, easy);  // asks for a timer; the work starts from the event loop
}

void CurlMulti::remove(CURL* easy) {
    if (running_.erase(easy)) curl_multi_remove_handle(multi_, easy);
}

int CurlMulti::socketCallback(CURL*, curl_socket_t fd, int what, void* self, void*) {
    auto* me = static_cast<CurlMulti*>(self);
    if (what == CURL_POLL_REMOVE)
        me->unwatch(fd);
    else
        me->watch(fd, what);
    return 0;
}

int CurlMulti::timerCallback(CURLM*, long timeoutMs, void* self) {
    auto* me = static_cast<CurlMulti*>(self);
    if (timeoutMs < 0)
        me->timer_->stop();
    else
        me->timer_->start(int(qMin<long>(timeoutMs, INT_MAX)));
    return 0;
}

void CurlMulti::watch(int fd, int what) {
    Watch& w = watches_[fd];
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !w.read) {
        w.read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(w.read, &QSocketNotifier::activated, this, [this, fd] { act(fd, CURL_CSELECT_IN); });
    }
    if (wantWrite && !w.write) {
        w.write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(w.write, &QSocketNotifier::activated, this, [this, fd] { act(fd, CURL_CSELECT_OUT); });
    }
    if (w.read) w.read->setEnabled(wantRead);
    if (w.write) w.write->setEnabled(wantWrite);
}

void CurlMulti::unwatch(int fd) {
    // libcurl stops watching a socket whenever its connection goes idle;
    // the notifiers are kept for the descriptor's next use, disabled (so
    // never registered while the descriptor is closed or someone else's).
    const auto it = watches_.find(fd);
    if (it == watches_.end()) return;
    if (it->second.read) it->second.read->setEnabled(false);
    if (it->second.write) it->second.write->setEnabled(false);
}

void CurlMulti::act(int fd, int events) {
    int running = 0;
    curl_multi_socket_action(multi_, fd, events, &running);
    collectDone();
}

void CurlMulti::collectDone() {
    // Take every finished transfer out first: a completion may start a new
    // request, delete its transfer object, or even this object.
    std::vector<std::pair<std::function<void(int)>, int>> finished;
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        CURL* easy = msg->easy_handle;
        const CURLcode result = msg->data.result;
        long opened = 0;
        if (curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &opened) == CURLE_OK) connectionsOpened_ += opened;
        curl_multi_remove_handle(multi_, easy);
        const auto it = running_.find(easy);
        if (it == running_.end()) continue;
        finished.emplace_back(std::move(it->second), int(result));
        running_.erase(it);
    }
    for (auto& [done, result] : finished) done(result);
}
