#pragma once
// Reading and writing whole text files in the encoding they came in, without
// losing a byte: what the encoding cannot read is carried through the text
// and written back as it was.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TextEncoding { Cp932, Utf8, Utf8Bom };

struct TextFileInfo {
    bool exists = false;    // something of that name exists
    bool readable = false;  // ... and is a file that could be read completely
    TextEncoding encoding = TextEncoding::Cp932;
};

// A UTF-8 BOM reads as UTF-8, and so does text whose well-formed UTF-8
// multi-byte sequences outnumber its stray bytes at least two to one (a
// UTF-8 list with a Latin-1 byte typed into it is still UTF-8); everything
// else is CP932.
TextEncoding DetectTextEncoding(const QByteArray& bytes);

// Files only: a byte the encoding cannot read, or reads as a character it
// would write differently (the duplicate codes of CP932), becomes the lone
// surrogate U+DC00 + byte, which EncodeText writes back as that byte, so
// decode and encode give back the bytes exactly. HTTP bodies are decoded
// with Cp932::decodeCharset instead.
QString DecodeText(const QByteArray& bytes, TextEncoding encoding);
QByteArray EncodeText(const QString& text, TextEncoding encoding);
// The lines, each ended by CR LF, as EncodeText writes their joined text,
// without joining them first.
QByteArray EncodeLines(const QStringList& lines, TextEncoding encoding);

// Reads and decodes a whole file; info says whether it existed and was read.
QString ReadTextFile(const QString& path, TextFileInfo* info = nullptr);

// Splits text into lines ending at CR LF, a lone CR or a lone LF. A final line
// end does not start another line.
QStringList SplitTextLines(const QString& text);
