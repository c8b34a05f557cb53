#pragma once
// What the channel and folder tests share: a web site whose answers can be
// changed while a test runs, information files, and a rig of real parts
// (transfer array, channel manager, completion handler, picture elements,
// settings pointing into a temporary program folder).

#include <gtest/gtest.h>

#include "JpegFactory.h"
#include "TempProgramDir.h"
#include "TestHttpServer.h"
#include "channel/ChannelHTTPCompletion.h"
#include "channel/HTTPTransfer.h"
#include "channel/PictureElement.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"

#include <httplib.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include <map>
#include <memory>
#include <mutex>
#include <thread>

// A site on 127.0.0.1 whose answer for each path can be replaced at any time.
// Paths without an answer get 404.
class ChannelSite {
public:
    struct Answer {
        int status = 200;
        std::string contentType = "text/plain";
        QByteArray body;
        std::string lastModified;
        int delayMs = 0;
    };

    explicit ChannelSite(bool keepAlive = false) {
        if (keepAlive) server_.keepAlive();
        server_.handle(".*", [this](const httplib::Request& req, httplib::Response& res) {
            Answer a;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                const auto it = answers_.find(req.path);
                if (it == answers_.end()) {
                    res.status = 404;
                    return;
                }
                a = it->second;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
            res.status = a.status;
            if (!a.lastModified.empty()) res.set_header("Last-Modified", a.lastModified);
            res.set_content(a.body.toStdString(), a.contentType.c_str());
        });
        server_.start();
    }

    void set(const QString& path, const Answer& answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[path.toStdString()] = answer;
    }
    void picture(const QString& path, const QByteArray& jpeg, const std::string& lastModified = {}) {
        set(path, Answer{200, "image/jpeg", jpeg, lastModified, 0});
    }
    void text(const QString& path, const QByteArray& body) { set(path, Answer{200, "text/plain", body, {}, 0}); }

    QString url(const QString& path) const { return server_.url(path); }
    int count(const QString& path) const { return server_.count(path); }
    QStringList requests() const { return server_.requests(); }
    int connections() const { return server_.connections(); }

private:
    TestHttpServer server_;
    std::mutex mutex_;
    std::map<std::string, Answer> answers_;
};

// An information file as a publisher writes it (CP932, CR LF); its comment
// holds a character Shift_JIS lacks.
struct InfoFile {
    QString fileChannelID = QStringLiteral("ch01");
    QString url;
    QString thumbnailURL;
    int reloadTime = 5;
    int statusFlag = 0;
    bool withThumbnailURL = true;

    QByteArray bytes() const {
        return Cp932::encode(
            QStringLiteral("ProtocolSignature=VTR1\r\nChannelID=%1\r\nChannelName=番組\r\nChannelNumber=12\r\n"
                           "URL=%2\r\n%3ReloadTime=%4\r\nCommentforChannel=テスト放送①\r\nStatusFlag=%5\r\n"
                           "BroadCastStartTime=2002/10/05 12:00:00\r\nLast-Modified=2002/10/05 12:34:56\r\n")
                .arg(fileChannelID, url,
                     withThumbnailURL ? QStringLiteral("ThumbnailURL=%1\r\n").arg(thumbnailURL) : QString())
                .arg(reloadTime)
                .arg(statusFlag));
    }
};

// The manager's six events in the order they were raised, as "event:id"
// ("control:id:flag:belongs" with the belongs joined by commas), and the
// information texts they carried.
class ManagerLog {
public:
    explicit ManagerLog(clsChannelManeger& m) {
        using M = clsChannelManeger;
        QObject::connect(&m, &M::ChannelInfomationRefresh, &guard_, [this](const QString& id, const QStringList& i) {
            events << "info:" + id;
            infos << i;
        });
        QObject::connect(&m, &M::ChannelControlRefresh, &guard_,
                         [this](const QString& id, int f, const QStringList& b) {
                             events << QStringLiteral("control:%1:%2:%3").arg(id).arg(f).arg(b.join(','));
                         });
        const std::pair<void (M::*)(const QString&), const char*> plain[] = {
            {&M::ShowBoxRefresh, "showbox:"},
            {&M::AddChannelToFavarite, "addfav:"},
            {&M::RemoveChannelFromFavarite, "removefav:"},
            {&M::ChannelStatusRefresh, "status:"}};
        for (const auto& [signal, tag] : plain)
            QObject::connect(&m, signal, &guard_,
                             [this, tag = QString(tag)](const QString& id) { events << tag + id; });
    }
    // Every information text raised, one a line.
    QString texts() const {
        QString t;
        for (const QStringList& i : infos) t += i.value(1) + QLatin1Char('\n');
        return t;
    }

    QStringList events;
    QList<QStringList> infos;

private:
    QObject guard_;
};

class ChannelRig {
public:
    ChannelRig() {
        settings.ChachDirctory = dir.path() + QStringLiteral("/chach/");
        settings.PictureSaveDirctory = dir.path() + QStringLiteral("/save/");
        settings.DefaultWaitCount = 6;
        settings.Timeout = 5;
        QDir().mkpath(settings.ChachDirctory);
        manager = std::make_unique<clsChannelManeger>(settings, http);
        completion = std::make_unique<ChannelHTTPCompletion>(http, *manager);
        QObject::connect(&http, &HTTPTransferArray::StateChanged, completion.get(),
                         &ChannelHTTPCompletion::netChannelHTTP_StateChanged);
    }

    // Creates a channel as the list loader does; its show box is a new element.
    clsChannel* add(const QString& id, const QString& infoURL, bool savePicture = false) {
        const QStringList record{"Channel", "VTR1", id, "名前", infoURL, savePicture ? "True" : "False"};
        return manager->ChannelInitialize(boxes.Load(), record) ? manager->Channel(id) : nullptr;
    }

    // Publishes a channel on the site: /<id>/info.txt, /<id>/full.jpg and
    // /<id>/thumb.jpg, and returns the information file it serves.
    InfoFile publish(ChannelSite& site, const QString& id, int status, int reload,
                     const QByteArray& picture = JpegFactory::make(64, 48)) {
        InfoFile info;
        info.fileChannelID = id;
        info.url = site.url(QStringLiteral("/%1/full.jpg").arg(id));
        info.thumbnailURL = site.url(QStringLiteral("/%1/thumb.jpg").arg(id));
        info.statusFlag = status;
        info.reloadTime = reload;
        site.text(QStringLiteral("/%1/info.txt").arg(id), info.bytes());
        site.picture(QStringLiteral("/%1/full.jpg").arg(id), picture);
        site.picture(QStringLiteral("/%1/thumb.jpg").arg(id), picture);
        return info;
    }
    // publish, then add with the published information file.
    clsChannel* addPublished(ChannelSite& site, const QString& id, int status, int reload,
                             const QByteArray& picture = JpegFactory::make(64, 48), bool savePicture = false) {
        publish(site, id, status, reload, picture);
        return add(id, site.url(QStringLiteral("/%1/info.txt").arg(id)), savePicture);
    }

    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) manager->CauseOneSecEvent();
    }

    // Network completions until the channel waits with nothing in
    // flight.
    static bool settle(const clsChannel* channel, int ms = 8000) {
        return QTest::qWaitFor(
            [channel] { return channel->State() == ChannelState::Waiting && !channel->HTTP()->StillExecuting(); }, ms);
    }
    static bool idle(const clsChannel* channel, int ms = 8000) {
        return QTest::qWaitFor([channel] { return !channel->HTTP()->StillExecuting(); }, ms);
    }

    // A channel that knows its status from its information file and is no
    // longer viewed (state 1).
    clsChannel* channelWithStatus(ChannelSite& site, const QString& id, int status) {
        clsChannel* channel = addPublished(site, id, status, 1000);
        if (!channel) return nullptr;
        channel->ViewControl(clsChannel::NormalViewOpen, QString());
        if (!settle(channel)) return nullptr;
        channel->ViewControl(clsChannel::NormalViewClose, QString());
        return channel;
    }

    QString cacheFile(const QString& name) const { return settings.ChachDirctory + name; }
    QByteArray cached(const QString& name) const { return dir.read("chach/" + name); }

    TempProgramDir dir;
    ProgramSettings settings;
    CurlMulti curl;
    HTTPTransferArray http{curl};
    std::unique_ptr<clsChannelManeger> manager;
    std::unique_ptr<ChannelHTTPCompletion> completion;
    PictureElementArray boxes;
};
