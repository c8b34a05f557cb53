#pragma once
// The tree list line format shared by ChannelList.txt, Favorite.txt and
// MultiMonitor.txt (and the updater's ChannelList.txt): depth as leading
// tabs, then the record type and its fields separated by tabs, where runs of
// tabs count as one separator and every piece is trimmed of spaces.

#include <QString>
#include <QStringList>

#include "common/TextFile.h"

struct TreeListLine {
    int Depth = 0;
    QStringList Pieces;  // piece 0 the record type, then the fields
    QString RecordType() const { return Pieces.value(0); }
    QString Field(int i) const { return Pieces.value(i); }
};

TreeListLine ParseTreeListLine(const QString& line);

// depth tabs, the record type, then each field preceded by one tab (Node
// records) or two tabs (every other record type).
QString FormatTreeListLine(int depth, const QString& recordType, const QStringList& fields, bool singleTab);

// Text that enters a list field cannot hold what would break the line
// format: TAB, CR, LF and U+0001 become spaces, and the ends are trimmed.
QString CleanListField(const QString& text);

// One list file as read: its lines (element 0 empty, empty lines skipped),
// whether it existed and could be read, and its encoding, which the writer
// keeps.
struct TreeListFile {
    QStringList Lines{QString()};
    TextFileInfo Info;
};
TreeListFile ReadTreeListFile(const QString& path);

// Joins lines with CR LF (one after the last), encodes them and replaces
// the file crash-safely. False when the file could not be written.
bool WriteTreeListFile(const QString& path, const QStringList& lines, TextEncoding encoding, QString* error = nullptr);
