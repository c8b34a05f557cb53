#include "channel/CurlMulti.h"

#include <curl/curl.h>

#include <QSocketNotifier>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <mutex>
#include <vector>

CurlMulti::Budget CurlMulti::BudgetFor(long openFiles) {
    const long reserve = std::max(64L, openFiles / 4);
    Budget b;
    b.Total = std::max(1L, openFiles - reserve);
    b.PerHost = std::max(1L, b.Total / 2);
    return b;
}

namespace {
long openFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    return limit.rlim_cur == RLIM_INFINITY ? (1L << 30) : long(std::min<rlim_t>(limit.rlim_cur, 1L << 30));
}
}  // namespace

CurlMulti::CurlMulti(QObject* parent) : CurlMulti(BudgetFor(openFileLimit()), parent) {}

CurlMulti::CurlMulti(Budget budget, QObject* parent) : QObject(parent), budget_(budget) {
    // Debian 12's libcurl has a thread-safe global init (CURL_VERSION_THREADSAFE),
    // so the first multi handle of a program may do it, whatever threads run.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { act(CURL_SOCKET_TIMEOUT, 0); });
    open();
}

void CurlMulti::open() {
    multi_ = curl_multi_init();
    if (!multi_) return;  // every add fails, and each transfer reports it
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMulti::socketCallback);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMulti::timerCallback);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, std::min(kMaxIdleConnections, budget_.Total));
    // The same caps as the queue here keeps: libcurl closes an idle
    // connection to make room instead of opening one past them.
    curl_multi_setopt(multi_, CURLMOPT_MAX_TOTAL_CONNECTIONS, budget_.Total);
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, budget_.PerHost);
}

CurlMulti::~CurlMulti() {
    if (multi_) {
        for (auto& [easy, t] : running_)
            if (t.started) curl_multi_remove_handle(multi_, easy);
        curl_multi_cleanup(multi_);
    }
    running_.clear();
    for (auto& [fd, w] : watches_) {
        delete w.read;
        delete w.write;
    }
}

bool CurlMulti::add(CURL* easy, const QByteArray& host, std::function<void(int)> done) {
    if (!multi_ || !easy || running_.count(easy) || (addFault_ && addFault_())) return false;
    Transfer t{std::move(done), host.toStdString(), false};
    if (hasRoom(t.host)) {
        if (!start(easy, t)) return false;
        running_.emplace(easy, std::move(t));
        return true;
    }
    std::deque<CURL*>& queue = waiting_[t.host];
    if (queue.empty()) waitingHosts_.push_back(t.host);
    queue.push_back(easy);
    running_.emplace(easy, std::move(t));
    return true;
}

bool CurlMulti::hasRoom(const std::string& host) const {
    if (started_ >= budget_.Total) return false;
    const auto it = hostStarted_.find(host);
    return it == hostStarted_.end() || it->second < budget_.PerHost;
}

bool CurlMulti::start(CURL* easy, Transfer& t) {
    // Asks for a timer; the work starts from the event loop.
    if (curl_multi_add_handle(multi_, easy) != CURLM_OK) return false;
    t.started = true;
    ++started_;
    ++hostStarted_[t.host];
    return true;
}

void CurlMulti::startWaiting() {
    // One transfer per server in turn, while there is room: servers that
    // wait behind a full one are not held up by it.
    bool progress = true;
    while (progress && started_ < budget_.Total && !waitingHosts_.empty()) {
        progress = false;
        for (size_t n = waitingHosts_.size(); n > 0 && started_ < budget_.Total; --n) {
            std::string host = std::move(waitingHosts_.front());
            waitingHosts_.pop_front();
            const auto queue = waiting_.find(host);
            if (queue == waiting_.end()) continue;
            if (hasRoom(host)) {
                CURL* easy = queue->second.front();
                queue->second.pop_front();
                Transfer& t = running_.at(easy);
                progress = true;
                if (!start(easy, t)) {
                    // Reported like any other end, from the event loop.
                    auto done = std::move(t.done);
                    running_.erase(easy);
                    QMetaObject::invokeMethod(
                        this, [done] { done(CURLE_FAILED_INIT); }, Qt::QueuedConnection);
                }
            }
            if (queue->second.empty())
                waiting_.erase(queue);
            else
                waitingHosts_.push_back(std::move(host));
        }
    }
}

void CurlMulti::finish(CURL* easy) {
    const auto it = running_.find(easy);
    if (it == running_.end()) return;
    const Transfer& t = it->second;
    if (t.started) {
        --started_;
        const auto host = hostStarted_.find(t.host);
        if (host != hostStarted_.end() && --host->second <= 0) hostStarted_.erase(host);
    } else {
        const auto queue = waiting_.find(t.host);
        if (queue != waiting_.end()) {
            std::deque<CURL*>& q = queue->second;
            q.erase(std::remove(q.begin(), q.end(), easy), q.end());
            if (q.empty()) {
                waiting_.erase(queue);
                waitingHosts_.erase(std::remove(waitingHosts_.begin(), waitingHosts_.end(), t.host),
                                    waitingHosts_.end());
            }
        }
    }
    running_.erase(it);
}

void CurlMulti::remove(CURL* easy) {
    const auto it = running_.find(easy);
    if (it == running_.end()) return;
    if (it->second.started && multi_) curl_multi_remove_handle(multi_, easy);
    finish(easy);
    startWaiting();
}

int CurlMulti::Waiting() const { return int(running_.size()) - int(started_); }

bool CurlMulti::IsWaiting(CURL* easy) const {
    const auto it = running_.find(easy);
    return it != running_.end() && !it->second.started;
}

void CurlMulti::CloseConnections() {
    if (multi_) {
        for (auto& [easy, t] : running_)
            if (t.started) curl_multi_remove_handle(multi_, easy);
        curl_multi_cleanup(multi_);
    }
    running_.clear();
    hostStarted_.clear();
    started_ = 0;
    waiting_.clear();
    waitingHosts_.clear();
    timer_->stop();
    for (auto& [fd, w] : watches_) {
        if (w.read) w.read->setEnabled(false);
        if (w.write) w.write->setEnabled(false);
    }
    open();
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
    if (!multi_) return;
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
        finished.emplace_back(std::move(it->second.done), int(result));
        finish(easy);
    }
    // Freed connections go to the transfers that wait, in turn.
    if (!finished.empty()) startWaiting();
    for (auto& [done, result] : finished) done(result);
}
