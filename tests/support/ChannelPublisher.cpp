#include "ChannelPublisher.h"

#include "JpegFactory.h"
#include "common/Cp932.h"

#include <httplib.h>

ChannelPublisher::ChannelPublisher() {
    server_.handle(R"(/([^/]+)/(info\.txt|full\.jpg|thumb\.jpg))",
                   [this](const httplib::Request& req, httplib::Response& res) {
                       const QString id = QString::fromStdString(req.matches[1]);
                       const std::string file = req.matches[2];
                       std::lock_guard<std::mutex> lock(mutex_);
                       if (!channels_.contains(id) || missing_.contains(id)) {
                           res.status = 404;
                           return;
                       }
                       const Channel& c = channels_[id];
                       if (file == "info.txt") {
                           res.set_content(info(c).toStdString(), "text/plain");
                       } else if (c.noPictures) {
                           res.status = 404;
                       } else {
                           res.set_header("Last-Modified", "Sat, 05 Oct 2002 12:34:56 GMT");
                           res.set_content(picture(c, file == "full.jpg").toStdString(), "image/jpeg");
                       }
                   });
    server_.start();
}

void ChannelPublisher::add(const Channel& channel) {
    std::lock_guard<std::mutex> lock(mutex_);
    channels_[channel.id] = channel;
}

void ChannelPublisher::setStatus(const QString& id, int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    channels_[id].status = status;
}

void ChannelPublisher::setMissing(const QString& id, bool missing) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (missing)
        missing_.insert(id);
    else
        missing_.remove(id);
}

QString ChannelPublisher::record(const QString& id, int depth, bool save) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const Channel& c = channels_[id];
    return QString(depth, QChar(u'\t')) + QStringLiteral("Channel\t\tVNT1\t\t%1\t\t%2\t\t%3\t\t%4")
                                              .arg(c.id, c.name, infoUrl(c.id), save ? "True" : "False");
}

QByteArray ChannelPublisher::info(const Channel& c) const {
    return Cp932::encode(
        QStringLiteral("ProtocolSignature=VNT1\r\nChannelID=%1\r\nChannelName=%2\r\nChannelNumber=%3\r\n"
                       "URL=%4full.jpg\r\nThumbnailURL=%4thumb.jpg\r\nReloadTime=%5\r\n"
                       "CommentforChannel=テスト\r\nStatusFlag=%6\r\n"
                       "BroadCastStartTime=2026/12/01 00:00:00\r\nLast-Modified=2026/12/06 12:00:00\r\n")
            .arg(c.id, c.name, c.number, server_.url("/" + c.id + "/"))
            .arg(c.reload)
            .arg(c.status));
}

QByteArray ChannelPublisher::picture(const Channel& c, bool full) {
    const QSize size = full ? c.full : c.thumb;
    const QString stamp =
        c.stamp.isEmpty() ? QStringLiteral("2026/12/06 12:00:%1").arg(++serial_ % 60, 2, 10, QChar('0')) : c.stamp;
    return JpegFactory::withRecord(JpegFactory::make(size.width(), size.height(), c.color), c.status, c.reload, stamp,
                                   QStringLiteral("コメント"));
}
