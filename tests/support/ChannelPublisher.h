#pragma once
// Channels published on a real HTTP server on 127.0.0.1 for tests: an
// information file (CP932 text) and a full and a thumbnail JPEG per channel,
// each picture carrying the five-field record. Values can change while the
// server runs; every request is logged.

#include "TestHttpServer.h"

#include <QColor>
#include <QMap>
#include <QSet>
#include <QSize>
#include <QString>

#include <mutex>

class ChannelPublisher {
public:
    struct Channel {
        QString id, name, number;
        int status = 0, reload = 5;  // status 0 放送中, 1 休止中, 2 中止中
        QColor color{40, 120, 200};
        QSize full{80, 60}, thumb{40, 30};
        QString stamp;            // the picture's stamp; empty: a new one per request
        bool noPictures = false;  // both pictures answer 404
    };

    ChannelPublisher();
    void add(const Channel& channel);
    void setStatus(const QString& id, int status);
    // A missing channel answers 404 to every request until it is back.
    void setMissing(const QString& id, bool missing);

    QString infoUrl(const QString& id) const { return server_.url("/" + id + "/info.txt"); }
    // A Channel record (depth tabs + fields) for a list file.
    QString record(const QString& id, int depth, bool save = false) const;

    int count(const QString& path) const { return server_.count(path); }
    QStringList requests() const { return server_.requests(); }  // paths in arrival order

private:
    QByteArray info(const Channel& c) const;
    QByteArray picture(const Channel& c, bool full);

    TestHttpServer server_;
    mutable std::mutex mutex_;
    QMap<QString, Channel> channels_;
    QSet<QString> missing_;
    int serial_ = 0;
};
