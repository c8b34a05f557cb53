#pragma once
// CP932 (Windows Japanese) text, the code page of every file and HTTP text body.

#include <QByteArray>
#include <QString>

namespace Cp932 {

// Invalid or cut bytes become U+FFFD; decoding always reaches the end.
QString decode(const QByteArray& bytes);
QString decode(const char* data, qsizetype size);

// Characters CP932 cannot hold are written as "?".
QByteArray encode(const QString& text);

// Decodes with a charset named by a server ("utf-8", "euc-jp", ...). An empty
// or unknown name falls back to CP932. Returns false in *known when the name
// was not usable.
QString decodeCharset(const QByteArray& bytes, const QString& charset, bool* known = nullptr);

}  // namespace Cp932
