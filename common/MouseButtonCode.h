#pragma once
// Mouse buttons as the press handlers of both programs record them.

#include <Qt>

enum class MouseButtonCode { None = 0, Left = 1, Right = 2, Middle = 4 };

// The button of a press; buttons without a code (back, forward) give None.
inline MouseButtonCode ButtonCodeOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return MouseButtonCode::Left;
        case Qt::RightButton:
            return MouseButtonCode::Right;
        case Qt::MiddleButton:
            return MouseButtonCode::Middle;
        default:
            return MouseButtonCode::None;
    }
}

// The buttons held during a move: the codes of the held buttons, summed.
inline int ButtonStateOf(Qt::MouseButtons buttons) {
    int state = 0;
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
        if (buttons & b) state += int(ButtonCodeOf(b));
    return state;
}
