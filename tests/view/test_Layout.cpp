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
    // {move, buttons held, new position or -1}
    const int L = int(MouseButtonCode::Left), R = int(MouseButtonCode::Right), none = int(MouseButtonCode::None);
    const int cases[][3] = {{50, L, 178}, {-118, L, 10}, {-119, L, -1},   {504, L, 632},
                            {505, L, -1}, {50, R, -1},   {50, L + R, -1}, {50, none, -1}};
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
    // the right button does nothing. Points are in the client area.
    SplitterBar* bar = w.cntForResize();
    auto moveTo = [&](int x, Qt::MouseButton button) {
        const QPointF at = bar->mapFrom(w.ClientArea(), QPoint(x, 100));
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, button, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    };
    QTest::mousePress(bar, Qt::LeftButton, {}, bar->mapFrom(w.ClientArea(), QPoint(129, 100)));
    for (const auto& [x, button] : {std::pair{169, Qt::LeftButton}, {28, Qt::RightButton}}) {
        moveTo(x, button);
        EXPECT_EQ(w.Geometry().Splitter.x(), 169);
        EXPECT_EQ(w.tvwChannelSelect()->width(), 168);
    }
    // At the right limit the raised show area keeps its old place over the
    // splitter; the splitter stays on top, and wider than its 2 pixels, from
    // its top to its bottom.
    moveTo(642 - 10, Qt::LeftButton);
    ASSERT_EQ(w.Geometry().Splitter.x(), 632);
    ASSERT_TRUE(w.cntShowBox()->geometry().contains(632, 200));
    for (int y : {8, 100, 200, 380})
        for (int x : {630, 632, 633, 635}) EXPECT_EQ(w.ClientArea()->childAt(x, y), bar) << x << "," << y;
    moveTo(235, Qt::LeftButton);
    f.close();
    EXPECT_TRUE(f.dir.read("Vantomon.ini").contains("ResizeX=235"));
}

}  // namespace
