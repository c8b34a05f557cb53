#pragma once
// Drawing and packing the demo pictures: a clock, the channel's name and
// colour, its status, JPEG-encoded with the five-field APP5 record the
// viewer reads right after SOI.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "DemoCatalog.h"

namespace DemoFrames {

// What one frame shows. A live frame shows the clock at Time and the status;
// a pre-rendered frame (Count > 0) shows frame Index of Count instead, since
// it is served long after it was drawn.
struct Face {
    qint64 Time = 0;  // seconds since the epoch
    int Status = 0;
    int Index = 0;
    int Count = 0;
};

QImage Draw(const DemoChannel& channel, QSize size, const Face& face);
QByteArray EncodeJpeg(const QImage& image, int quality);

// Inserts an APP5 segment (FF E5, length, payload) right after SOI.
QByteArray WithApp5(const QByteArray& jpeg, const QByteArray& payload);
// The record, CP932: unused field, status, reload seconds, stamp, comment.
QByteArray Record(int status, int reloadSeconds, const QString& stamp, const QString& comment);

// Two ways a picture goes wrong, chosen by the period: cut short (no FF D9
// at the end, the viewer's check rejects it), or SOI, the record and noise
// up to FF D9 (passes the marker walk but decodes to nothing).
QByteArray Break(const QByteArray& pictureWithRecord, qint64 period);
bool BreakIsTruncation(qint64 period);

}  // namespace DemoFrames
