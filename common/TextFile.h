#pragma once
// Reading and writing whole text files in the encoding they came in.

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class TextEncoding { Cp932, Utf8, Utf8Bom };

struct TextFileInfo {
    bool exists = false;    // a file of that name exists
    bool readable = false;  // ... and could be read completely
    TextEncoding encoding = TextEncoding::Cp932;
};

// A UTF-8 BOM, or valid UTF-8 holding multi-byte sequences, reads as UTF-8;
// everything else as CP932.
TextEncoding DetectTextEncoding(const QByteArray& bytes);
QString DecodeText(const QByteArray& bytes, TextEncoding encoding);
QByteArray EncodeText(const QString& text, TextEncoding encoding);

// Reads and decodes a whole file; info says whether it existed and was read.
QString ReadTextFile(const QString& path, TextFileInfo* info = nullptr);

// Splits text into lines ending at CR LF, a lone CR or a lone LF. A final line
// end does not start another line.
QStringList SplitTextLines(const QString& text);
