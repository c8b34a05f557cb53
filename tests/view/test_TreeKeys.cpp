// The channel tree from the keyboard, and the search, in the viewer's window
// (offscreen): each key does what the mouse or the node's popup does, and
// clearing a search gives the tree back as it was, files included.

#include "WatchingFixture.h"

#include "view/ShowAreaWidget.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace {

class TreeKeys : public WatchingFixture {
protected:
    void SetUp() override {
        for (const char* id : {"ch.a", "ch.b", "ch.c"})
            pub.add({id, QString("Name ") + id, "1", 0, 5, QColor(200, 40, 40), {80, 60}, {40, 30}, {}});
        writeLists({"ch.a", "ch.b", "ch.c"}, {{"監視", {"ch.a", "ch.b"}}, {"別", {"ch.c"}}}, {"ch.b", "ch.c"});
        f.open();
        w().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w()));
    }
    ChannelTreeView* tree() { return w().tvwChannelSelect(); }
    // A key on the selected node of the shown view.
    void key(const QString& tag, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        TreeNode* node = findNode(tag);
        ASSERT_NE(node, nullptr) << tag.toStdString();
        tree()->SetCurrentNode(node);
        tree()->ShownView()->setFocus();
        QTest::keyClick(tree()->ShownView(), k, mods);
    }
    QStringList children(TreeNode* node) {
        QStringList out;
        for (int i = 0; node && i < node->ChildCount(); ++i) out << node->Child(i)->Tag();
        return out;
    }
};

TEST_F(TreeKeys, EnterAndSpaceOpenAsALeftClickDoes) {
    key(MakeTag(NodeKind::Channel, "ch.a"), Qt::Key_Return);
    EXPECT_EQ(tabs(), QStringList{"*" + channelTab("ch.a")});
    key(MakeTag(NodeKind::MultiMonitorFolder, "2"), Qt::Key_Space);
    EXPECT_EQ(tabs(), (QStringList{channelTab("ch.a"), "*" + folderTab("2")}));
    key(MakeTag(NodeKind::FavariteChannel, "ch.b"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(tabs(), (QStringList{channelTab("ch.a"), folderTab("2"), "*" + channelTab("ch.b")}));
    // A node a left click does nothing on: nothing.
    key(MakeTag(NodeKind::MultiMonitorRoot), Qt::Key_Return);
    EXPECT_EQ(tabs().size(), 3);
    EXPECT_TRUE(f.popups.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return pub.count("/ch.b/info.txt") >= 1; }));
}

TEST_F(TreeKeys, TheMenuKeyAndShiftF10OpenTheNodesPopup) {
    key(MakeTag(NodeKind::Channel, "ch.c"), Qt::Key_Menu);
    key(MakeTag(NodeKind::MultiMonitorRoot), Qt::Key_F10, Qt::ShiftModifier);
    key(MakeTag(NodeKind::MultiMonitorChannel, "ch.a"), Qt::Key_F10, Qt::ShiftModifier);
    key(MakeTag(NodeKind::FavariteRoot), Qt::Key_Menu);    // no popup of its own
    key(MakeTag(NodeKind::Channel, "ch.c"), Qt::Key_F10);  // F10 alone is no menu key
    EXPECT_EQ(f.popups,
              (QStringList{PopupName::ChannelNode, PopupName::MultiMonitorRoot, PopupName::MultiMonitorChannel}));
    EXPECT_EQ(w().TreeMouseButton(), MouseButtonCode::None);
    // The popup opens at the node, not at the pointer.
    TreeNode* node = findNode(MakeTag(NodeKind::Channel, "ch.c"));
    const QRect rect = tree()->Tree()->visualRect(w().TreeModel()->IndexOf(node));
    const QPoint at = tree()->Tree()->viewport()->mapFromGlobal(tree()->PopupPosition(node));
    EXPECT_TRUE(rect.adjusted(0, 0, 0, 1).contains(at)) << at.x() << "," << at.y();
}

TEST_F(TreeKeys, F2RenamesAFolderOnly) {
    f.inputAnswers = {QStringLiteral("改名"), QStringLiteral("無視")};
    key(MakeTag(NodeKind::Channel, "ch.a"), Qt::Key_F2);
    key(MakeTag(NodeKind::MultiMonitorFolder, "1"), Qt::Key_F2);
    EXPECT_EQ(folder("1")->FolderName(), QStringLiteral("改名"));
    EXPECT_EQ(f.inputAnswers, QStringList{QStringLiteral("無視")});
}

// Delete runs the node's remove command; Ctrl+Z brings back the last
// removals one by one, to their places.
TEST_F(TreeKeys, DeleteRemovesAndCtrlZBringsBack) {
    const QStringList favorites = children(w().FavariteRoot());
    const QStringList folders = children(w().MultiMonitorRoot());
    const QByteArray files[] = {f.dir.read("Favorite.txt"), f.dir.read("MultiMonitor.txt")};
    key(MakeTag(NodeKind::Channel, "ch.a"), Qt::Key_Delete);  // a channel has no remove command
    key(MakeTag(NodeKind::FavariteChannel, "ch.b"), Qt::Key_Delete);
    EXPECT_FALSE(channel("ch.b")->BelongFavarite());
    key(MakeTag(NodeKind::MultiMonitorFolder, "1"), Qt::Key_Delete);
    EXPECT_EQ(folder("1"), nullptr);
    key(MakeTag(NodeKind::MultiMonitorChannel, "ch.c"), Qt::Key_Delete);
    EXPECT_EQ(folder("2")->Members(), QStringList());
    EXPECT_EQ(children(w().MultiMonitorRoot()), QStringList{MakeTag(NodeKind::MultiMonitorFolder, "2")});

    for (int i = 0; i < 4; ++i) QTest::keyClick(tree()->Tree(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(folder("2")->Members(), QStringList{"ch.c"});
    // The folder came back under a new identifier, with its members.
    EXPECT_EQ(folder("3")->Members(), (QStringList{"ch.a", "ch.b"}));
    EXPECT_EQ(children(w().MultiMonitorRoot()),
              (QStringList{MakeTag(NodeKind::MultiMonitorFolder, "3"), MakeTag(NodeKind::MultiMonitorFolder, "2")}));
    EXPECT_TRUE(channel("ch.b")->BelongFavarite());
    EXPECT_EQ(children(w().FavariteRoot()), favorites);
    EXPECT_EQ(folders.size(), 2);
    f.close();
    EXPECT_EQ(f.dir.read("Favorite.txt"), files[0]);
    EXPECT_EQ(f.dir.read("MultiMonitor.txt"), files[1]);
}

// Typing in the tree types into the search; Enter in the field opens the
// first matching channel, Down moves into the results.
TEST_F(TreeKeys, TypingSearchesAndEnterOpensTheFirstMatch) {
    tree()->Tree()->setFocus();
    QTest::keyClicks(tree()->Tree(), "CH.C");
    EXPECT_EQ(tree()->SearchField()->text(), "CH.C");
    EXPECT_TRUE(tree()->SearchField()->hasFocus());
    EXPECT_TRUE(tree()->Results()->isVisible());
    EXPECT_FALSE(tree()->Tree()->isVisible());
    EXPECT_EQ(tree()->MatchLabel()->text(), QStringLiteral("3 件"));  // member, favourite, channel
    QTest::keyClick(tree()->SearchField(), Qt::Key_Return);
    EXPECT_EQ(tabs(), QStringList{"*" + channelTab("ch.c")});
    QTest::keyClick(tree()->SearchField(), Qt::Key_Down);
    EXPECT_TRUE(tree()->Results()->hasFocus());
    EXPECT_EQ(tree()->CurrentNode()->Tag(), MakeTag(NodeKind::MultiMonitorChannel, "ch.c"));
    QTest::keyClick(tree()->Results(), Qt::Key_Down);  // お気に入り
    QTest::keyClick(tree()->Results(), Qt::Key_Down);
    EXPECT_EQ(tree()->CurrentNode()->Tag(), MakeTag(NodeKind::FavariteChannel, "ch.c"));
    QTest::keyClick(tree()->Results(), Qt::Key_Space);
    EXPECT_EQ(tabs(), QStringList{"*" + channelTab("ch.c")});
    QTest::keyClick(tree()->Results(), Qt::Key_Escape);
    EXPECT_TRUE(tree()->SearchField()->text().isEmpty());
    EXPECT_TRUE(tree()->Tree()->hasFocus());
}

// Esc gives the tree back exactly as it was, whatever was expanded,
// selected and opened among the results; and the files get the tree's
// expanded flags, not the results'.
TEST_F(TreeKeys, EscGivesTheTreeBackAsItWasAndTheFilesStayAsTheyWere) {
    // Enough channels to scroll, some lists expanded and some not.
    QStringList channels{"Node\tGroup\tTrue"};
    for (int l = 0; l < 6; ++l) {
        channels
            << QStringLiteral("\tChannelList\t\tList%1\t\t%2\t\thttp://lists/%1").arg(l).arg(l % 2 ? "False" : "True");
        for (int c = 0; c < 20; ++c)
            channels
                << QStringLiteral("\t\tChannel\t\tP\t\tl%1.c%2\t\tCam %1-%2\t\thttp://127.0.0.1:1/%1/%2").arg(l).arg(c);
    }
    f.close();
    f.dir.write("ChannelList.txt", ListFileBytes(channels));
    f.open();
    f.close();
    const QByteArray before[] = {f.dir.read("ChannelList.txt"), f.dir.read("Favorite.txt"),
                                 f.dir.read("MultiMonitor.txt")};
    f.open();
    w().resize(400, 300);
    QTest::qWait(50);
    QTreeView* view = tree()->Tree();
    auto expandedNodes = [&] {
        QStringList out;
        w().TreeModel()->Walk([&](TreeNode* n) {
            if (view->isExpanded(w().TreeModel()->IndexOf(n))) out << n->Text();
            return true;
        });
        return out;
    };
    tree()->SetCurrentNode(findNode(MakeTag(NodeKind::Channel, "l2.c7")));
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    const QStringList expanded = expandedNodes();
    const int scroll = view->verticalScrollBar()->value();
    ASSERT_GT(scroll, 0);

    tree()->FocusSearch();
    QTest::keyClicks(tree()->SearchField(), "c1");
    QTreeView* results = tree()->Results();
    QTest::keyClick(tree()->SearchField(), Qt::Key_Down);
    for (int i = 0; i < 3; ++i) QTest::keyClick(results, Qt::Key_Down);
    QTest::keyClick(results, Qt::Key_Return);  // opens a channel
    QTest::keyClick(results, Qt::Key_Left);    // and collapses, among the results only
    results->collapseAll();
    results->expand(results->model()->index(0, 0));
    QTest::keyClick(results, Qt::Key_Escape);

    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(results->isVisible());
    EXPECT_EQ(expandedNodes(), expanded);
    EXPECT_EQ(tree()->CurrentNode(), findNode(MakeTag(NodeKind::Channel, "l2.c7")));
    EXPECT_EQ(view->verticalScrollBar()->value(), scroll);
    EXPECT_EQ(tabs().size(), 1);
    f.close();
    EXPECT_EQ(f.dir.read("ChannelList.txt"), before[0]);
    EXPECT_EQ(f.dir.read("Favorite.txt"), before[1]);
    EXPECT_EQ(f.dir.read("MultiMonitor.txt"), before[2]);
}

// Where the focus is shows: the tree's frame and the search field's take the
// highlight colour while they have it, and Tab goes from the tree to the search.
TEST_F(TreeKeys, TheFocusIsVisibleAndGoesFromTheTreeToTheSearch) {
    QTreeView* view = tree()->Tree();
    QLineEdit* field = tree()->SearchField();
    const QColor highlight = view->palette().color(QPalette::Highlight);
    auto edge = [&](QWidget* w) { return w->grab().toImage().pixelColor(0, w->height() / 2); };
    view->setFocus();
    QTest::qWait(20);
    EXPECT_EQ(edge(view), highlight);
    const QColor fieldAlone = edge(field);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(field->hasFocus());
    QTest::qWait(20);
    EXPECT_NE(edge(view), highlight);
    EXPECT_NE(edge(field), fieldAlone);
}

}  // namespace
