#pragma once

// Raises the process's soft limit of open files to its hard limit (as far
// as the kernel allows one process) and returns the soft limit then in
// force. Called first thing by both programs: the connection budget is
// computed from it.
long RaiseOpenFileLimit();
