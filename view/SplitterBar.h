#pragma once

#include <QWidget>

// The splitter container cntForResize between tree and picture area. It
// reports pointer moves with the button state; the window decides. Its hit
// area reaches a few pixels past the 2-pixel bar on each side and it lies
// above its siblings, so a raised show area can never cover it.
class SplitterBar : public QWidget {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget* parent = nullptr);

    // Places the bar (its visible rectangle, in the parent's coordinates).
    void SetBar(const QRect& bar);

signals:
    // Button: the held buttons (ButtonStateOf); x, y relative to the bar.
    void MouseMove(int Button, int Shift, int x, int y);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
