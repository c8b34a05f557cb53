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

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

// A site on 127.0.0.1 whose answer for each path can be replaced at any time
// (404 without one).
class ChannelSite {
public:
    struct Answer {
        QByteArray body;
        std::string contentType, lastModified;
        int delayMs = 0;
    };

    ChannelSite() {
        server_.handle(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock<std::mutex> lock(mutex_);
            const auto it = answers_.find(req.path);
            if (it == answers_.end()) return void(res.status = 404);
            const Answer a = it->second;
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
            if (!a.lastModified.empty()) res.set_header("Last-Modified", a.lastModified);
            res.set_content(a.body.toStdString(), a.contentType);
        });
        server_.start();
    }

    void set(const QString& path, const Answer& answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[path.toStdString()] = answer;
    }
    void picture(const QString& path, const QByteArray& jpeg, const std::string& lastModified = {}) {
        set(path, {jpeg, "image/jpeg", lastModified});
    }
    QString url(const QString& path) const { return server_.url(path); }
    QStringList requests() const { return server_.requests(); }

private:
    TestHttpServer server_;
    std::mutex mutex_;
    std::map<std::string, Answer> answers_;
};

// An information file as a publisher writes it (CP932, CR LF); its comment
// holds a character Shift_JIS lacks.
struct InfoFile {
    QString fileChannelID = QStringLiteral("ch01"), url, thumbnailURL;
    int reloadTime = 5, statusFlag = 0;

    QByteArray bytes() const {
        return Cp932::encode(
            QStringLiteral(
                "ProtocolSignature=VTR1\r\nChannelID=%1\r\nChannelName=番組\r\nChannelNumber=12\r\n"
                "URL=%2\r\nThumbnailURL=%3\r\nReloadTime=%4\r\nCommentforChannel=テスト放送①\r\nStatusFlag=%5\r\n"
                "BroadCastStartTime=2002/10/05 12:00:00\r\nLast-Modified=2002/10/05 12:34:56\r\n")
                .arg(fileChannelID, url, thumbnailURL)
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

    // Publishes /<id>/info.txt (changed by edit, and held back delayMs),
    // /<id>/full.jpg and /<id>/thumb.jpg on the site.
    void publish(ChannelSite& site, const QString& id, int status, int reload,
                 const QByteArray& picture = JpegFactory::make(64, 48), const std::function<void(InfoFile&)>& edit = {},
                 int delayMs = 0) {
        InfoFile info{id, site.url("/" + id + "/full.jpg"), site.url("/" + id + "/thumb.jpg"), reload, status};
        if (edit) edit(info);
        site.set("/" + id + "/info.txt", {info.bytes(), "text/plain", {}, delayMs});
        site.picture("/" + id + "/full.jpg", picture);
        site.picture("/" + id + "/thumb.jpg", picture);
    }
    clsChannel* addPublished(ChannelSite& site, const QString& id, int status, int reload,
                             const QByteArray& picture = JpegFactory::make(64, 48), bool savePicture = false,
                             const std::function<void(InfoFile&)>& edit = {}, int delayMs = 0) {
        publish(site, id, status, reload, picture, edit, delayMs);
        return add(id, site.url("/" + id + "/info.txt"), savePicture);
    }

    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) manager->CauseOneSecEvent();
    }

    // Network completions until the channel waits with nothing in flight.
    static bool settle(const clsChannel* channel, int ms = 8000) {
        return QTest::qWaitFor(
            [channel] { return channel->State() == ChannelState::Waiting && !channel->HTTP()->StillExecuting(); }, ms);
    }
    static bool idle(const clsChannel* channel, int ms = 8000) {
        return QTest::qWaitFor([channel] { return !channel->HTTP()->StillExecuting(); }, ms);
    }

    // A channel that knows its status from its information file, no longer viewed.
    clsChannel* channelWithStatus(ChannelSite& site, const QString& id, int status) {
        clsChannel* channel = addPublished(site, id, status, 1000);
        if (channel) channel->ViewControl(clsChannel::NormalViewOpen, QString());
        if (!channel || !settle(channel)) return nullptr;
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
