#pragma once

#include <QByteArray>
#include <QImage>

// A channel's picture, decoded from memory; a null image when it does not
// decode. Accepts exactly what QImage's JPEG reader accepts, with the same
// pixels.
// warning (optional) gets what the decoder had to repair ("Corrupt JPEG
// data: ..."), or stays empty; the decoder itself writes nothing to stderr.
QImage DecodePicture(const QByteArray& jpeg, QString* warning = nullptr);
