#pragma once
// Whole-file writes that never leave a half-written file behind, and file
// names that cannot leave their directory.

#include <QByteArray>
#include <QString>

#include <functional>

// Replaces the file at path as a whole, so a crash or a full disk leaves the
// previous file intact and a reader never finds part of one. `durable`
// writes a temporary file, syncs it and renames it over path (the user's
// lists and settings); without it the data goes into a hidden spare file
// beside path (".name.spare"), which is swapped with path (the picture cache:
// cheap, and a crash leaves the old file or the new one). A write that fails
// leaves no file of its own behind.
bool WriteFileAtomically(const QString& path, const QByteArray& data, bool durable = true, QString* error = nullptr);

// Writes a file that is made once and never replaced (a saved picture):
// a hidden temporary file beside path, renamed to path when it is whole.
// A failed write removes the temporary file; nothing else is left.
bool WriteNewFile(const QString& path, const QByteArray& data, QString* error = nullptr);

// Maps a text from a server or a list file to one path component that stays
// inside its directory: separators, NUL and control characters become "_",
// "." and ".." become "_" and "__". Ordinary identifiers are unchanged.
QString SafeFileName(const QString& name);

// A name every file system takes as it is, distinct per name: SafeFileName
// with what FAT and SMB refuse (: ? * < > " |, a final dot or space) and
// bytes that did not decode (which would all reach the file system as one
// replacement character) replaced by "_", then "~" and a hash of the name.
QString PortableFileName(const QString& name);

// The name a channel's folder (or cache file, with its suffix) takes inside
// directory: SafeFileName(name) + suffix when every file system takes it and
// no other name shares it, or when an entry of exactly that name exists
// there already (made by an earlier version: a folder keeps its name);
// PortableFileName(name) + suffix otherwise.
QString FileNameIn(const QString& directory, const QString& name, const QString& suffix = QString());

namespace SafeFileTesting {
// For tests only: when the predicate answers true for a path, the write of
// that path fails after half of the data has gone to the temporary file.
void SetWriteFault(std::function<bool(const QString& path)> fault);
}  // namespace SafeFileTesting
