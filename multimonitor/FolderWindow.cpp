#include "multimonitor/FolderWindow.h"

#include "view/FullScreenMode.h"

#include <QAction>
#include <QCloseEvent>
#include <QShortcut>
#include <QVBoxLayout>

FolderWindow::FolderWindow(const WallContext& context, const QString& MultiMonitorID, const QString& FolderName)
    : mContext(context),
      mWall(new FolderWallWidget(context, MultiMonitorID, this)),
      mFullScreen(new FullScreenMode(this)) {
    setObjectName(QStringLiteral("FolderWindow_") + MultiMonitorID);
    setAttribute(Qt::WA_DeleteOnClose);
    SetFolderName(FolderName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mWall);
    resize(640, 480);

    setContextMenuPolicy(Qt::ActionsContextMenu);
    mFullScreenAction = new QAction(QStringLiteral("全画面表示"), this);
    mFullScreenAction->setCheckable(true);
    addCommand(mFullScreenAction, QKeySequence(Qt::Key_F11), [this] { mFullScreen->Toggle(); });
    mTourAction = new QAction(QStringLiteral("巡回表示"), this);
    mTourAction->setCheckable(true);
    addCommand(mTourAction, QKeySequence(Qt::Key_F5), [this] { ToggleTour(); });
    auto* closeAction = new QAction(QStringLiteral("閉じる"), this);
    addCommand(closeAction, QKeySequence(), [this] { close(); });

    auto shortcut = [this](Qt::Key key, const std::function<void()>& run) {
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, run);
    };
    shortcut(Qt::Key_Escape, [this] { Escape(); });
    shortcut(Qt::Key_Space, [this] {
        if (Touring()) mTour->SetPaused(!mTour->Paused());
    });
    shortcut(Qt::Key_Left, [this] {
        if (Touring()) mTour->Step(-1);
    });
    shortcut(Qt::Key_Right, [this] {
        if (Touring()) mTour->Step(1);
    });

    connect(mFullScreen, &FullScreenMode::Changed, this, [this](bool active) {
        mFullScreenAction->setChecked(active);
        emit ModeChanged();
    });
    connect(mWall, &FolderWallWidget::MemberDoubleClicked, this, &FolderWindow::MemberDoubleClicked);
}

FolderWindow::~FolderWindow() = default;

void FolderWindow::addCommand(QAction* action, const QKeySequence& key, const std::function<void()>& run) {
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, run);
    addAction(action);
}

void FolderWindow::SetFolderName(const QString& FolderName) {
    // Never the main window's caption alone: the updater looks for that one.
    setWindowTitle(QStringLiteral("Vantora - ") + FolderName);
}

void FolderWindow::ToggleTour() {
    if (mTour) {
        delete mTour;  // gives normal viewing back
        mTour = nullptr;
        mWall->SetTour(nullptr);
    } else {
        mTour = new FolderTour(mContext.TourContext(), MultiMonitorID(), this);
        connect(mTour, &FolderTour::Changed, mWall, qOverload<>(&QWidget::update));
        mWall->SetTour(mTour);
        mTour->Start();
    }
    mTourAction->setChecked(mTour != nullptr);
    emit ModeChanged();
}

void FolderWindow::Escape() {
    if (mTour) {
        ToggleTour();
    } else if (mFullScreen->Active()) {
        mFullScreen->Leave();
    }
}

void FolderWindow::Tick() {
    if (mTour) mTour->Tick();
}

void FolderWindow::CloseQuietly() {
    mQuiet = true;
    close();
}

void FolderWindow::closeEvent(QCloseEvent* event) {
    if (mTour) {
        delete mTour;
        mTour = nullptr;
        mWall->SetTour(nullptr);
    }
    if (!mQuiet) emit ClosedByUser(MultiMonitorID());
    event->accept();
}
