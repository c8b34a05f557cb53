#include "DemoPublisher.h"

#include "DemoFrames.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QDateTime>
#include <QFile>

#include <algorithm>

#include <sys/socket.h>

namespace {

const char* kText = "text/plain";  // no charset: the viewer reads CP932
const char* kJpeg = "image/jpeg";

void notFound(httplib::Response& res) {
    res.status = 404;
    res.set_content("Not Found", kText);
}

}  // namespace

DemoPublisher::DemoPublisher(DemoOptions options, Clock clock)
    : options_(std::move(options)), clock_(std::move(clock)), channels_(Demo::MakeCatalog(options_)) {
    for (const DemoChannel& c : channels_) byId_.insert(c.ChannelID, c.Index);
    slots_.resize(size_t(channels_.size()) * 2);
    for (auto& s : slots_) s = std::make_unique<Slot>();
}

DemoPublisher::~DemoPublisher() { stop(); }

qint64 DemoPublisher::nowMs() const { return clock_ ? clock_() : QDateTime::currentMSecsSinceEpoch(); }

qint64 DemoPublisher::periodAt(qint64 ms) const {
    const qint64 length = qint64(options_.ReloadSeconds) * 1000;
    return ms >= 0 ? ms / length : -((-ms + length - 1) / length);
}

QString DemoPublisher::baseUrl() const {
    // A wildcard bind is still reached through loopback.
    const QString host = (options_.Host == QLatin1String("0.0.0.0") || options_.Host.isEmpty())
                             ? QStringLiteral("127.0.0.1")
                             : options_.Host;
    return Demo::BaseUrl(host, port_);
}

QByteArray DemoPublisher::infoFile(const DemoChannel& c, qint64 period) const {
    const qint64 t0 = periodStart(period);
    const int status = Demo::StatusAt(c, options_.StatusCycleSeconds, t0);
    const QString base = baseUrl();
    const QStringList lines = {
        QStringLiteral("ProtocolSignature=") + Demo::ProtocolSignature,
        QStringLiteral("ChannelID=") + c.ChannelID,
        QStringLiteral("ChannelName=") + c.ChannelName,
        QStringLiteral("ChannelNumber=") + c.ChannelNumber,
        QStringLiteral("URL=") + base + Demo::PicturePath(c),
        QStringLiteral("ThumbnailURL=") + base + Demo::ThumbnailPath(c),
        QStringLiteral("ReloadTime=%1").arg(options_.ReloadSeconds),
        QStringLiteral("CommentforChannel=") + c.Comment,
        QStringLiteral("StatusFlag=%1").arg(status),
        QStringLiteral("BroadCastStartTime=") +
            Demo::StampText(Demo::BroadcastStartAt(c, options_.StatusCycleSeconds, t0)),
        QStringLiteral("Last-Modified=") + Demo::StampText(t0),
    };
    return Cp932::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

QByteArray DemoPublisher::renderJpeg(const DemoChannel& c, PictureKind kind, qint64 period) {
    const QSize size = kind == Full ? options_.PictureSize : options_.ThumbnailSize;
    if (options_.PrerenderFrames > 0) {
        const auto& frames = frames_[size_t(c.Index) * 2 + kind];
        const qint64 n = qint64(frames.size());
        return frames[size_t(((period % n) + n) % n)];
    }
    DemoFrames::Face face;
    face.Time = periodStart(period);
    face.Status = Demo::StatusAt(c, options_.StatusCycleSeconds, face.Time);
    ++renders_;
    return DemoFrames::EncodeJpeg(DemoFrames::Draw(c, size, face), options_.JpegQuality);
}

std::pair<QByteArray, QString> DemoPublisher::picture(const DemoChannel& c, PictureKind kind, qint64 period) {
    Slot& slot = *slots_[size_t(c.Index) * 2 + kind];
    // Held while drawing, so requests of one channel in one period that
    // arrive together draw once.
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (slot.period != period) {
        const qint64 t0 = periodStart(period);
        const int status = Demo::StatusAt(c, options_.StatusCycleSeconds, t0);
        QByteArray bytes =
            DemoFrames::WithApp5(renderJpeg(c, kind, period),
                                 DemoFrames::Record(status, options_.ReloadSeconds, Demo::StampText(t0), c.Comment));
        if (c.Fault == DemoFault::BrokenJpeg) bytes = DemoFrames::Break(bytes, period);
        slot.bytes = bytes;
        slot.lastModified = Demo::HttpDate(t0);
        slot.period = period;
    }
    return {slot.bytes, slot.lastModified};
}

void DemoPublisher::prerender() {
    const int count = options_.PrerenderFrames;
    frames_.assign(slots_.size(), {});
    // Jobs are (channel, kind); the workers take the next one in turn.
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t job; (job = next++) < frames_.size();) {
            const DemoChannel& c = channels_[int(job / 2)];
            if (c.Fault == DemoFault::NotFound) continue;  // never served
            const QSize size = job % 2 == 0 ? options_.PictureSize : options_.ThumbnailSize;
            auto& frames = frames_[job];
            frames.reserve(size_t(count));
            for (int i = 0; i < count; ++i) {
                DemoFrames::Face face;
                face.Index = i;
                face.Count = count;
                frames.push_back(DemoFrames::EncodeJpeg(DemoFrames::Draw(c, size, face), options_.JpegQuality));
                ++renders_;
            }
        }
    };
    const unsigned workers = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < workers; ++i) threads.emplace_back(work);
    work();
    for (auto& t : threads) t.join();
}

bool DemoPublisher::start(QString* error) {
    if (server_) return true;
    server_ = std::make_unique<httplib::Server>();
    const size_t threads = size_t(options_.threadCount());
    server_->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // Keep connections for as many requests as clients like: a viewer polls
    // the same channel over one connection for the whole run.
    server_->set_keep_alive_max_count(options_.KeepAliveSeconds > 0 ? 1000000 : 1);
    server_->set_keep_alive_timeout(std::max(1, options_.KeepAliveSeconds));
    server_->set_tcp_nodelay(true);
    // httplib listens with a backlog of 5; hundreds of viewers' channels
    // connecting at once would see dropped SYNs and one-second stalls. The
    // socket is caught here and listened on again with a full backlog.
    server_->set_socket_options([this](socket_t sock) {
        httplib::default_socket_options(sock);
        listenSocket_ = sock;
    });

    server_->Get(Demo::ListPath.toStdString(), [this](const httplib::Request&, httplib::Response& res) {
        ++requests_;
        res.set_content(Cp932::encode(Demo::ChannelListText(channels_, baseUrl())).toStdString(), kText);
    });
    server_->Get(R"(/ch/([^/]+)/(info\.txt|picture\.jpg|thumbnail\.jpg))",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     ++requests_;
                     if (!options_.RequestLog.isEmpty()) logArrival(req.path);
                     const qint64 period = periodAt(nowMs());
                     const auto it = byId_.constFind(QString::fromStdString(req.matches[1].str()));
                     if (it == byId_.constEnd()) return notFound(res);
                     const DemoChannel& c = channels_[*it];
                     if (c.Fault == DemoFault::NotFound) return notFound(res);
                     if (c.Fault == DemoFault::Slow)
                         std::this_thread::sleep_for(std::chrono::milliseconds(options_.SlowDelayMs));

                     const std::string what = req.matches[2].str();
                     if (what == "info.txt") {
                         res.set_header("Last-Modified", Demo::HttpDate(periodStart(period)).toStdString());
                         res.set_content(infoFile(c, period).toStdString(), kText);
                         return;
                     }
                     const auto [bytes, lastModified] = picture(c, what == "picture.jpg" ? Full : Thumbnail, period);
                     res.set_header("Last-Modified", lastModified.toStdString());
                     res.set_content(bytes.constData(), size_t(bytes.size()), kJpeg);
                 });

    const std::string host = options_.Host.toStdString();
    if (options_.Port == 0) {
        port_ = server_->bind_to_any_port(host);
    } else {
        port_ = server_->bind_to_port(host, options_.Port) ? options_.Port : -1;
    }
    if (port_ > 0 && listenSocket_ >= 0) ::listen(listenSocket_, SOMAXCONN);
    if (port_ <= 0) {
        if (error) *error = QStringLiteral("cannot listen on %1:%2").arg(options_.Host).arg(options_.Port);
        server_.reset();
        port_ = 0;
        return false;
    }
    if (options_.PrerenderFrames > 0) prerender();

    thread_ = std::thread([this] { server_->listen_after_bind(); });
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void DemoPublisher::logArrival(const std::string& path) {
    const qint64 ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    std::lock_guard<std::mutex> lock(logMutex_);
    arrivals_.emplace_back(ns, path);
}

void DemoPublisher::writeRequestLog() const {
    if (options_.RequestLog.isEmpty()) return;
    QFile file(options_.RequestLog);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    std::lock_guard<std::mutex> lock(logMutex_);
    QByteArray out;
    for (const auto& [ns, path] : arrivals_)
        out += QByteArray::number(ns) + ' ' + QByteArray::fromStdString(path) + '\n';
    file.write(out);
}

void DemoPublisher::stop() {
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
        writeRequestLog();
    }
    server_.reset();
}
