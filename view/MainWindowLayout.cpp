#include "view/MainWindowLayout.h"

#include "common/MouseButtonCode.h"

MainLayoutGeometry LayoutMainWindow(MainLayoutGeometry g, int SW, int SH, int statusBarHeight,
                                    const TabStripMetrics& m) {
    // The status bar is docked: it always spans the bottom.
    g.StatusBar = QRect(0, SH - statusBarHeight, SW, statusBarHeight);
    // 1. The etched lines under the menu bar span the width.
    g.LinSplitEnd = SW;
    // 2. The tree ends one pixel before the splitter.
    const int splitterLeft = g.Splitter.x();
    g.Tree.setWidth(splitterLeft - 1);
    // 3. Panel and tab strip start right of the splitter.
    g.Panel.moveLeft(splitterLeft + 2);
    g.TabStrip.moveLeft(g.Panel.x());
    // 4. Widths, unless the area is too narrow.
    if (g.TabClient(m).x() + 10 < SW) {
        const int panelWidth = SW - g.Panel.x() - 1;
        g.Panel.setWidth(panelWidth);
        g.TabStrip.setWidth(panelWidth);
        const QRect client = g.TabClient(m);
        g.ShowArea.setWidth(client.width());
        g.ShowArea.moveLeft(client.x());
        for (QRect& label : g.Label) {
            label.setWidth(panelWidth - 5);
            label.moveLeft(4);
        }
        g.Toolbar.moveLeft(1);
        g.Toolbar.setWidth(panelWidth - 5);
    }
    // 5. The tab strip sits three pixels under the panel.
    g.TabStrip.moveTop(g.Panel.y() + g.Panel.height() + 3);
    // 6. Heights, unless the area is too low (client top after step 5).
    if (g.TabClient(m).y() + 10 + statusBarHeight <= SH) {
        const int splitterHeight = SH - statusBarHeight - g.Splitter.y();
        g.Splitter.setHeight(splitterHeight);
        g.Tree.setHeight(splitterHeight);
        g.TabStrip.setHeight(splitterHeight - g.TabStrip.y() + 7);
        const QRect client = g.TabClient(m);
        g.ShowArea.setHeight(client.height());
        g.ShowArea.moveTop(client.y());
        g.Label[0].moveTop(3);
        g.Label[1].moveTop(g.Label[0].y() + g.Label[0].height());
        g.Toolbar.moveTop(g.Label[1].y() + g.Label[1].height());
    }
    // 7. The panel's sunken frame.
    const int pw = g.Panel.width();
    const int ph = g.Panel.height();
    g.BoxDepth[0] = QLine(0, 0, pw, 0);
    g.BoxDepth[1] = QLine(0, 0, 0, ph);
    g.BoxDepth[2] = QLine(0, ph - 1, pw, ph - 1);
    g.BoxDepth[3] = QLine(pw - 1, 0, pw - 1, ph);
    return g;
}

int DragSplitter(int splitterLeft, int x, int buttons, int SW) {
    const int p = splitterLeft + x;
    if (p >= 10 && p <= SW - 10 && buttons == int(MouseButtonCode::Left)) return p;
    return -1;
}
