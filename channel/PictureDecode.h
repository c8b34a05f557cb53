#pragma once

#include <QByteArray>
#include <QImage>

// A channel's picture, decoded from memory; a null image when it does not
// decode. Accepts exactly what QImage's JPEG reader accepts, with the same
// pixels.
QImage DecodePicture(const QByteArray& jpeg);
