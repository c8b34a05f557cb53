#pragma once

#include <QString>

// The folder that holds the programs, their settings and lists (a portable
// folder). Paths are built as ProgramDirectory() + "/Vantomon.ini" and so on.
QString ProgramDirectory();

namespace ProgramDirectoryTesting {
// Tests point the programs at a temporary folder; an empty text restores the
// real one. The programs themselves never call this.
void Override(const QString& directory);
}  // namespace ProgramDirectoryTesting
