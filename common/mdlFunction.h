#pragma once
// The small library of free functions both programs share: text splitting,
// counting, reading text files and the INI settings file.

#include <QString>
#include <QStringList>
#include <QVariant>

#include "common/TextFile.h"

namespace mdlFunction {

// Pieces from index 0. With IsSkipEmpty runs of Delimiter count as one (a
// Delimiter at the very start or end still gives an empty piece); IsTrim
// removes spaces (U+0020 only) at both ends of each piece.
QStringList SplitString(const QString& Text, const QString& Delimiter, bool IsTrim, bool IsSkipEmpty);
QStringList SplitString(const QString& Text, QChar Delimiter, bool IsTrim, bool IsSkipEmpty);

// Whether a folder setting names a folder on this system: an absolute path
// with "/" separators. A path carried over from Windows (a drive letter,
// backslashes) or a relative one would name a folder inside whatever
// folder the program was started from.
bool IsLocalFolderPath(const QString& path);

// Removes spaces (U+0020 only) at both ends, as the classic Trim does.
QString TrimSpaces(const QString& Text);

// Consecutive copies of Pattern at the start of Text.
int CountLeading(const QString& Text, QChar Pattern);

// Element 0 stays empty; the lines follow from 1. Lines end at CR LF, a lone
// CR or a lone LF. A missing file gives element 0 only. info (optional) tells
// whether the file existed, was readable and which encoding it had.
QStringList ReadLines(const QString& FileName, bool IsSkipEmpty, TextFileInfo* info = nullptr);
// The same for text already in memory.
QStringList LinesFromText(const QString& text, bool IsSkipEmpty);

enum IniValueType { IniInteger = 1, IniDouble = 2, IniText = 3, IniBoolean = 4 };

// Reads Key of Section from the INI file at iniPath (the program folder's
// "Vantomon.ini"). A missing or empty value, or one that does not convert,
// gives Default converted the same way (or the type's zero when Default is
// empty).
QVariant GetIniFrom(const QString& iniPath, const QString& Section, const QString& Key, int ValueType,
                    const QVariant& Default = QVariant());

// Writes the text form of Value; Booleans as "True"/"False". Returns whether
// the file was written (callers of the classic function ignore it).
bool SetIniTo(const QString& iniPath, const QString& Section, const QString& Key, const QVariant& Value);

// The text a value is stored as.
QString IniValueText(const QVariant& Value);

}  // namespace mdlFunction
