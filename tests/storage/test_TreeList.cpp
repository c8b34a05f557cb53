// The viewer's three list files, loaded at start-up and written at exit.

#include <gtest/gtest.h>

#include "ListFixtures.h"
#include "Rows.h"
#include "ViewerFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/NodeTag.h"

namespace {

const char* const kFiles[] = {"ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"};

// Another start reads what the last exit wrote and writes it again unchanged.
void expectARestartKeepsTheFiles(ViewerFixture& f) {
    QByteArray before[3];
    for (int i = 0; i < 3; ++i) before[i] = f.dir.read(kFiles[i]);
    f.open();
    f.close();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(f.dir.read(kFiles[i]), before[i]) << kFiles[i];
}

// What the records make: channels, favourites, folders and nodes. The files
// written back are the fixture's.
TEST(TreeList, EveryRecordTypeMakesItsChannelsFavouritesFoldersAndNodes) {
    ViewerFixture f;
    const ListFixture c = ListFixtureNamed("viewer", "EveryRecordTypeWithItsNormalisations");
    for (const char* name : kFiles) f.dir.write(name, c.input(name));
    frmMain& w = f.open();

    clsChannelManeger* channels = w.ChannelManeger();
    ASSERT_EQ(channels->ChannelCount(), 3);  // none from records outside the channel tree
    EXPECT_EQ(channels->ChannelAt(3)->ChannelID(), "world.ch03");
    EXPECT_TRUE(channels->ChannelAt(2)->SavePicture() && channels->ChannelAt(3)->SavePicture());
    EXPECT_EQ(w.imgChannelShow().Count(), 6);  // template + three channels + two members; the spares are gone
    EXPECT_EQ(w.MultiMonitorManeger()->MultiMonitor("1")->Members(), (QStringList{"jp.tokyo.ch01", "world.ch03"}));
    EXPECT_EQ(w.MultiMonitorManeger()->MultiMonitor("3"), nullptr);  // no folder without a name
    ASSERT_EQ(w.FavariteRoot()->ChildCount(), 2);                    // the favourites, nothing else
    EXPECT_EQ(w.FavariteRoot()->Child(0)->Text(), QStringLiteral("東京二"));
    // Roots: マルチモニター, お気に入り, then the list's roots in file order.
    ASSERT_EQ(w.TreeModel()->RootCount(), 4);
    EXPECT_EQ(frmMain::NodeTag(w.TreeModel()->Root(3)),
              MakeTag(NodeKind::ChannelList, "http://lists.example/world.txt"));
}

// Each fixture folder: the files found at start-up, and those written at
// exit, which another start writes again unchanged.
class ListFiles : public ::testing::TestWithParam<ListFixture> {};

TEST_P(ListFiles, AreWrittenAsExpectedAndAgainUnchanged) {
    const ListFixture& c = GetParam();
    ViewerFixture f;
    for (const char* name : kFiles)
        if (!c.input(name).isNull()) f.dir.write(name, c.input(name));
    f.open();
    f.close();
    for (const char* name : kFiles) {
        const QByteArray written = f.dir.read(name);
        if (WritingFixtures()) {
            WriteExpected(c, name, f.dir.exists(name) ? &written : nullptr);
            continue;
        }
        EXPECT_EQ(f.dir.exists(name), !c.expected(name).isNull()) << name;
        EXPECT_EQ(written, c.expected(name)) << name << "\n" << written.toStdString();
    }
    expectARestartKeepsTheFiles(f);
}

VANTORA_ROWS(ListFiles, ListFixtures("viewer"));

TEST(TreeList, AFailedWriteLeavesTheOldFileWholeAndIsReportedOnce) {
    ViewerFixture f;
    const QByteArray original =
        ListFileBytes({"ChannelList\t\tL\t\tTrue\t\thttp://l/", "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a"});
    f.dir.write("ChannelList.txt", original);
    frmMain& w = f.open();
    SafeFileTesting::SetWriteFault([](const QString& p) { return p.endsWith("ChannelList.txt"); });
    w.close();
    w.close();  // a second close writes nothing more
    SafeFileTesting::SetWriteFault(nullptr);
    EXPECT_EQ(w.SaveSettingRuns(), 1);
    EXPECT_EQ(f.dir.read("ChannelList.txt"), original);
    ASSERT_EQ(f.messages.size(), 1);
    EXPECT_TRUE(f.messages[0].startsWith(QStringLiteral("保存エラー: ")));
    EXPECT_TRUE(f.messages[0].contains("ChannelList.txt"));
    for (const char* name : {"Favorite.txt", "MultiMonitor.txt", "Vantomon.ini"})  // still written
        EXPECT_TRUE(f.dir.exists(name)) << name;
}

}  // namespace
