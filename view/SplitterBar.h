#pragma once

#include <QWidget>

// The splitter container cntForResize between tree and picture area. It
// reports pointer moves with the button state; the window decides.
class SplitterBar : public QWidget {
    Q_OBJECT
public:
    explicit SplitterBar(QWidget* parent = nullptr);

signals:
    // button: 1 left, 2 right, 4 middle (summed); x, y relative to the bar.
    void MouseMove(int Button, int Shift, int x, int y);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
