#include "WatchingFixture.h"

#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"
#include "view/ThumbnailGrid.h"

#include <QAction>
#include <QLabel>
#include <QTabBar>

namespace {

class Watching : public WatchingFixture {
protected:
    void SetUp() override {
        pub.add({"ch.a", "ABC", "12", 0, 1, QColor(200, 40, 40), {80, 60}, {80, 60}, {}});
        pub.add({"ch.b", "Beta", "7", 0, 1, QColor(40, 200, 40), {100, 75}, {100, 75}, {}});
        pub.add({"a_b", "Under", "x", 0, 1, QColor(40, 40, 200), {80, 60}, {80, 60}, {}});
        pub.add({"ch.d", "Delta", "", 1, 1, QColor(90, 90, 90), {80, 60}, {80, 60}, {}});
        writeLists({"ch.a", "ch.b", "a_b", "ch.d"}, {{"監視", {"ch.a", "ch.b", "a_b", "ch.d"}}, {"二", {"ch.b"}}},
                   {"ch.a"});
        f.open();
    }
};

// ---- Thumbnail grid arithmetic -----------------------------------------------

TEST(ThumbnailGrid, ColumnsCellsAndOrigins) {
    ThumbnailGrid g = ChooseThumbnailGrid(4, 345, 153);
    EXPECT_EQ(g.Columns, 4);
    EXPECT_EQ(g.CellWidth, 86);
    EXPECT_EQ(g.CellHeight, 63);
    EXPECT_EQ(g.CellOrigin(1), QPoint(0, 2));
    EXPECT_EQ(g.CellOrigin(4), QPoint(258, 2));
    g = ChooseThumbnailGrid(3, 345, 153);
    EXPECT_EQ(g.Columns, 3);
    EXPECT_EQ(QSize(g.CellWidth, g.CellHeight), QSize(114, 84));
    g = ChooseThumbnailGrid(5, 500, 400);
    EXPECT_EQ(g.Columns, 3);
    EXPECT_EQ(QSize(g.CellWidth, g.CellHeight), QSize(166, 123));
    EXPECT_EQ(g.CellOrigin(4), QPoint(0, 139));
    // Equal areas keep the smaller count: one and two columns tie here.
    g = ChooseThumbnailGrid(3, 114, 168);
    EXPECT_EQ(g.Columns, 1);
    EXPECT_EQ(ChooseThumbnailGrid(0, 345, 153).Columns, 0);
    EXPECT_EQ(ChooseThumbnailGrid(3, 10, 10).Columns, 0);  // no room at all
}

// ---- Tabs ---------------------------------------------------------------------

TEST_F(Watching, TabsReuseTheBlankTabAndOpenEachChannelOnce) {
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "");
    // The caption needs the number from the information file, which the
    // folder fetches first.
    w().OpenMultiMonitorTab("1");
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "MultiMonitor_1");
    EXPECT_EQ(w().TabCaption(1), QStringLiteral("監視"));
    ASSERT_TRUE(tickUntil([&] { return channel("ch.a")->ChannelNumber() == "12" && channel("a_b")->ChannelNumber() == "x"; }));

    w().OpenChannelTab("ch.a");
    w().OpenChannelTab("a_b");
    ASSERT_EQ(w().TabCount(), 3);
    EXPECT_EQ(w().TabCaption(2), "Ch.12 ABC");
    EXPECT_EQ(w().TabCaption(3), "Under");  // a number that is not numeric
    EXPECT_EQ(w().TabTag(3), "Channel_a_b");
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "a_b");

    // Reopening selects the tab and does not switch viewing on again: an idle
    // channel would otherwise request at once.
    ASSERT_TRUE(waitUntil([&] { return channel("ch.a")->State() == 4; }));
    const int before = pub.count("/ch.a/full.jpg") + pub.count("/ch.a/info.txt");
    w().OpenChannelTab("CH.A");
    EXPECT_EQ(w().TabCount(), 3);
    EXPECT_EQ(w().SelectedTabIndex(), 2);
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.a");
    QTest::qWait(200);
    EXPECT_EQ(pub.count("/ch.a/full.jpg") + pub.count("/ch.a/info.txt"), before);
}

TEST_F(Watching, ClosingTabsMovesTheSelectionAndBlanksTheLastTab) {
    w().OpenChannelTab("ch.a");
    w().OpenChannelTab("ch.b");
    ASSERT_TRUE(waitUntil([&] { return channel("ch.b")->PictureType() == 3; }));
    EXPECT_TRUE(channel("ch.b")->ShowBox()->Visible);
    // Closing a tab that is not selected does nothing.
    w().CloseTab(1, false);
    EXPECT_EQ(w().TabCount(), 2);
    w().CloseTab(2, false);
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "Channel_ch.a");
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.a");
    EXPECT_FALSE(channel("ch.b")->ShowBox()->Visible);
    EXPECT_EQ(channel("ch.b")->ViewFlag() & 2, 0);

    w().CloseTab(1, false);
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "");
    EXPECT_EQ(w().TabCaption(1), "");
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "");
    EXPECT_FALSE(channel("ch.a")->ShowBox()->Visible);
    EXPECT_EQ(w().lblChannelInfomation(0)->text(), "");
    // Opening again fills the blank tab.
    w().OpenChannelTab("ch.b");
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "Channel_ch.b");
}

TEST_F(Watching, TabPopupsFollowTheSelectedTabKind) {
    QTabBar* bar = w().tabChannelSelect()->Bar();
    QTest::mouseClick(bar, Qt::RightButton, {}, bar->tabRect(0).center());
    EXPECT_TRUE(f.popups.isEmpty());  // the blank tab has none
    w().OpenChannelTab("ch.a");
    QTest::mouseClick(bar, Qt::RightButton, {}, bar->tabRect(0).center());
    w().OpenMultiMonitorTab("1");
    QTest::mouseClick(bar, Qt::RightButton, {}, bar->tabRect(0).center());  // acts on the selected tab
    EXPECT_EQ(f.popups, (QStringList{"mnuPopupForChannelTab", "mnuPopupForMultimonitorTab"}));
    EXPECT_EQ(w().SelectedTabIndex(), 2);  // a right click does not change the tab
    // A left click on a tab selects it and its channel.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(w().SelectedTabIndex(), 1);
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.a");
}

// ---- Tree ---------------------------------------------------------------------

TEST_F(Watching, TreeClicksOpenOrPopUpByNodeKind) {
    // Left: channel, favourite and member nodes open the same channel tab.
    clickNode(findNode("Channel_ch.a"), Qt::LeftButton);
    clickNode(findNode("FavariteChannel_ch.a"), Qt::LeftButton);
    clickNode(findNode("MultiMonitorChannel_ch.a"), Qt::LeftButton);
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "Channel_ch.a");
    clickNode(findNode("MultiMonitorFolder_1"), Qt::LeftButton);
    EXPECT_EQ(w().TabCount(), 2);
    EXPECT_EQ(w().SelectedTabTag(), "MultiMonitor_1");

    // Left on roots and groups does nothing; right shows the node's popup.
    for (const char* tag : {"FavariteRoot_", "MultiMonitorRoot_", "Node_", "ChannelList_http://lists/"})
        clickNode(findNode(tag), Qt::LeftButton);
    EXPECT_EQ(w().TabCount(), 2);
    EXPECT_TRUE(f.popups.isEmpty());
    for (const char* tag : {"Channel_ch.b", "FavariteChannel_ch.a", "MultiMonitorRoot_", "MultiMonitorChannel_ch.b",
                            "MultiMonitorFolder_2", "FavariteRoot_", "Node_", "ChannelList_http://lists/"})
        clickNode(findNode(tag), Qt::RightButton);
    EXPECT_EQ(f.popups, (QStringList{"mnuPopupForChannelNode", "mnuPopupForFavariteChannelNode",
                                     "mnuPopupForMultiMonitorRoot", "mnuPopupForMultiMonitorChannel",
                                     "mnuPopupForMultiMonitorFolder"}));
    // A right click makes the node the selected node for the popup's command.
    EXPECT_EQ(frmMain::NodeTag(w().tvwChannelSelect()->currentItem()), "ChannelList_http://lists/");
    // Middle clicks do nothing.
    clickNode(findNode("Channel_ch.b"), Qt::MiddleButton);
    EXPECT_EQ(w().TabCount(), 2);

    // Tags are tested without regard to case.
    frmMain::SetNodeTag(findNode("Channel_ch.b"), "cHaNnEl_ch.b");
    clickNode(findNode("cHaNnEl_ch.b"), Qt::LeftButton);
    EXPECT_EQ(w().TabCount(), 3);
    EXPECT_EQ(w().TreeMouseButton(), 0);
}

TEST_F(Watching, KeyboardSelectionOpensNothing) {
    QTreeWidget* tree = w().tvwChannelSelect();
    tree->setFocus();
    tree->setCurrentItem(findNode("Node_"));
    for (int i = 0; i < 6; ++i) QTest::keyClick(tree, Qt::Key_Down);
    QTest::keyClick(tree, Qt::Key_Return);
    QTest::keyClick(tree, Qt::Key_Space);
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().TabTag(1), "");
}

// ---- Pictures -----------------------------------------------------------------

TEST_F(Watching, ResizeModesOfTheNormalView) {
    w().OpenChannelTab("ch.a");
    ASSERT_TRUE(waitUntil([&] { return channel("ch.a")->PictureType() == 3; }));
    PictureElement* box = channel("ch.a")->ShowBox();
    EXPECT_TRUE(box->Visible);
    EXPECT_EQ(box->Rect(), QRect(0, 2, 80, 60));  // mode 2: natural size
    EXPECT_FALSE(box->Stretch());

    w().cntShowBox()->setGeometry(QRect(w().cntShowBox()->pos(), QSize(345, 153)));
    w().mnuImageResize_Click(0);
    EXPECT_TRUE(box->Stretch());
    EXPECT_EQ(box->Rect(), QRect(0, 2, 345, 149));
    EXPECT_TRUE(w().mnuImageResize()[0]->isChecked());
    EXPECT_FALSE(w().mnuImageResize()[2]->isChecked());

    // Mode 1 fits the window: the show area ends 2 pixels right of the
    // picture and exactly at its bottom edge.
    w().mnuImageResize_Click(1);
    QTRY_COMPARE(w().cntShowBox()->size(), QSize(82, 62));
    EXPECT_FALSE(box->Stretch());
    EXPECT_EQ(box->Rect(), QRect(0, 2, 80, 60));

    // A maximised window is left alone.
    w().showMaximized();
    QTRY_VERIFY(w().isMaximized() && w().width() > 300);
    const QSize maximised = w().size();
    w().mnuImageResize_Click(1);
    QTest::qWait(100);
    EXPECT_EQ(w().size(), maximised);
}

TEST_F(Watching, ThumbnailGridPlacesNamesAndTheSelectionFrame) {
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] {
        for (const char* id : {"ch.a", "ch.b", "a_b", "ch.d"})
            if (channel(id)->PictureType() != 2) return false;
        return true;
    }));
    w().cntShowBox()->setGeometry(QRect(w().cntShowBox()->pos(), QSize(345, 153)));
    w().ArrangeThumbnailBox();
    const QList<PictureElement*> boxes = folder("1")->ShowBox();
    ASSERT_EQ(boxes.size(), 5);
    // 80 x 60 fits the 86 x 63 cell unstretched; 100 x 75 is stretched.
    EXPECT_EQ(boxes[1]->Rect(), QRect(0, 2, 80, 60));
    EXPECT_FALSE(boxes[1]->Stretch());
    EXPECT_EQ(boxes[2]->Rect(), QRect(86, 2, 86, 63));
    EXPECT_TRUE(boxes[2]->Stretch());
    EXPECT_EQ(boxes[4]->Rect().topLeft(), QPoint(258, 2));
    ShowAreaWidget* area = w().cntShowBox();
    EXPECT_EQ(area->Label(1).Rect, QRect(0, 64, 80, 12));
    EXPECT_EQ(area->Label(2).Rect, QRect(86, 67, 86, 12));
    EXPECT_EQ(area->Label(1).Caption, "Ch.12 ABC");
    EXPECT_EQ(area->Label(3).Caption, "Under");
    EXPECT_EQ(area->Label(4).Caption, "Delta");
    // The folder's selection is its first member; the frame surrounds it.
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.a");
    EXPECT_TRUE(area->SelectedBoxVisible);
    EXPECT_EQ(area->SelectedBoxRect, boxes[1]->Rect());

    // A click on another thumbnail selects it in the folder too.
    const QPoint inB = boxes[2]->Rect().center();
    QTest::mouseClick(area, Qt::LeftButton, {}, inB);
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.b");
    EXPECT_EQ(folder("1")->SelectedChannelID(), "ch.b");
    EXPECT_EQ(area->SelectedBoxRect, boxes[2]->Rect());
    // A right click selects nothing; a double click opens the member's tab.
    QTest::mouseClick(area, Qt::RightButton, {}, boxes[1]->Rect().center());
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.b");
    QTest::mouseDClick(area, Qt::LeftButton, {}, inB);
    EXPECT_EQ(w().SelectedTabTag(), "Channel_ch.b");
    EXPECT_FALSE(boxes[1]->Visible);  // the tab switch hid the grid
}

TEST_F(Watching, OnlyOnBroadcastHidesOffAirMembersWithoutLeavingThemOnScreen) {
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] { return channel("ch.d")->PictureType() == 2 && channel("ch.a")->PictureType() == 2; }));
    PictureElement* offAir = folder("1")->ShowBox()[4];
    ASSERT_EQ(offAir->Tag, "ch.d");
    w().ArrangeThumbnailBox();
    EXPECT_TRUE(offAir->Visible);
    w().mnuShowChannelOnlyOnBroadcast()->trigger();
    EXPECT_TRUE(w().mnuShowChannelOnlyOnBroadcast()->isChecked());
    EXPECT_EQ(folder("1")->ShowBox().size(), 4);
    EXPECT_FALSE(offAir->Visible);
    EXPECT_FALSE(w().cntShowBox()->Label(4).Visible);
}

// ---- Channel events ---------------------------------------------------------

TEST_F(Watching, LabelsAndPicturesFollowOnlyTheSelectedChannel) {
    w().OpenChannelTab("ch.b");
    w().OpenChannelTab("ch.a");
    ASSERT_TRUE(tickUntil([&] { return channel("ch.a")->PictureType() == 3 && channel("ch.b")->PictureType() == 3; }));
    EXPECT_EQ(w().lblChannelInfomation(0)->text(), channel("ch.a")->InfomationString().value(1));
    EXPECT_TRUE(w().lblChannelInfomation(0)->text().startsWith(QStringLiteral("ABC　放送中")));
    // ch.b keeps fetching in its unselected tab: its box stays hidden and the
    // labels keep showing ch.a.
    const int seen = pub.count("/ch.b/full.jpg");
    ASSERT_TRUE(tickUntil([&] { return pub.count("/ch.b/full.jpg") > seen + 1; }));
    EXPECT_FALSE(channel("ch.b")->ShowBox()->Visible);
    EXPECT_TRUE(w().lblChannelInfomation(0)->text().startsWith(QStringLiteral("ABC")));
    // Toolbar follows the selected channel.
    EXPECT_TRUE(w().ToolbarButton("tbrNormlKey_NormalView")->isChecked());
    EXPECT_EQ(w().ToolbarFolderImage(), 4);  // ch.a is a favourite
    QTabBar* bar = w().tabChannelSelect()->Bar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(w().ToolbarFolderImage(), 6);
    EXPECT_TRUE(w().lblChannelInfomation(0)->text().startsWith(QStringLiteral("Beta")));
    // Drop-down markers: ch.b belongs to both folders.
    const QList<QAction*> entries = w().FolderDropDown()->actions();
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0]->text(), QStringLiteral("υ 監視"));
    EXPECT_EQ(entries[1]->text(), QStringLiteral("υ 二"));
}

TEST_F(Watching, AMemberGoingOffAirMovesTheFolderSelection) {
    w().mnuShowChannelOnlyOnBroadcast()->trigger();
    w().OpenMultiMonitorTab("1");
    // Nothing is known to be on air before the first fetch.
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "");
    ASSERT_TRUE(tickUntil([&] {
        return channel("ch.a")->Status() == 0 && channel("ch.b")->Status() == 0 && channel("a_b")->Status() == 0 &&
               !w().ChannelManeger()->SelectedChannelID().isEmpty();
    }));
    // The selection is whichever member was first known to be on air; when
    // it goes off air the first on-air member in folder order takes over.
    const QString first = w().ChannelManeger()->SelectedChannelID();
    ASSERT_TRUE(first == "ch.a" || first == "ch.b" || first == "a_b");
    const QString other = first == "ch.a" ? "ch.b" : "ch.a";
    pub.setStatus(first, 2);
    ASSERT_TRUE(tickUntil([&] { return channel(first)->Status() == 2; }));
    EXPECT_EQ(folder("1")->SelectedChannelID(), other);
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), other);
    EXPECT_TRUE(w().lblChannelInfomation(0)->text().startsWith(channel(other)->ChannelName()));
}

}  // namespace
