#pragma once
// One viewer per program folder. The viewer holds an exclusive lock on a
// file named after its program folder, in a folder private to the user, for
// as long as its window exists; a second viewer of the same folder cannot
// take it, and the updater asks the kernel whether anyone holds it, without
// taking it. Viewers of other folders use other files. Locks are open-file
// description locks: the kernel drops them when the holder exits or
// crashes, so a dead viewer leaves no stale lock.

#include <QString>

class ViewerLock {
public:
    enum class Result {
        Acquired,
        HeldElsewhere,  // another viewer of this program folder runs
        Unavailable,    // the lock folder or file cannot be used
    };

    explicit ViewerLock(const QString& programDirectory);
    ~ViewerLock();
    ViewerLock(const ViewerLock&) = delete;
    ViewerLock& operator=(const ViewerLock&) = delete;

    // Viewer side; never waits.
    Result Acquire();
    void Release();
    bool IsAcquired() const { return fd_ >= 0; }

    // Updater side: whether some open lock (this process's included) is held
    // on programDirectory.
    static bool IsHeld(const QString& programDirectory);

    // $XDG_RUNTIME_DIR/vantora, or /tmp/vantora-<uid> when that is not set.
    static QString DefaultFolder();
    // The lock file of programDirectory in DefaultFolder(). Two paths to the
    // same folder (a symbolic link, a trailing "/") name the same file.
    static QString FileFor(const QString& programDirectory);

private:
    QString file_;
    int fd_ = -1;
};
