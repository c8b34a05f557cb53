#pragma once
// A folder in a window of its own: its grid in a separate top-level window
// titled "Vantora - " + the folder's name (never "Vantora" alone, which
// names the main window), that can be moved to another screen, put full
// screen (F11, Esc) and toured (F5, Space, ← →, Esc) on its own. The same
// commands are in its context menu. Its members' viewing is switched by
// whoever opens and closes it (the main window's WatchViews).

#include <QString>
#include <QWidget>

#include "view/FolderWall.h"

class FullScreenMode;
class QAction;

class FolderWindow : public QWidget {
    Q_OBJECT
public:
    FolderWindow(const WallContext& context, const QString& MultiMonitorID, const QString& FolderName);
    ~FolderWindow() override;

    QString MultiMonitorID() const { return mWall->MultiMonitorID(); }
    void SetFolderName(const QString& FolderName);
    FolderWallWidget* Wall() const { return mWall; }
    FullScreenMode* FullScreen() const { return mFullScreen; }
    FolderTour* Tour() const { return mTour; }
    bool Touring() const { return mTour && mTour->Running(); }

    void ToggleTour();
    void Escape();  // ends the tour first, then full screen
    void Tick();

    // Closed from code (the program ending): no ClosedByUser.
    void CloseQuietly();

signals:
    void ClosedByUser(const QString& MultiMonitorID);
    void ModeChanged();  // full screen or tour began or ended
    void MemberDoubleClicked(const QString& ChannelID);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void addCommand(QAction* action, const QKeySequence& key, const std::function<void()>& run);

    WallContext mContext;
    FolderWallWidget* mWall;
    FullScreenMode* mFullScreen;
    FolderTour* mTour = nullptr;
    QAction* mTourAction = nullptr;
    QAction* mFullScreenAction = nullptr;
    bool mQuiet = false;
};
