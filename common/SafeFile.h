#pragma once
// Whole-file writes that never leave a half-written file behind, and file
// names that cannot leave their directory.

#include <QByteArray>
#include <QString>

#include <functional>

// Writes data to a temporary file beside path and renames it over path, so a
// crash or a full disk leaves the previous file intact. `durable` also syncs
// the data to disk before the rename (for the user's lists and settings);
// without it the old file is removed just before the rename, so a crash at
// that instant leaves no file, never part of one (for the picture cache).
bool WriteFileAtomically(const QString& path, const QByteArray& data, bool durable = true,
                         QString* error = nullptr);

// Maps a text from a server or a list file to one path component that stays
// inside its directory: separators, NUL and control characters become "_",
// "." and ".." become "_" and "__". Ordinary identifiers are unchanged.
QString SafeFileName(const QString& name);

namespace SafeFileTesting {
// For tests only: when the predicate answers true for a path, the write of
// that path fails after half of the data has gone to the temporary file.
void SetWriteFault(std::function<bool(const QString& path)> fault);
}  // namespace SafeFileTesting
