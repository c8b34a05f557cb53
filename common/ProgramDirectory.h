#pragma once

#include <QString>

// The folder that holds the program files (Vantomon, Listmender).
QString ProgramFileDirectory();

// The folder where both programs keep their settings and lists: the program
// file folder when the user may write it (a portable folder), otherwise
// $XDG_DATA_HOME/vantora (by default ~/.local/share/vantora), created on
// first use. Decided once per run; each program's entry looks it up and
// hands it to its window, which builds its paths from it ("/Vantomon.ini" ...).
QString ProgramDirectory();

// The rule above for a given program file folder and environment: this is
// the one place it is decided.
QString DataDirectoryFor(const QString& programFileDirectory);
