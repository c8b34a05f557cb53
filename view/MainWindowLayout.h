#pragma once
// The main window's layout rule as a pure function of the client size, the
// splitter's left edge and the previous geometry (a step whose test fails
// keeps the previous values). Coordinates are pixels of the client area;
// labels, toolbar and frame lines are in panel coordinates.

#include <QLine>
#include <QRect>

// Where the tab strip's client area lies inside its outer rectangle.
struct TabStripMetrics {
    int ClientLeft = 4;
    int ClientTop = 26;
    int ClientRight = 4;
    int ClientBottom = 4;
};

struct MainLayoutGeometry {
    // Design values (642 x 401 client area).
    int LinSplitEnd = 500;
    QRect Tree{0, 8, 121, 265};
    QRect Splitter{128, 8, 2, 267};
    QRect Panel{136, 8, 361, 50};
    QRect TabStrip{136, 64, 361, 185};
    QRect ShowArea{144, 88, 345, 153};
    QRect StatusBar{0, 381, 642, 20};
    QRect Label[2] = {{8, 8, 209, 12}, {8, 16, 209, 12}};
    QRect Toolbar{8, 24, 137, 22};
    QLine BoxDepth[4];

    QRect TabClient(const TabStripMetrics& m) const {
        return QRect(TabStrip.x() + m.ClientLeft, TabStrip.y() + m.ClientTop,
                     TabStrip.width() - m.ClientLeft - m.ClientRight, TabStrip.height() - m.ClientTop - m.ClientBottom);
    }
};

// Steps 1 to 7 of the resize rule (step 8, redrawing the picture, is the
// window's). SW and SH are the client width and height.
MainLayoutGeometry LayoutMainWindow(MainLayoutGeometry g, int SW, int SH, int statusBarHeight,
                                    const TabStripMetrics& metrics);

// The splitter drag: the new left edge, or -1 when the move is refused.
// x is the pointer relative to the splitter's left edge; buttons the
// button state (ButtonStateOf): it moves with the left button alone.
int DragSplitter(int splitterLeft, int x, int buttons, int SW);
