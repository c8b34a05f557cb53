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
// cheap, and a crash leaves the old file or the new one).
bool WriteFileAtomically(const QString& path, const QByteArray& data, bool durable = true, QString* error = nullptr);

// Maps a text from a server or a list file to one path component that stays
// inside its directory: separators, NUL and control characters become "_",
// "." and ".." become "_" and "__". Ordinary identifiers are unchanged.
QString SafeFileName(const QString& name);

namespace SafeFileTesting {
// For tests only: when the predicate answers true for a path, the write of
// that path fails after half of the data has gone to the temporary file.
void SetWriteFault(std::function<bool(const QString& path)> fault);
}  // namespace SafeFileTesting
