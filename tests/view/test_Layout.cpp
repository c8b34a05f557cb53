// The splitter drag, and the window that lays out its controls by it.

#include "WatchingFixture.h"
#include "common/MouseButtonCode.h"
#include "view/MainWindowLayout.h"
#include "view/ShowAreaWidget.h"
#include "view/SplitterBar.h"
#include "view/TabStripWidget.h"

#include <QLabel>
#include <QToolBar>

namespace {

// A drag from 128 in a 642-pixel area: the splitter's new left (-1: stays).
struct Drag {
    const char* name;
    int move;
    MouseButtonCode buttons;
    int left;
};
class SplitterDrag : public ::testing::TestWithParam<Drag> {};

TEST_P(SplitterDrag, StaysTenPixelsFromEachSideWithTheLeftButtonOnly) {
    EXPECT_EQ(DragSplitter(128, GetParam().move, int(GetParam().buttons), 642), GetParam().left);
}

using B = MouseButtonCode;
INSTANTIATE_TEST_SUITE_P(
    Layout, SplitterDrag,
    ::testing::Values(Drag{"Right", 50, B::Left, 178}, Drag{"ToTheLeftLimit", -118, B::Left, 10},
                      Drag{"PastTheLeftLimit", -119, B::Left, -1}, Drag{"ToTheRightLimit", 504, B::Left, 632},
                      Drag{"PastTheRightLimit", 505, B::Left, -1}, Drag{"RightButton", 50, B::Right, -1},
                      Drag{"BothButtons", 50, B(int(B::Left) | int(B::Right)), -1}, Drag{"NoButton", 50, B::None, -1}),
    kRowName);

TEST(Layout, TheWindowPlacesItsControlsAndTheSplitterDragsThem) {
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
    // At the right limit the splitter stays above the show area's old place.
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
