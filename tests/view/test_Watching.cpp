#include "WatchingFixture.h"

#include "channel/HTTPTransfer.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"

#include <QLabel>
#include <QTabBar>

namespace {

const QStringList kMembers{"ch.a", "ch.b", "a_b", "ch.d"};

class Watching : public WatchingFixture {
protected:
    void SetUp() override {
        pub.add({"ch.a", "ABC", "12", 0, 1, QColor(200, 40, 40), {80, 60}, {80, 60}, {}});
        pub.add({"ch.b", "Beta", "7", 0, 1, QColor(40, 200, 40), {100, 75}, {100, 75}, {}});
        pub.add({"a_b", "Under", "x", 0, 1, QColor(40, 40, 200), {80, 60}, {80, 60}, {}});
        pub.add({"ch.d", "Delta", "", 1, 1, QColor(90, 90, 90), {80, 60}, {80, 60}, {}});
        writeLists(kMembers, {{"監視", kMembers}, {"二", {"ch.b"}}}, {"ch.a"});
        f.open();
    }
    void clickTab(int index, Qt::MouseButton button) {
        QTabBar* bar = w().tabChannelSelect()->Bar();
        QTest::mouseClick(bar, button, {}, bar->tabRect(index).center());
    }
    void fitShowArea(QSize size) { w().cntShowBox()->setGeometry(QRect(w().cntShowBox()->pos(), size)); }
    QString infoLabel() { return w().lblChannelInfomation(0)->text(); }
};

TEST_F(Watching, TabsReuseTheBlankTabAndOpenEachChannelOnce) {
    EXPECT_EQ(tabs(), QStringList{"*"});
    w().OpenMultiMonitorTab("1");
    EXPECT_EQ(tabs(), QStringList{"*" + folderTab("1")});
    EXPECT_EQ(w().TabCaption(1), QStringLiteral("監視"));
    ASSERT_TRUE(
        tickUntil([&] { return channel("ch.a")->ChannelNumber() == "12" && channel("a_b")->ChannelNumber() == "x"; }));
    w().OpenChannelTab("ch.a");
    w().OpenChannelTab("a_b");
    EXPECT_EQ(tabs(), (QStringList{folderTab("1"), channelTab("ch.a"), "*" + channelTab("a_b")}));
    EXPECT_EQ(QStringList({w().TabCaption(2), w().TabCaption(3)}), (QStringList{"Ch.12 ABC", "Under"}));
    EXPECT_EQ(selected(), "a_b");

    // Reopening selects the tab without switching viewing on again.
    ASSERT_TRUE(waitUntil([&] { return channel("ch.a")->State() == ChannelState::Waiting; }));
    const int before = pub.count("/ch.a/full.jpg") + pub.count("/ch.a/info.txt");
    w().OpenChannelTab("CH.A");
    EXPECT_EQ(tabs(), (QStringList{folderTab("1"), "*" + channelTab("ch.a"), channelTab("a_b")}));
    EXPECT_EQ(selected(), "ch.a");
    QTest::qWait(200);
    EXPECT_EQ(pub.count("/ch.a/full.jpg") + pub.count("/ch.a/info.txt"), before);
}

// A channel's transfer object and show box are made when it is first shown,
// with the indexes and tags its creation gave them; the others stay unmade.
TEST_F(Watching, AChannelMakesItsTransferAndShowBoxWhenFirstShown) {
    HTTPTransferArray* http = w().netChannelHTTP();
    EXPECT_EQ(http->Count(), 5);  // element 0 and the four channels'
    EXPECT_EQ(http->MadeCount(), 1);
    EXPECT_EQ(w().imgChannelShow().Count(), 10);  // the template, four show boxes, five members
    for (const QString& id : kMembers)
        EXPECT_FALSE(channel(id)->HTTPMade() || channel(id)->ShowBoxMade()) << qPrintable(id);

    w().OpenChannelTab("ch.b");
    ASSERT_TRUE(waitUntil([&] { return channel("ch.b")->PictureType() == PictureKind::Full; }));
    EXPECT_EQ(pub.requests(), (QStringList{"/ch.b/info.txt", "/ch.b/full.jpg"}));
    const HTTPTransfer* transfer = http->Element(2);
    ASSERT_NE(transfer, nullptr);
    EXPECT_EQ(std::tuple(transfer->Tag, transfer->RequestTimeout), std::tuple(QString("ch.b"), 60));
    const PictureElement* box = w().imgChannelShow().Element(2);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(std::tuple(box->Tag, box->Visible, box->NaturalSize()),
              std::tuple(QString("ch.b"), true, QSize(100, 75)));
    EXPECT_EQ(http->MadeCount(), 2);
    for (const char* id : {"ch.a", "a_b", "ch.d"}) EXPECT_FALSE(channel(id)->HTTPMade() || channel(id)->ShowBoxMade());
}

TEST_F(Watching, ClosingTabsMovesTheSelectionAndBlanksTheLastTab) {
    w().OpenChannelTab("ch.a");
    w().OpenChannelTab("ch.b");
    ASSERT_TRUE(waitUntil([&] { return channel("ch.b")->ShowBox()->Visible; }));
    w().CloseTab(1, false);  // not the selected tab: nothing happens
    EXPECT_EQ(tabs(), (QStringList{channelTab("ch.a"), "*" + channelTab("ch.b")}));
    w().CloseTab(2, false);
    EXPECT_EQ(tabs(), QStringList{"*" + channelTab("ch.a")});
    EXPECT_EQ(selected(), "ch.a");
    EXPECT_FALSE(channel("ch.b")->ShowBox()->Visible);
    EXPECT_EQ(channel("ch.b")->ViewFlag(), 0);

    w().CloseTab(1, false);
    EXPECT_EQ(tabs(), QStringList{"*"});
    EXPECT_EQ(w().TabCaption(1), "");
    EXPECT_EQ(selected(), "");
    EXPECT_FALSE(channel("ch.a")->ShowBox()->Visible);
    EXPECT_EQ(infoLabel(), "");
    w().OpenChannelTab("ch.b");  // fills the blank tab
    EXPECT_EQ(tabs(), QStringList{"*" + channelTab("ch.b")});
}

TEST_F(Watching, ThumbnailGridPlacesNamesAndTheSelectionFrame) {
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll(kMembers, PictureKind::Thumbnail); }));
    fitShowArea({345, 153});
    w().ArrangeThumbnailBox();
    const QList<PictureElement*> boxes = folder("1")->ShowBox();
    ASSERT_EQ(boxes.size(), 5);
    // 80 x 60 fits the 86 x 63 cell unstretched; 100 x 75 is stretched.
    EXPECT_EQ(box(boxes[1]), "0,2 80x60");
    EXPECT_EQ(box(boxes[2]), "86,2 86x63 stretched");
    EXPECT_EQ(box(boxes[4]), "258,2 80x60");
    ShowAreaWidget* area = w().cntShowBox();
    EXPECT_EQ(area->Label(1).Rect, QRect(0, 64, 80, 12));
    EXPECT_EQ(area->Label(2).Rect, QRect(86, 67, 86, 12));
    EXPECT_EQ(QStringList({area->Label(1).Caption, area->Label(3).Caption, area->Label(4).Caption}),
              (QStringList{"Ch.12 ABC", "Under", "Delta"}));
    // The folder's selection is its first member; the frame surrounds it.
    EXPECT_EQ(selected(), "ch.a");
    EXPECT_TRUE(area->SelectedBoxVisible);
    EXPECT_EQ(area->SelectedBoxRect, boxes[1]->Rect());

    QTest::mouseClick(area, Qt::LeftButton, {}, boxes[2]->Rect().center());
    EXPECT_EQ(selected(), "ch.b");
    EXPECT_EQ(folder("1")->SelectedChannelID(), "ch.b");
    EXPECT_EQ(area->SelectedBoxRect, boxes[2]->Rect());
    QTest::mouseClick(area, Qt::RightButton, {}, boxes[1]->Rect().center());
    EXPECT_EQ(selected(), "ch.b");
    QTest::mouseDClick(area, Qt::LeftButton, {}, boxes[2]->Rect().center());
    EXPECT_EQ(tabs().last(), "*" + channelTab("ch.b"));
    EXPECT_FALSE(boxes[1]->Visible);  // the tab switch hid the grid
}

// Two rows of two: the second row starts below the first row's name band
// (14 pixels under every cell), no name lies over a picture, and the names
// have the information labels' colours.
TEST_F(Watching, AGridOfTwoRowsKeepsTheNameBandBetweenThem) {
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll(kMembers, PictureKind::Thumbnail); }));
    fitShowArea({200, 300});
    w().ArrangeThumbnailBox();
    const QList<PictureElement*> boxes = folder("1")->ShowBox();
    ASSERT_EQ(boxes.size(), 5);
    EXPECT_EQ(box(boxes[2]), "99,2 99x72 stretched");
    EXPECT_EQ(box(boxes[3]), "0,88 80x60");  // row 1: 1 x (72 + 14) + 2
    EXPECT_EQ(box(boxes[4]), "99,88 80x60");
    ShowAreaWidget* area = w().cntShowBox();
    for (int i = 1; i <= 4; ++i) {
        EXPECT_TRUE(area->Label(i).Visible);
        for (int b = 1; b <= 4; ++b)
            EXPECT_FALSE(area->Label(i).Rect.intersects(boxes[b]->Rect())) << "label " << i << " over box " << b;
    }
    const QImage shot = area->grab().toImage();
    const QLabel* info = w().lblChannelInfomation(0);
    const QColor paper = info->palette().color(info->backgroundRole());
    const QColor ink = info->palette().color(info->foregroundRole());
    const QRect name = area->Label(2).Rect;
    int inkPixels = 0;
    for (int y = name.top(); y <= name.bottom(); ++y)
        for (int x = name.left(); x <= name.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            inkPixels += qAbs(c.red() - ink.red()) + qAbs(c.green() - ink.green()) + qAbs(c.blue() - ink.blue()) < 90;
        }
    EXPECT_EQ(shot.pixelColor(name.right(), name.top()), paper);  // past the text
    EXPECT_GT(inkPixels, 10);                                     // "Ch.7 Beta" in the labels' ink
}

TEST_F(Watching, LabelsAndPicturesFollowOnlyTheSelectedChannel) {
    w().OpenChannelTab("ch.b");
    w().OpenChannelTab("ch.a");
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll({"ch.a", "ch.b"}, PictureKind::Full); }));
    EXPECT_EQ(infoLabel(), channel("ch.a")->InfomationString().value(1));  // "ABC　放送中…"
    EXPECT_TRUE(infoLabel().startsWith(QStringLiteral("ABC　放送中")));
    // ch.b keeps fetching in its unselected tab, hidden.
    const int seen = pub.count("/ch.b/full.jpg");
    ASSERT_TRUE(tickUntil([&] { return pub.count("/ch.b/full.jpg") > seen + 1; }));
    EXPECT_FALSE(channel("ch.b")->ShowBox()->Visible);
    EXPECT_TRUE(infoLabel().startsWith(QStringLiteral("ABC")));
    // The toolbar follows the selected channel; ch.b belongs to both folders.
    EXPECT_TRUE(w().ToolbarButton(ToolbarKey::NormalView)->isChecked());
    EXPECT_EQ(w().ToolbarFolderImage(), ToolbarImageNumber::FavoriteFolder);  // ch.a is a favourite
    clickTab(0, Qt::LeftButton);
    EXPECT_EQ(w().ToolbarFolderImage(), ToolbarImageNumber::Folder);
    EXPECT_TRUE(infoLabel().startsWith(QStringLiteral("Beta")));
    EXPECT_EQ(dropDown(), (QStringList{member(QStringLiteral("監視")), member(QStringLiteral("二"))}));
}

TEST_F(Watching, OnlyOnBroadcastHidesOffAirMembersAndStatusChangesReselect) {
    w().mnuShowChannelOnlyOnBroadcast()->trigger();
    w().OpenMultiMonitorTab("1");
    EXPECT_EQ(selected(), "");  // nothing is known to be on air before the first fetch
    ASSERT_TRUE(tickUntil([&] { return pictureTypeOfAll(kMembers, PictureKind::Thumbnail) && !selected().isEmpty(); }));
    PictureElement* offAir = channel("ch.d")->ThumbnailShowBox(1);
    EXPECT_EQ(folder("1")->ShowBox().size(), 4);
    EXPECT_FALSE(offAir->Visible);
    for (bool only : {false, true}) {
        w().mnuShowChannelOnlyOnBroadcast()->trigger();
        EXPECT_EQ(w().mnuShowChannelOnlyOnBroadcast()->isChecked(), only);
        EXPECT_EQ(folder("1")->ShowBox().size(), only ? 4 : 5);
        EXPECT_EQ(offAir->Visible, !only);
        EXPECT_EQ(w().cntShowBox()->Label(4).Visible, !only);
    }
    // When the selection goes off air, the first on-air member takes over.
    const QString first = selected();
    ASSERT_TRUE(first == "ch.a" || first == "ch.b" || first == "a_b");
    const QString other = first == "ch.a" ? "ch.b" : "ch.a";
    pub.setStatus(first, 2);
    ASSERT_TRUE(tickUntil([&] { return channel(first)->Status() == 2; }));
    EXPECT_EQ(folder("1")->SelectedChannelID(), other);
    EXPECT_EQ(selected(), other);
    EXPECT_TRUE(infoLabel().startsWith(channel(other)->ChannelName()));
}

}  // namespace
