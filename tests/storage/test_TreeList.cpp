#include <gtest/gtest.h>

#include "ViewerFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <QTreeWidget>

namespace {

QByteArray sjis(const QStringList& lines) { return Cp932::encode(lines.join("\r\n") + "\r\n"); }

// Another start reads what the last exit wrote and writes it again unchanged.
void expectARestartKeepsTheFiles(ViewerFixture& f) {
    const char* names[] = {"ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"};
    QByteArray before[3];
    for (int i = 0; i < 3; ++i) before[i] = f.dir.read(names[i]);
    f.open();
    f.close();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(f.dir.read(names[i]), before[i]) << names[i];
}

// Each file mixes good records with lines the loader cannot place; those
// are skipped. The ones with a field of spaces only, or with a record of the
// channel tree in another file, were found by fuzzing: written back they
// shifted fields or lost their channel at the next start.
const QStringList kChannelList = {
    "Node\t日本\tTrue",
    "\tNode\t東京\tFalse",
    "\t\tChannelList\t\t局リスト\t\tTrue\t\thttp://lists.example/tokyo.txt",
    "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch01\t\t東京一\t\thttp://h/ch01.txt\t\tFalse",
    "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch02\t\t東京二\t\thttp://h/ch02.txt\t\tTrue",
    "\tChannelList\t\t大阪\t\tFalse\t\thttp://lists.example/osaka.txt",
    "\t\tChannel\t\tVNT1\t\tJP.TOKYO.CH01\t\t重複\t\thttp://h/dup.txt\t\tFalse",
    // Skipped: tabs only, spaces only, no parent, too few fields, too deep, a bad Boolean, unknown, empty fields.
    "\t\t\t\t", "   ", "Channel\t\tP\t\tdepth0\t\tN\t\thttp://h/x.txt\t\tFalse", "\tChannel\t\tP\t\ttoo.few",
    "\t\t\t\t\t\t\tNode\tdeep\tTrue", "Node\tbad\tmaybe", "Weird\t\tstuff", "\t\tChannel\t\t \t\tno.protocol\t\tn\t\thttp://h/a\t\tFalse",
    // Single tabs, spaces around fields, a Boolean in other case.
    "ChannelList\t海外\t  True  \thttp://lists.example/world.txt",
    "\tChannel\tVNT1\tworld.ch03\tWorld Three\thttp://h/ch03.txt\ttrue",
    "Node\t  \tTrue", "ChannelList\t\tl\t\tTrue\t\t   ",  // skipped
};
const QStringList kFavorites = {
    "FavariteRoot\t\t好きな局\t\tTrue",   "\tFavariteChannel\t\tjp.tokyo.ch02", "\tFavariteChannel\t\tunknown.ch",
    "\tFavariteChannel\t\tJP.TOKYO.CH02", "\tFavariteChannel\t\tworld.ch03",
    // Skipped: channel tree records.
    "\tNode\t東京\tFalse", "\t\tChannel\t\tP\t\tunder.favorites\t\t名\t\thttp://h/a\t\tFalse",
    "\tChannel\t\tP\t\tbeside.favorites\t\t名\t\thttp://h/b\t\tFalse",
};
const QStringList kFolders = {
    "MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
    "\t\tMultiMonitorChannel\t\tjp.tokyo.ch01",   "\t\tMultiMonitorChannel\t\tnothere",
    "\t\tChannelList\t\tL\t\tTrue\t\thttp://l/", "\t\tChannel\t\tP\t\tin.folder\t\t名\t\thttp://h/c\t\tFalse",  // skipped
    "\t\tMultiMonitorChannel\t\tWORLD.CH03",      "\tMultiMonitorFolder\t\t空\t\tFalse",
    "\tMultiMonitorFolder\t\t  \t\tTrue", "MultiMonitorRoot\t\t \t\tFalse",  // skipped: empty texts
};

TEST(TreeList, LoadAndSaveKeepEveryRecordWithItsNormalisations) {
    ViewerFixture f;
    f.dir.write("ChannelList.txt", sjis(kChannelList));
    f.dir.write("Favorite.txt", sjis(kFavorites));
    f.dir.write("MultiMonitor.txt", sjis(kFolders));
    frmMain& w = f.open();

    clsChannelManeger* channels = w.ChannelManeger();
    ASSERT_EQ(channels->ChannelCount(), 3);  // none from records outside the channel tree
    EXPECT_EQ(channels->ChannelAt(1)->ChannelID(), "jp.tokyo.ch01");
    EXPECT_EQ(channels->ChannelAt(3)->ChannelID(), "world.ch03");
    EXPECT_TRUE(channels->ChannelAt(2)->SavePicture());
    EXPECT_TRUE(channels->ChannelAt(3)->SavePicture());
    EXPECT_TRUE(channels->Channel("JP.TOKYO.CH02")->BelongFavarite());
    // Template + three channels + two members; the spares are gone.
    EXPECT_EQ(w.imgChannelShow().Count(), 6);
    clsMultiMonitorFolder* folder = w.MultiMonitorManeger()->MultiMonitor("1");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->Members(), (QStringList{"jp.tokyo.ch01", "world.ch03"}));
    EXPECT_EQ(w.MultiMonitorManeger()->MultiMonitor("3"), nullptr);  // no folder without a name
    EXPECT_EQ(w.FavariteRoot()->text(0), QStringLiteral("好きな局"));
    ASSERT_EQ(w.FavariteRoot()->childCount(), 2);  // the favourites, nothing else
    EXPECT_EQ(frmMain::NodeTag(w.FavariteRoot()->child(0)), "FavariteChannel_jp.tokyo.ch02");
    EXPECT_EQ(w.FavariteRoot()->child(0)->text(0), QStringLiteral("東京二"));
    // Roots: マルチモニター, お気に入り, then the list's roots in file order.
    ASSERT_EQ(w.tvwChannelSelect()->topLevelItemCount(), 4);
    EXPECT_EQ(frmMain::NodeTag(w.tvwChannelSelect()->topLevelItem(3)), "ChannelList_http://lists.example/world.txt");
    f.close();

    EXPECT_EQ(f.dir.read("ChannelList.txt"),
              sjis({"Node\t日本\tTrue", "\tNode\t東京\tFalse",
                    "\t\tChannelList\t\t局リスト\t\tTrue\t\thttp://lists.example/tokyo.txt",
                    "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch01\t\t東京一\t\thttp://h/ch01.txt\t\tFalse",
                    "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch02\t\t東京二\t\thttp://h/ch02.txt\t\tTrue",
                    "\tChannelList\t\t大阪\t\tFalse\t\thttp://lists.example/osaka.txt",
                    // The second node of a known channel writes that channel.
                    "\t\tChannel\t\tVNT1\t\tjp.tokyo.ch01\t\t東京一\t\thttp://h/ch01.txt\t\tFalse",
                    "ChannelList\t\t海外\t\tTrue\t\thttp://lists.example/world.txt",
                    "\tChannel\t\tVNT1\t\tworld.ch03\t\tWorld Three\t\thttp://h/ch03.txt\t\tTrue"}));
    EXPECT_EQ(f.dir.read("Favorite.txt"), sjis({"FavariteRoot\t\t好きな局\t\tTrue", "\tFavariteChannel\t\tjp.tokyo.ch02",
                                               "\tFavariteChannel\t\tworld.ch03"}));
    EXPECT_EQ(f.dir.read("MultiMonitor.txt"),
              sjis({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
                    "\t\tMultiMonitorChannel\t\tjp.tokyo.ch01", "\t\tMultiMonitorChannel\t\tworld.ch03",
                    "\tMultiMonitorFolder\t\t空\t\tFalse"}));
    expectARestartKeepsTheFiles(f);
}

TEST(TreeList, LineEndsAndEncodings) {
    ViewerFixture f;
    // LF only (edited on Linux) and UTF-8: read as lines, written back as UTF-8.
    f.dir.write("ChannelList.txt",
                QStringLiteral(
                    "ChannelList\t\tリスト\t\tTrue\t\thttp://l/\n\tChannel\t\tP\t\ta\t\t名前\t\thttp://h/a\t\tFalse\n")
                    .toUtf8());
    f.dir.write("Favorite.txt", "FavariteRoot\t\tFav\t\tFalse\r\tFavariteChannel\t\ta\r");
    frmMain& w = f.open();
    EXPECT_EQ(w.ChannelManeger()->ChannelCount(), 1);
    EXPECT_TRUE(w.ChannelManeger()->Channel("a")->BelongFavarite());
    f.close();
    EXPECT_EQ(
        f.dir.read("ChannelList.txt"),
        QStringLiteral(
            "ChannelList\t\tリスト\t\tTrue\t\thttp://l/\r\n\tChannel\t\tP\t\ta\t\t名前\t\thttp://h/a\t\tFalse\r\n")
            .toUtf8());
    EXPECT_EQ(f.dir.read("Favorite.txt"), QByteArray("FavariteRoot\t\tFav\t\tFalse\r\n\tFavariteChannel\t\ta\r\n"));
}

TEST(TreeList, AFailedWriteLeavesTheOldFileWholeAndIsReportedOnce) {
    ViewerFixture f;
    f.dir.write("ChannelList.txt", sjis(kChannelList));
    const QByteArray original = f.dir.read("ChannelList.txt");
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
    // The other files are still written.
    for (const char* name : {"Favorite.txt", "MultiMonitor.txt", "Vantomon.ini"}) EXPECT_TRUE(f.dir.exists(name)) << name;
}

TEST(TreeList, HugeDepthAndGarbageNeverCrash) {
    ViewerFixture f;
    QStringList lines;
    for (int d = 0; d < 400; ++d) lines << QString(d, '\t') + "Node\tn" + QString::number(d) + "\tTrue";
    lines << QString(100000, '\t') + "Node\tfar\tTrue";
    lines << QString(5000, 'x') << "\t\t\tChannel"
          << "Channel"
          << "\x01\x02\t\t\x03";
    f.dir.write("ChannelList.txt", sjis(lines));
    f.dir.write("MultiMonitor.txt",
                "\tMultiMonitorChannel\t\tx\r\nMultiMonitorFolder\t\tA\r\n\tMultiMonitorChannel\r\n");
    frmMain& w = f.open();
    EXPECT_EQ(w.ChannelManeger()->ChannelCount(), 0);
    f.close();
    // The deep chain is kept as far as the tree can hold it.
    const QStringList written = Cp932::decode(f.dir.read("ChannelList.txt")).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_GT(written.size(), 200);
    EXPECT_LT(written.size(), 400);
}

}  // namespace
