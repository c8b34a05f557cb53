#include "WatchingFixture.h"

#include "view/ShowAreaWidget.h"

#include <QMenu>

namespace {

class Commands : public WatchingFixture {
protected:
    void SetUp() override {
        pub.add({"ch.a", "Alpha", "1", 0, 1, QColor(200, 40, 40), {80, 60}, {80, 60}, {}});
        pub.add({"ch.b", "Beta", "2", 0, 1, QColor(40, 200, 40), {80, 60}, {80, 60}, {}});
        pub.add({"ch.c", "Gamma", "3", 0, 1, QColor(40, 40, 200), {80, 60}, {80, 60}, {}});
        writeLists({"ch.a", "ch.b", "ch.c"}, {{"監視", {"ch.a", "ch.b"}}, {"別", {"ch.b"}}});
        f.open();
    }
    // Each channel's view flag.
    QStringList channels() {
        QStringList out;
        for (const char* id : {"ch.a", "ch.b", "ch.c"}) out << QString::number(channel(id)->ViewFlag());
        return out;
    }
    void popupCommand(const QString& nodeTag, const QString& item, const QString& answer = QString()) {
        f.inputAnswers = {answer};
        TreeNode* node = findNode(nodeTag);
        ASSERT_NE(node, nullptr) << nodeTag.toStdString();
        QTreeView* tree = w().tvwChannelSelect()->Tree();
        const QModelIndex index = w().TreeModel()->IndexOf(node);
        tree->scrollTo(index);
        QTest::mouseClick(tree->viewport(), Qt::RightButton, {}, tree->visualRect(index).center());
        ASSERT_FALSE(f.popups.isEmpty());
        for (QAction* a : w().Popup(f.popups.last())->actions())
            if (a->text() == item && a->isVisible()) return a->trigger();
        FAIL() << "no item " << item.toStdString() << " in " << f.popups.last().toStdString();
    }
    QStringList addEntries() {
        QStringList out;
        for (QAction* a : w().mnuAddChannelToMultiMonitorFolder())
            out << (a->isVisible() ? a->text() + "=" + a->data().toString() : "hidden");
        return out;
    }
};

TEST_F(Commands, DropDownAddsAndRemovesTheSelectedChannel) {
    w().OpenChannelTab("ch.c");
    EXPECT_EQ(dropDown(), (QStringList{notMember(QStringLiteral("監視")), notMember(QStringLiteral("別"))}));
    const int elements = w().imgChannelShow().Count();
    w().tbrNormal_ButtonMenuClick(w().FolderDropDown()->actions()[1]);
    EXPECT_EQ(folder("2")->Members(), (QStringList{"ch.b", "ch.c"}));
    EXPECT_EQ(w().imgChannelShow().Count(), elements + 1);
    EXPECT_EQ(dropDown(), (QStringList{notMember(QStringLiteral("監視")), member(QStringLiteral("別"))}));
    EXPECT_NE(findNode(NodeKind::MultiMonitorChannel, "ch.c"), nullptr);
    // The folder's tab is not open: the new box is not active.
    EXPECT_FALSE(channel("ch.c")->ThumbnailIsActive(channel("ch.c")->getThumbnailShowBoxIndexFromMultiMonitorID("2")));
    w().tbrNormal_ButtonMenuClick(w().FolderDropDown()->actions()[1]);
    EXPECT_EQ(folder("2")->Members(), QStringList{"ch.b"});
    EXPECT_EQ(dropDown(), (QStringList{notMember(QStringLiteral("監視")), notMember(QStringLiteral("別"))}));
    EXPECT_EQ(findNode(NodeKind::MultiMonitorChannel, "ch.c"), nullptr);
}

TEST_F(Commands, FoldersAreAddedRenamedAndRemovedWithTheirNodesTabsAndEntries) {
    w().OpenChannelTab("ch.b");  // a member of both folders
    EXPECT_EQ(dropDown(), (QStringList{member(QStringLiteral("監視")), member(QStringLiteral("別"))}));
    w().OpenMultiMonitorTab("1");  // selects its first member, ch.a
    EXPECT_EQ(dropDown(), (QStringList{member(QStringLiteral("監視")), notMember(QStringLiteral("別"))}));
    popupCommand(MakeTag(NodeKind::MultiMonitorFolder, "1"), QStringLiteral("フォルダー名の変更"),
                 QStringLiteral("改名"));
    EXPECT_EQ(f.inputInitials, QStringList{QStringLiteral("監視")});  // the box holds the name to edit
    EXPECT_EQ(findNode(NodeKind::MultiMonitorFolder, "1")->Text(), QStringLiteral("改名"));
    EXPECT_EQ(w().TabCaption(2), QStringLiteral("改名"));
    EXPECT_EQ(dropDown()[0], member(QStringLiteral("改名")));
    EXPECT_EQ(addEntries().value(1), QStringLiteral("改名に追加=1"));

    // The removed folder's popup entry only hides.
    popupCommand(MakeTag(NodeKind::MultiMonitorFolder, "1"), QStringLiteral("このフォルダーの削除"));
    EXPECT_EQ(findNode(NodeKind::MultiMonitorFolder, "1"), nullptr);
    EXPECT_EQ(findNode(NodeKind::MultiMonitorChannel, "ch.a"), nullptr);
    EXPECT_EQ(tabs(), QStringList{"*" + channelTab("ch.b")});
    EXPECT_EQ(selected(), "ch.b");
    EXPECT_EQ(channels(), (QStringList{"0", "2", "0"}));  // ch.a was only shown by the removed folder
    for (const char* answer : {"", "   ", "\t"})
        popupCommand(MakeTag(NodeKind::MultiMonitorRoot), QStringLiteral("フォルダーの追加"), answer);
    EXPECT_EQ(f.inputInitials.mid(1), (QStringList{"", "", ""}));  // a new folder starts empty
    EXPECT_EQ(w().MultiMonitorRoot()->ChildCount(), 1);
    EXPECT_EQ(w().MultiMonitorManeger()->MultiMonitorCount(), 2);
    popupCommand(MakeTag(NodeKind::MultiMonitorRoot), QStringLiteral("フォルダーの追加"),
                 QStringLiteral("新\tしい\nフォルダー"));
    ASSERT_EQ(w().MultiMonitorRoot()->ChildCount(), 2);
    TreeNode* node = w().MultiMonitorRoot()->Child(1);
    EXPECT_EQ(node->Text(), QStringLiteral("新 しい フォルダー"));
    EXPECT_EQ(frmMain::NodeTag(node), MakeTag(NodeKind::MultiMonitorFolder, "3"));
    EXPECT_TRUE(node->Expanded());
    EXPECT_EQ(dropDown(), (QStringList{member(QStringLiteral("別")), notMember(QStringLiteral("新 しい フォルダー"))}));
    EXPECT_EQ(addEntries().mid(1),
              (QStringList{"hidden", QStringLiteral("別に追加=2"), QStringLiteral("新 しい フォルダーに追加=3")}));
}

TEST_F(Commands, MembersFromTheChannelPopup) {
    w().OpenMultiMonitorTab("2");
    const int elements = w().imgChannelShow().Count();
    // ch.b is a member already (the node spells it in other case): nothing new.
    w().SetNodeTag(findNode(NodeKind::Channel, "ch.b"), MakeTag(NodeKind::Channel, "CH.B"));
    popupCommand(MakeTag(NodeKind::Channel, "CH.B"), QStringLiteral("別に追加"));
    EXPECT_EQ(w().imgChannelShow().Count(), elements);
    EXPECT_EQ(folder("2")->Members(), QStringList{"ch.b"});
    // A new member of the open folder is active and fetches at once.
    popupCommand(MakeTag(NodeKind::Channel, "ch.c"), QStringLiteral("別に追加"));
    EXPECT_EQ(w().imgChannelShow().Count(), elements + 1);
    EXPECT_EQ(folder("2")->Members(), (QStringList{"ch.b", "ch.c"}));
    EXPECT_EQ(channels(), (QStringList{"0", "4", "4"}));
    ASSERT_TRUE(waitUntil([&] { return channel("ch.c")->PictureType() == PictureKind::Thumbnail; }));
    PictureElement* added = folder("2")->ShowBox()[2];
    EXPECT_TRUE(added->Visible);
    popupCommand(MakeTag(NodeKind::MultiMonitorChannel, "ch.c"), QStringLiteral("このチャンネルの削除"));
    EXPECT_EQ(folder("2")->Members(), QStringList{"ch.b"});
    EXPECT_EQ(channels(), (QStringList{"0", "4", "0"}));
    EXPECT_EQ(findNode(NodeKind::MultiMonitorChannel, "ch.c"), nullptr);
    EXPECT_EQ(folder("2")->ShowBox().size(), 2);
    EXPECT_FALSE(added->Visible);
    EXPECT_FALSE(w().cntShowBox()->Label(2).Visible);
}

}  // namespace
