#include "WatchingFixture.h"

#include "channel/HTTPTransfer.h"
#include "storage/frmSetting.h"
#include "view/ShowAreaWidget.h"
#include "view/TabStripWidget.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

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
    QAction* button(const char* key) { return w().ToolbarButton(QLatin1String(key)); }
    // A right click on a node, then the chosen popup item, as a user does.
    void popupCommand(const QString& nodeTag, const QString& item) {
        clickNode(findNode(nodeTag), Qt::RightButton);
        ASSERT_FALSE(f.popups.isEmpty());
        QMenu* menu = w().Popup(f.popups.last());
        for (QAction* a : menu->actions())
            if (a->text() == item && a->isVisible()) {
                a->trigger();
                return;
            }
        FAIL() << "no item " << item.toStdString() << " in " << f.popups.last().toStdString();
    }
    QStringList dropDownTexts() {
        QStringList out;
        for (QAction* a : w().FolderDropDown()->actions()) out << a->text();
        return out;
    }
};

// ---- Toolbar -------------------------------------------------------------------

TEST_F(Commands, ToolbarButtonsActOnTheSelectedChannelAndFollowIt) {
    // Nothing happens without a selected channel.
    button("tbrNormlKey_NormalView")->trigger();
    button("tbrNormlKey_SavePicture")->trigger();
    button("tbrNormlKey_Folder")->trigger();
    for (const char* id : {"ch.a", "ch.b", "ch.c"}) {
        EXPECT_EQ(channel(id)->ViewFlag(), 0);
        EXPECT_FALSE(channel(id)->SavePicture());
        EXPECT_FALSE(channel(id)->BelongFavarite());
    }

    w().OpenChannelTab("ch.c");
    EXPECT_TRUE(button("tbrNormlKey_NormalView")->isChecked());
    button("tbrNormlKey_NormalView")->trigger();  // released: normal viewing off
    EXPECT_EQ(channel("ch.c")->ViewFlag() & 2, 0);
    EXPECT_FALSE(button("tbrNormlKey_NormalView")->isChecked());
    button("tbrNormlKey_NormalView")->trigger();
    EXPECT_EQ(channel("ch.c")->ViewFlag() & 2, 2);

    // Thumbnail viewing from a channel tab marks no folder's box active.
    button("tbrNormlKey_ThumbnailView")->trigger();
    EXPECT_EQ(channel("ch.c")->ViewFlag() & 4, 4);
    EXPECT_TRUE(button("tbrNormlKey_ThumbnailView")->isChecked());

    button("tbrNormlKey_SavePicture")->trigger();
    EXPECT_TRUE(channel("ch.c")->SavePicture());
    EXPECT_TRUE(button("tbrNormlKey_SavePicture")->isChecked());

    // The folder button toggles the favourite: image 6 → 4 → 6, node follows.
    EXPECT_EQ(w().ToolbarFolderImage(), 6);
    button("tbrNormlKey_Folder")->trigger();
    EXPECT_TRUE(channel("ch.c")->BelongFavarite());
    EXPECT_EQ(w().ToolbarFolderImage(), 4);
    EXPECT_NE(findNode("FavariteChannel_ch.c"), nullptr);
    button("tbrNormlKey_Folder")->trigger();
    EXPECT_FALSE(channel("ch.c")->BelongFavarite());
    EXPECT_EQ(w().ToolbarFolderImage(), 6);
    EXPECT_EQ(findNode("FavariteChannel_ch.c"), nullptr);

    // Close closes the selected tab.
    button("tbrNormlKey_Close")->trigger();
    EXPECT_EQ(w().TabTag(1), "");
    EXPECT_EQ(channel("ch.c")->ViewFlag() & 2, 0);
}

TEST_F(Commands, DropDownAddsAndRemovesTheSelectedChannel) {
    w().OpenChannelTab("ch.c");
    EXPECT_EQ(dropDownTexts(), (QStringList{QStringLiteral("　 監視"), QStringLiteral("　 別")}));
    const int elements = w().imgChannelShow().Count();
    w().tbrNormal_ButtonMenuClick(w().FolderDropDown()->actions()[1]);
    EXPECT_TRUE(folder("2")->IsRegistedChannel("ch.c"));
    EXPECT_EQ(w().imgChannelShow().Count(), elements + 1);
    EXPECT_EQ(dropDownTexts(), (QStringList{QStringLiteral("　 監視"), QStringLiteral("υ 別")}));
    EXPECT_NE(findNode("MultiMonitorChannel_ch.c"), nullptr);
    // The folder's tab is not open: the new box is not active.
    EXPECT_FALSE(channel("ch.c")->ThumbnailIsActive(channel("ch.c")->getThumbnailShowBoxIndexFromMultiMonitorID("2")));
    w().tbrNormal_ButtonMenuClick(w().FolderDropDown()->actions()[1]);
    EXPECT_FALSE(folder("2")->IsRegistedChannel("ch.c"));
    EXPECT_EQ(dropDownTexts(), (QStringList{QStringLiteral("　 監視"), QStringLiteral("　 別")}));
    EXPECT_EQ(findNode("MultiMonitorChannel_ch.c"), nullptr);
}

TEST_F(Commands, ClosingAFolderTabFromTheToolbarSwitchesEveryMemberOff) {
    w().OpenMultiMonitorTab("2");  // 別: ch.b
    w().OpenMultiMonitorTab("1");  // 監視: ch.a, ch.b
    EXPECT_EQ(channel("ch.b")->ViewFlag() & 4, 4);
    ASSERT_FALSE(w().ChannelManeger()->SelectedChannelID().isEmpty());
    button("tbrNormlKey_Close")->trigger();
    // Also ch.b, although 別 still shows it (the popup's close keeps it).
    EXPECT_EQ(channel("ch.a")->ViewFlag() & 4, 0);
    EXPECT_EQ(channel("ch.b")->ViewFlag() & 4, 0);
    EXPECT_EQ(w().SelectedTabTag(), "MultiMonitor_2");

    w().OpenMultiMonitorTab("1");
    w().mnuCloseMultiMonitorTab_Click();
    EXPECT_EQ(channel("ch.a")->ViewFlag() & 4, 0);
    EXPECT_EQ(channel("ch.b")->ViewFlag() & 4, 4);  // 別 is open and still shows it
}

// ---- Folders -------------------------------------------------------------------

TEST_F(Commands, AddingAFolderNeedsAName) {
    f.inputAnswers = {"", "   ", "\t"};
    for (int i = 0; i < 3; ++i) popupCommand("MultiMonitorRoot_", QStringLiteral("フォルダーの追加"));
    EXPECT_EQ(w().MultiMonitorRoot()->childCount(), 2);
    EXPECT_EQ(w().MultiMonitorManeger()->MultiMonitorCount(), 2);

    f.inputAnswers = {"新\tしい\nフォルダー"};
    popupCommand("MultiMonitorRoot_", QStringLiteral("フォルダーの追加"));
    ASSERT_EQ(w().MultiMonitorRoot()->childCount(), 3);
    QTreeWidgetItem* node = w().MultiMonitorRoot()->child(2);
    EXPECT_EQ(node->text(0), QStringLiteral("新 しい フォルダー"));  // nothing that breaks a list line
    EXPECT_EQ(frmMain::NodeTag(node), "MultiMonitorFolder_3");
    EXPECT_TRUE(node->isExpanded());
    EXPECT_EQ(dropDownTexts().last(), QStringLiteral("　 新 しい フォルダー"));
    EXPECT_EQ(w().mnuAddChannelToMultiMonitorFolder().last()->text(), QStringLiteral("新 しい フォルダーに追加"));
}

TEST_F(Commands, RenameKeepsMarkersAndRemoveHidesOnlyItsOwnEntries) {
    w().OpenChannelTab("ch.b");  // a member of both folders
    EXPECT_EQ(dropDownTexts(), (QStringList{QStringLiteral("υ 監視"), QStringLiteral("υ 別")}));
    w().OpenMultiMonitorTab("1");  // selects its first member, ch.a
    EXPECT_EQ(dropDownTexts(), (QStringList{QStringLiteral("υ 監視"), QStringLiteral("　 別")}));
    f.inputAnswers = {"改名"};
    popupCommand("MultiMonitorFolder_1", QStringLiteral("フォルダー名の変更"));
    EXPECT_EQ(findNode("MultiMonitorFolder_1")->text(0), QStringLiteral("改名"));
    EXPECT_EQ(w().TabCaption(w().getTabIndexFromTag("MultiMonitor_1")), QStringLiteral("改名"));
    EXPECT_EQ(dropDownTexts()[0], QStringLiteral("υ 改名"));
    EXPECT_EQ(w().mnuAddChannelToMultiMonitorFolder()[1]->text(), QStringLiteral("改名に追加"));

    // Remove 監視 (its tab is selected): nodes, tab and entries go; 別 stays
    // where it was, and the popup entry of the removed folder only hides.
    popupCommand("MultiMonitorFolder_1", QStringLiteral("このフォルダーの削除"));
    EXPECT_EQ(findNode("MultiMonitorFolder_1"), nullptr);
    EXPECT_EQ(findNode("MultiMonitorChannel_ch.a"), nullptr);
    EXPECT_EQ(w().getTabIndexFromTag("MultiMonitor_1"), -1);
    EXPECT_EQ(w().SelectedTabTag(), "Channel_ch.b");
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.b");
    EXPECT_EQ(dropDownTexts(), (QStringList{QStringLiteral("υ 別")}));
    const QList<QAction*> popup = w().mnuAddChannelToMultiMonitorFolder();
    ASSERT_EQ(popup.size(), 3);
    EXPECT_FALSE(popup[1]->isVisible());
    EXPECT_TRUE(popup[2]->isVisible());
    EXPECT_EQ(popup[2]->data().toString(), "2");
    // ch.a was only shown by the removed folder: it stops fetching.
    EXPECT_EQ(channel("ch.a")->ViewFlag(), 0);
    // A new folder gets a new identifier and a new entry.
    f.inputAnswers = {"三"};
    popupCommand("MultiMonitorRoot_", QStringLiteral("フォルダーの追加"));
    EXPECT_EQ(w().mnuAddChannelToMultiMonitorFolder().size(), 4);
    EXPECT_EQ(w().mnuAddChannelToMultiMonitorFolder()[3]->data().toString(), "3");
}

TEST_F(Commands, RemovingAFolderWhoseTabIsOpenButNotSelected) {
    w().OpenMultiMonitorTab("1");
    w().OpenChannelTab("ch.c");
    ASSERT_EQ(w().TabCount(), 2);
    popupCommand("MultiMonitorFolder_1", QStringLiteral("このフォルダーの削除"));
    EXPECT_EQ(w().TabCount(), 1);
    EXPECT_EQ(w().SelectedTabTag(), "Channel_ch.c");
    EXPECT_EQ(w().ChannelManeger()->SelectedChannelID(), "ch.c");
    EXPECT_EQ(channel("ch.a")->ViewFlag() & 4, 0);
    EXPECT_EQ(channel("ch.b")->ViewFlag() & 4, 0);
}

TEST_F(Commands, MembersFromTheChannelPopup) {
    w().OpenMultiMonitorTab("2");
    const int elements = w().imgChannelShow().Count();
    // ch.b is a member already (the node spells it in other case): nothing new.
    frmMain::SetNodeTag(findNode("Channel_ch.b"), "Channel_CH.B");
    popupCommand("Channel_CH.B", QStringLiteral("別に追加"));
    EXPECT_EQ(w().imgChannelShow().Count(), elements);
    EXPECT_EQ(folder("2")->Members(), QStringList{"ch.b"});
    // A new member of the open folder is active and fetches at once.
    popupCommand("Channel_ch.c", QStringLiteral("別に追加"));
    EXPECT_EQ(w().imgChannelShow().Count(), elements + 1);
    EXPECT_EQ(folder("2")->Members(), (QStringList{"ch.b", "ch.c"}));
    EXPECT_EQ(channel("ch.c")->ViewFlag() & 4, 4);
    ASSERT_TRUE(waitUntil([&] { return channel("ch.c")->PictureType() == 2; }));
    EXPECT_TRUE(folder("2")->ShowBox()[2]->Visible);
    // Removing it from its node switches it off and takes it off the grid.
    popupCommand("MultiMonitorChannel_ch.c", QStringLiteral("このチャンネルの削除"));
    EXPECT_EQ(folder("2")->Members(), QStringList{"ch.b"});
    EXPECT_EQ(channel("ch.c")->ViewFlag() & 4, 0);
    EXPECT_EQ(findNode("MultiMonitorChannel_ch.c"), nullptr);
    EXPECT_EQ(folder("2")->ShowBox().size(), 2);
}

// ---- Favourites ----------------------------------------------------------------

TEST_F(Commands, FavouritesKeepOneNodeAndTheirOrderAcrossARestart) {
    for (const char* id : {"Channel_ch.c", "Channel_ch.a", "Channel_ch.c"})
        popupCommand(id, QStringLiteral("お気に入りに追加"));
    ASSERT_EQ(w().FavariteRoot()->childCount(), 2);
    EXPECT_EQ(frmMain::NodeTag(w().FavariteRoot()->child(0)), "FavariteChannel_ch.c");
    EXPECT_EQ(w().FavariteRoot()->child(0)->text(0), "Gamma");
    // Another channel's change leaves the selected channel's image alone.
    w().OpenChannelTab("ch.b");
    EXPECT_EQ(w().ToolbarFolderImage(), 6);
    popupCommand("FavariteChannel_ch.a", QStringLiteral("お気に入りから削除"));
    EXPECT_EQ(w().FavariteRoot()->childCount(), 1);
    EXPECT_NE(findNode("Channel_ch.a"), nullptr);  // the channel's own node stays
    popupCommand("Channel_ch.b", QStringLiteral("お気に入りに追加"));
    EXPECT_EQ(w().ToolbarFolderImage(), 4);  // the selected one
    f.close();

    f.open();
    ASSERT_EQ(w().FavariteRoot()->childCount(), 2);
    EXPECT_EQ(frmMain::NodeTag(w().FavariteRoot()->child(0)), "FavariteChannel_ch.c");
    EXPECT_EQ(frmMain::NodeTag(w().FavariteRoot()->child(1)), "FavariteChannel_ch.b");
}

// ---- Settings and About ------------------------------------------------------

TEST_F(Commands, TheSettingsCommandEditsTheWindowsValues) {
    w().OpenChannelTab("ch.a");
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<frmSetting*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->txtTimeOut->setText(" 30 ");
        dialog->cmdOK->click();
    });
    w().mnuSetting_Click();
    EXPECT_EQ(w().Settings().Timeout, 30);
    EXPECT_EQ(channel("ch.a")->HTTP()->RequestTimeout, 30);
    f.close();
    EXPECT_TRUE(f.dir.read("Vantomon.ini").contains("Timeout=30"));
}

TEST_F(Commands, AboutShowsTheVersionOfTheBuild) {
    EXPECT_TRUE(frmMain::AboutText().startsWith("Vantora ver 0.4.7\r\n\r\n"));
    EXPECT_EQ(frmMain::AboutText().count("\r\n"), 2);
    w().mnuAbout_Click();
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].startsWith(QStringLiteral("バージョン情報: Vantora ver 0.4.7")));
}

}  // namespace
