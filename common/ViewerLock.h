#pragma once
// One viewer per data folder. The viewer holds an exclusive lock on a hidden
// file in the data folder itself for as long as its window exists, so every
// viewer of that folder meets it, whatever its environment; a second viewer
// cannot take it, and the updater asks the kernel whether anyone holds it,
// without taking it. Locks are open-file description locks: the kernel drops
// them when the holder exits or crashes, so a dead viewer leaves no stale
// lock, and a viewer that ends removes the file.

#include <QString>

class ViewerLock {
public:
    enum class Result {
        Acquired,
        HeldElsewhere,  // another viewer of this folder runs
        Unavailable,    // the lock file cannot be used (why: Error())
    };

    explicit ViewerLock(const QString& dataDirectory);
    ~ViewerLock();
    ViewerLock(const ViewerLock&) = delete;
    ViewerLock& operator=(const ViewerLock&) = delete;

    // Viewer side; never waits.
    Result Acquire();
    // Drops the lock and removes its file.
    void Release();
    bool IsAcquired() const { return fd_ >= 0; }
    // Why the last Acquire found the lock unavailable, in Japanese.
    QString Error() const { return error_; }
    QString File() const { return file_; }

    // Updater side: whether some open lock (this process's included) is held
    // on the folder.
    static bool IsHeld(const QString& dataDirectory);

    // The lock file of a data folder: ".Vantomon.lock" in it.
    static QString FileFor(const QString& dataDirectory);

private:
    QString file_;
    QString error_;
    int fd_ = -1;
};
