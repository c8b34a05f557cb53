#pragma once
// Which encoding an HTTP text body is read in, for the viewer and the
// updater alike.

#include <QByteArray>
#include <QString>

// UTF-8 when the Content-Type declares it, or the body starts with a UTF-8
// BOM or is valid UTF-8 holding multi-byte sequences; EUC-JP or ISO-2022-JP
// when declared; CP932 otherwise. Other declared charsets (ISO-8859-1,
// US-ASCII, windows-1252 ...) are ignored: servers put them on Japanese text
// by default.
QString DecodeBodyText(const QByteArray& body, const QString& contentType);

// The charset parameter of a Content-Type value, lower case; empty when none.
QString DeclaredCharset(const QString& contentType);
