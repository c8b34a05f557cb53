#pragma once
// Tells the updater that a viewer's main window exists where the X server
// cannot show it by its title (Wayland, offscreen, another display). The
// viewer holds a shared lock on one per-user file while its main window
// exists (Acquire when the window is shown, Release or destruction when it
// closes); the updater asks the kernel whether anyone holds it, without
// taking it. Locks are open-file description locks: the kernel drops them
// when the holder exits or crashes, so a dead viewer leaves no stale lock.

#include <QString>

class ViewerLock {
public:
    // folder: where the lock file lives; empty means DefaultFolder().
    explicit ViewerLock(const QString& folder = QString());
    ~ViewerLock();
    ViewerLock(const ViewerLock&) = delete;
    ViewerLock& operator=(const ViewerLock&) = delete;

    // Viewer side. Several viewers may hold the lock at once. False when the
    // folder or the file cannot be made, or the lock cannot be taken.
    bool Acquire();
    void Release();
    bool IsAcquired() const { return fd_ >= 0; }

    // Updater side: whether some process (this one included) holds the lock.
    static bool IsHeld(const QString& folder = QString());

    // $XDG_RUNTIME_DIR/vantora, or /tmp/vantora-<uid> when that is not set.
    static QString DefaultFolder();
    static QString FileIn(const QString& folder);

private:
    QString folder_;
    int fd_ = -1;
};

namespace ViewerLockTesting {
// Points DefaultFolder() at a test folder; an empty text restores it.
void OverrideFolder(const QString& folder);
}  // namespace ViewerLockTesting
