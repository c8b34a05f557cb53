#pragma once
// Test pictures: real JPEG streams made with QImage, with APP5 records.

#include <QByteArray>
#include <QColor>
#include <QString>

namespace JpegFactory {
// A JPEG of the given size filled with colour.
QByteArray make(int width, int height, QColor color = QColor(40, 120, 200));
// Inserts an APP5 segment (FF E5, length, CP932 payload) right after SOI.
QByteArray withApp5(const QByteArray& jpeg, const QString& payload);
// The five-field record: unused, status, reload, stamp, comment.
QByteArray withRecord(const QByteArray& jpeg, int status, int reload, const QString& stamp, const QString& comment);
}  // namespace JpegFactory
