#include "view/FullScreenMode.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

FullScreenMode::FullScreenMode(QWidget* window) : QObject(window), mWindow(window) {
    mPointerTimer.setSingleShot(true);
    mPointerTimer.setInterval(kPointerIdleMs);
    connect(&mPointerTimer, &QTimer::timeout, this, &FullScreenMode::HidePointer);
}

QRect FullScreenMode::NormalGeometry() const {
    if (mActive) return mGeometryBefore;
    return mWindow->isMaximized() ? mWindow->normalGeometry() : mWindow->geometry();
}

void FullScreenMode::Enter() {
    if (mActive) return;
    mActive = true;
    mStateBefore = mWindow->windowState() & ~(Qt::WindowFullScreen | Qt::WindowMinimized);
    mGeometryBefore = mWindow->isMaximized() ? mWindow->normalGeometry() : mWindow->geometry();
    if (ShowChrome) ShowChrome(false);
    mWindow->setWindowState((mWindow->windowState() & ~Qt::WindowMinimized) | Qt::WindowFullScreen);
    mWindow->show();
    // Every movement reaches the window's platform window, whichever child
    // is under the pointer and whether or not it tracks the mouse.
    if (QWindow* handle = mWindow->windowHandle()) handle->installEventFilter(this);
    mPointerTimer.start();
    emit Changed(true);
}

void FullScreenMode::Leave() {
    if (!mActive) return;
    mActive = false;
    if (QWindow* handle = mWindow->windowHandle()) handle->removeEventFilter(this);
    mPointerTimer.stop();
    showPointer();
    if (ShowChrome) ShowChrome(true);
    mWindow->setWindowState(mStateBefore);
    if (!(mStateBefore & Qt::WindowMaximized)) mWindow->setGeometry(mGeometryBefore);
    emit Changed(false);
}

void FullScreenMode::HidePointer() {
    if (!mActive || mPointerHidden) return;
    mPointerHidden = true;
    mWindow->setCursor(Qt::BlankCursor);
}

void FullScreenMode::showPointer() {
    if (!mPointerHidden) return;
    mPointerHidden = false;
    mWindow->unsetCursor();
}

bool FullScreenMode::eventFilter(QObject* watched, QEvent* event) {
    if (mActive && event->type() == QEvent::MouseMove) {
        showPointer();
        mPointerTimer.start();
    }
    return QObject::eventFilter(watched, event);
}
