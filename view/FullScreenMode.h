#pragma once
// Full screen for one top-level window (the main window or a folder
// window): the window fills the screen it is on, what its owner calls its
// chrome hides, and leaving gives back the window as it was, its state and
// its normal geometry. The window's title does not change. While full
// screen, the pointer hides after three seconds without movement over the
// window and comes back with the next movement.

#include <QObject>
#include <QRect>
#include <QTimer>

#include <functional>

class QWidget;

class FullScreenMode : public QObject {
    Q_OBJECT
public:
    explicit FullScreenMode(QWidget* window);

    // Called with false before the window goes full screen and with true
    // before it comes back.
    std::function<void(bool shown)> ShowChrome;

    bool Active() const { return mActive; }
    void Enter();
    void Leave();
    void Toggle() { mActive ? Leave() : Enter(); }

    // The normal geometry the window comes back to (its own while not full
    // screen): what is saved for a folder window at exit.
    QRect NormalGeometry() const;

    void HidePointer();
    bool PointerHidden() const { return mPointerHidden; }
    const QTimer& PointerTimer() const { return mPointerTimer; }
    static constexpr int kPointerIdleMs = 3000;

signals:
    void Changed(bool active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPointer();

    QWidget* mWindow;
    bool mActive = false;
    Qt::WindowStates mStateBefore;
    QRect mGeometryBefore;
    QTimer mPointerTimer;
    bool mPointerHidden = false;
};
