// Main window layout: Form_Resize and the splitter drag.
#include "view/frmMain.h"

#include "navigation/NodeTag.h"
#include "view/WatchViews.h"

void frmMain::Form_Resize() {
    mGeometry = LayoutMainWindow(mGeometry, mClient->width(), mClient->height(), StatusBarHeight(), tabMetrics());
    applyGeometry();
    if (mWatchViews) mWatchViews->FitShowArea();
    rememberNormalSize();
    // 8. Redraw what the selected tab shows; a blank tab shows nothing.
    const NodeKind tab = ParseTag(SelectedTabTag()).Kind;
    if (tab == NodeKind::Channel) {
        ShowChannelPicture();
    } else if (tab == NodeKind::MultiMonitor) {
        ArrangeThumbnailBox();
    }
}

void frmMain::cntForResize_MouseMove(int Button, int /*Shift*/, int x, int /*y*/) {
    const int left = DragSplitter(mGeometry.Splitter.x(), x, Button, mClient->width());
    if (left < 0) return;
    mGeometry.Splitter.moveLeft(left);
    Form_Resize();
}
