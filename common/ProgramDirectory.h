#pragma once

#include <QString>

// The folder that holds the program files (Vantomon, Listmender).
QString ProgramFileDirectory();

// A file of this name beside the programs marks the folder of an installed
// package (the Debian package's build puts it there).
inline QString InstalledPackageMarker() { return QStringLiteral(".vantora-package"); }

// The folder where both programs keep their settings and lists: the program
// file folder when it is a portable folder the user may write, otherwise
// $XDG_DATA_HOME/vantora (by default ~/.local/share/vantora), created on
// first use. An installed package's folder is never used, whoever may write
// it (root may write /usr/lib/vantora). Decided once per run; each program's
// entry looks it up and hands it to its window, which builds its paths from
// it ("/Vantomon.ini" ...).
QString ProgramDirectory();

// The rule above for a given program file folder and environment: this is
// the one place it is decided. Without HOME the home folder is the one the
// user database names.
QString DataDirectoryFor(const QString& programFileDirectory);

// Empty when folder is a folder the programs can keep their files in; else
// why not, in Japanese, for the user.
QString DataDirectoryProblem(const QString& folder);

// What an errno value means, in Japanese, for texts a user reads.
QString JapaneseErrorText(int error);
