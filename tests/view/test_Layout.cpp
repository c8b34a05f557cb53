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
    const std::pair<QRect, QRect> rects[] = {{g.Tree, {0, 8, 127, 373}},        {g.Splitter, {128, 8, 2, 373}},
                                             {g.Panel, {130, 8, 511, 50}},      {g.TabStrip, {130, 61, 511, 319}},
                                             {g.Label[0], {4, 3, 506, 12}},     {g.Label[1], {4, 15, 506, 12}},
                                             {g.ShowArea, {138, 85, 495, 287}}, {g.StatusBar, {0, 381, 642, 20}}};
    for (const auto& [actual, expected] : rects) EXPECT_EQ(actual, expected);
    EXPECT_EQ(g.Toolbar.topLeft(), QPoint(1, 27));
    EXPECT_EQ(g.Toolbar.width(), 506);
    EXPECT_EQ(QList<QLine>({g.BoxDepth[0], g.BoxDepth[2], g.BoxDepth[3]}),
              QList<QLine>({{0, 0, 511, 0}, {0, 49, 511, 49}, {510, 0, 510, 50}}));
}

TEST(Layout, NarrowAndLowAreasKeepTheDependentSizes) {
    const MainLayoutGeometry wide = LayoutMainWindow(MainLayoutGeometry(), 642, 401, 20, kDesignMetrics);
    // Too narrow: tab client left (130 + 8) + 10 is not below 148.
    const MainLayoutGeometry narrow = LayoutMainWindow(wide, 148, 401, 20, kDesignMetrics);
    EXPECT_EQ(narrow.Panel.width(), 511);
    EXPECT_EQ(narrow.Label[0].width(), 506);
    EXPECT_EQ(narrow.LinSplitEnd, 148);
    EXPECT_EQ(narrow.Tree.height(), 373);  // the vertical steps still ran
    EXPECT_EQ(LayoutMainWindow(wide, 149, 401, 20, kDesignMetrics).Panel.width(), 149 - 130 - 1);
    // Too low: client top 61 + 24 + 10 + 20 = 115 must not exceed the height.
    const MainLayoutGeometry low = LayoutMainWindow(wide, 642, 114, 20, kDesignMetrics);
    EXPECT_EQ(low.Tree.height(), 373);
    EXPECT_EQ(low.TabStrip.height(), 319);
    EXPECT_EQ(low.StatusBar.y(), 94);  // docked: it follows regardless
    EXPECT_EQ(LayoutMainWindow(low, 642, 115, 20, kDesignMetrics).Tree.height(), 115 - 20 - 8);
    // Larger again restores everything.
    EXPECT_EQ(LayoutMainWindow(low, 642, 401, 20, kDesignMetrics).TabStrip, wide.TabStrip);
}

TEST(Layout, SplitterDragStaysTenPixelsFromEachSideWithTheLeftButtonOnly) {
    // {move, button, new position or -1}
    const int cases[][3] = {{50, 1, 178}, {-118, 1, 10}, {-119, 1, -1}, {504, 1, 632},
                            {505, 1, -1}, {50, 2, -1},   {50, 3, -1},   {50, 0, -1}};
    for (const auto& c : cases) EXPECT_EQ(DragSplitter(128, c[0], c[1], 642), c[2]) << c[0] << " " << c[1];
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
    EXPECT_EQ(w.tbrNormal()->geometry(), QRect(1, 27, 506, 22));
    const TabStripMetrics m = w.tabChannelSelect()->Metrics();
    EXPECT_EQ(w.cntShowBox()->geometry(),
              QRect(130 + m.ClientLeft, 61 + m.ClientTop, 511 - m.ClientLeft - m.ClientRight,
                    319 - m.ClientTop - m.ClientBottom));

    // A drag with the left button moves the splitter and lays out again;
    // the right button does nothing.
    QTest::mousePress(w.cntForResize(), Qt::LeftButton, {}, QPoint(1, 100));
    for (const auto& [x, button] : {std::pair{41, Qt::LeftButton}, {-100, Qt::RightButton}}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 100), QPointF(x, 100), Qt::NoButton, button, Qt::NoModifier);
        QApplication::sendEvent(w.cntForResize(), &move);
        EXPECT_EQ(w.Geometry().Splitter.x(), 169);
        EXPECT_EQ(w.tvwChannelSelect()->width(), 168);
    }
    f.close();
    EXPECT_TRUE(f.dir.read("Vantomon.ini").contains("ResizeX=169"));
}

}  // namespace
