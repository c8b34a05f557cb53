#include <gtest/gtest.h>

#include "ViewerFixture.h"
#include "view/MainWindowLayout.h"
#include "view/ShowAreaWidget.h"
#include "view/SplitterBar.h"
#include "view/TabStripWidget.h"

#include <QLabel>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace {

// The tab strip's client area inside the design rectangle.
const TabStripMetrics kDesignMetrics{8, 24, 8, 8};

TEST(Layout, DesignSizeGivesTheDesignFigures) {
    const MainLayoutGeometry g = LayoutMainWindow(MainLayoutGeometry(), 642, 401, 20, kDesignMetrics);
    EXPECT_EQ(g.LinSplitEnd, 642);
    EXPECT_EQ(g.Tree, QRect(0, 8, 127, 373));
    EXPECT_EQ(g.Splitter, QRect(128, 8, 2, 373));
    EXPECT_EQ(g.Panel, QRect(130, 8, 511, 50));
    EXPECT_EQ(g.TabStrip, QRect(130, 61, 511, 319));
    EXPECT_EQ(g.TabStrip.y() + g.TabStrip.height(), 380);
    EXPECT_EQ(g.Label[0], QRect(4, 3, 506, 12));
    EXPECT_EQ(g.Label[1], QRect(4, 15, 506, 12));
    EXPECT_EQ(g.Toolbar.x(), 1);
    EXPECT_EQ(g.Toolbar.y(), 27);
    EXPECT_EQ(g.Toolbar.width(), 506);
    EXPECT_EQ(g.ShowArea, QRect(138, 85, 495, 287));
    EXPECT_EQ(g.StatusBar, QRect(0, 381, 642, 20));
    EXPECT_EQ(g.BoxDepth[0], QLine(0, 0, 511, 0));
    EXPECT_EQ(g.BoxDepth[2], QLine(0, 49, 511, 49));
    EXPECT_EQ(g.BoxDepth[3], QLine(510, 0, 510, 50));
}

TEST(Layout, NarrowAndLowAreasKeepTheDependentSizes) {
    const MainLayoutGeometry wide = LayoutMainWindow(MainLayoutGeometry(), 642, 401, 20, kDesignMetrics);
    // Too narrow: tab client left (130 + 8) + 10 is not below 148.
    const MainLayoutGeometry narrow = LayoutMainWindow(wide, 148, 401, 20, kDesignMetrics);
    EXPECT_EQ(narrow.Panel.width(), 511);
    EXPECT_EQ(narrow.Label[0].width(), 506);
    EXPECT_EQ(narrow.LinSplitEnd, 148);
    EXPECT_EQ(narrow.Tree.height(), 373);  // the vertical steps still ran
    const MainLayoutGeometry onePixelWider = LayoutMainWindow(wide, 149, 401, 20, kDesignMetrics);
    EXPECT_EQ(onePixelWider.Panel.width(), 149 - 130 - 1);
    // Too low: client top 61 + 24 + 10 + 20 = 115 must not exceed the height.
    const MainLayoutGeometry low = LayoutMainWindow(wide, 642, 114, 20, kDesignMetrics);
    EXPECT_EQ(low.Tree.height(), 373);
    EXPECT_EQ(low.TabStrip.height(), 319);
    EXPECT_EQ(low.StatusBar.y(), 94);  // docked: it follows regardless
    const MainLayoutGeometry justHighEnough = LayoutMainWindow(low, 642, 115, 20, kDesignMetrics);
    EXPECT_EQ(justHighEnough.Tree.height(), 115 - 20 - 8);
    // Larger again restores everything.
    EXPECT_EQ(LayoutMainWindow(low, 642, 401, 20, kDesignMetrics).TabStrip, wide.TabStrip);
}

TEST(Layout, SplitterDragStaysTenPixelsFromEachSideWithTheLeftButtonOnly) {
    EXPECT_EQ(DragSplitter(128, 50, 1, 642), 178);
    EXPECT_EQ(DragSplitter(128, -118, 1, 642), 10);
    EXPECT_EQ(DragSplitter(128, -119, 1, 642), -1);
    EXPECT_EQ(DragSplitter(128, 504, 1, 642), 632);
    EXPECT_EQ(DragSplitter(128, 505, 1, 642), -1);
    EXPECT_EQ(DragSplitter(128, 50, 2, 642), -1);
    EXPECT_EQ(DragSplitter(128, 50, 3, 642), -1);
    EXPECT_EQ(DragSplitter(128, 50, 0, 642), -1);
}

TEST(Layout, TheWindowPlacesItsControlsByTheRule) {
    ViewerFixture f;
    frmMain& w = f.open();
    w.ClientArea()->resize(642, 401);
    w.resize(642, 401 + (w.height() - w.ClientArea()->height()));
    QTRY_COMPARE(w.ClientArea()->size(), QSize(642, 401));
    EXPECT_EQ(w.tvwChannelSelect()->geometry(), QRect(0, 8, 127, 373));
    EXPECT_EQ(w.tabChannelSelect()->geometry(), QRect(130, 61, 511, 319));
    EXPECT_EQ(w.lblChannelInfomation(1)->geometry(), QRect(4, 15, 506, 12));
    EXPECT_EQ(w.tbrNormal()->geometry().topLeft(), QPoint(1, 27));
    EXPECT_EQ(w.tbrNormal()->height(), 22);
    const TabStripMetrics m = w.tabChannelSelect()->Metrics();
    EXPECT_EQ(w.cntShowBox()->geometry(),
              QRect(130 + m.ClientLeft, 61 + m.ClientTop, 511 - m.ClientLeft - m.ClientRight,
                    319 - m.ClientTop - m.ClientBottom));

    // A drag with the left button moves the splitter and lays out again;
    // the right button does nothing.
    QTest::mousePress(w.cntForResize(), Qt::LeftButton, {}, QPoint(1, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(41, 100), QPointF(41, 100), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w.cntForResize(), &move);
    EXPECT_EQ(w.Geometry().Splitter.x(), 169);
    EXPECT_EQ(w.tvwChannelSelect()->width(), 168);
    QMouseEvent right(QEvent::MouseMove, QPointF(-100, 100), QPointF(-100, 100), Qt::NoButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w.cntForResize(), &right);
    EXPECT_EQ(w.Geometry().Splitter.x(), 169);
    f.close();
    EXPECT_TRUE(f.dir.read("Vantomon.ini").contains("ResizeX=169"));
}

}  // namespace
