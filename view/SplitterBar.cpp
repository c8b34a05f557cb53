#include "view/SplitterBar.h"

#include "common/MouseButtonCode.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int kGrabMargin = 3;  // pixels of hit area on each side of the bar
int shiftState(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
}
}  // namespace

SplitterBar::SplitterBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SplitHCursor);
    setObjectName(QStringLiteral("cntForResize"));
}

void SplitterBar::SetBar(const QRect& bar) { setGeometry(bar.adjusted(-kGrabMargin, 0, kGrabMargin, 0)); }

void SplitterBar::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    emit MouseMove(ButtonStateOf(event->buttons()), shiftState(event->modifiers()), p.x() - kGrabMargin, p.y());
}

void SplitterBar::paintEvent(QPaintEvent*) {
    // Only the bar itself: the margins show what lies beneath.
    QPainter painter(this);
    painter.fillRect(rect().adjusted(kGrabMargin, 0, -kGrabMargin, 0), palette().window());
}
