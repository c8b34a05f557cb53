#pragma once
// The demo channels: identities, names, colours, status phases and faults,
// all derived from the options alone, so the publisher and a folder written
// by a second run with the same options agree.

#include <QColor>
#include <QList>
#include <QString>

#include "DemoOptions.h"

enum class DemoFault { None, NotFound, Slow, BrokenJpeg };

struct DemoChannel {
    int Index = 0;          // position in the catalog, from 0
    QString ChannelID;      // e.g. demo.tokyo.cam01
    QString Group;          // the middle part of the ID, e.g. tokyo
    QString ChannelName;    // Japanese display name
    QString ChannelNumber;  // "1", "2", ...
    QString Comment;        // never holds ",": it is an APP5 field
    QColor Colour;
    int PhaseSeconds = 0;  // where in the status cycle the channel starts
    DemoFault Fault = DemoFault::None;
};

namespace Demo {

inline const QString ProtocolSignature = QStringLiteral("VantoraDemo/1.0");
inline const QString ListPath = QStringLiteral("/list.txt");

QList<DemoChannel> MakeCatalog(const DemoOptions& options);

// Paths under the publisher's base address ("http://127.0.0.1:port").
QString InfoPath(const DemoChannel& channel);
QString PicturePath(const DemoChannel& channel);
QString ThumbnailPath(const DemoChannel& channel);
QString BaseUrl(const QString& host, int port);

// Statuses follow one cycle per channel, shifted by its phase: on air for
// the first 60 %, resting (1) for the next 25 %, stopped (2) for the rest.
int StatusAt(const DemoChannel& channel, int cycleSeconds, qint64 secondsSinceEpoch);
// Start of the latest on-air stretch at or before that time.
qint64 BroadcastStartAt(const DemoChannel& channel, int cycleSeconds, qint64 secondsSinceEpoch);

// The channel list file: "ChannelID,signature,info URL" lines, CR LF.
QString ChannelListText(const QList<DemoChannel>& channels, const QString& baseUrl);

// "yyyy/mm/dd hh:nn:ss" in local time, as stamps and Last-Modified read.
QString StampText(qint64 secondsSinceEpoch);
// RFC 7231 date for the Last-modified HTTP header.
QString HttpDate(qint64 secondsSinceEpoch);

}  // namespace Demo
