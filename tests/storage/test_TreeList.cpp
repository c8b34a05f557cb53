#include <gtest/gtest.h>

#include "ViewerFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"

#include <QTreeWidget>

#include <map>

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
    // Skipped: tabs only, spaces only, no parent, too few fields, too deep, unknown, empty fields.
    "\t\t\t\t", "   ", "Channel\t\tP\t\tdepth0\t\tN\t\thttp://h/x.txt\t\tFalse", "\tChannel\t\tP\t\ttoo.few",
    "\t\t\t\t\t\t\tNode\tdeep\tTrue", "Weird\t\tstuff", "\t\tChannel\t\t \t\tno.protocol\t\tn\t\thttp://h/a\t\tFalse",
    // Single tabs, spaces around fields, a Boolean in other case.
    "ChannelList\t海外\t  True  \thttp://lists.example/world.txt",
    "\tChannel\tVNT1\tworld.ch03\tWorld Three\thttp://h/ch03.txt\ttrue",
    "Node\t  \tTrue",  // skipped
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
    EXPECT_EQ(frmMain::NodeTag(w.FavariteRoot()->child(0)), MakeTag(NodeKind::FavariteChannel, "jp.tokyo.ch02"));
    EXPECT_EQ(w.FavariteRoot()->child(0)->text(0), QStringLiteral("東京二"));
    // Roots: マルチモニター, お気に入り, then the list's roots in file order.
    ASSERT_EQ(w.tvwChannelSelect()->topLevelItemCount(), 4);
    EXPECT_EQ(frmMain::NodeTag(w.tvwChannelSelect()->topLevelItem(3)),
              MakeTag(NodeKind::ChannelList, "http://lists.example/world.txt"));
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

// Damaged records keep what they can: a missing or non-Boolean flag reads
// as False and the record stays with everything under it; a record that is
// still skipped (no name) takes what sits under it along, never handing it
// to an earlier sibling; IDs and record types in other letter case are one.
// Each row gives the lines of some files and the lines written back; the
// files a row leaves out hold two channels, a favourite and a folder.
TEST(TreeList, DamagedRecordsKeepWhatTheyCan) {
    struct File {
        const char* name;
        QStringList in, out;
    };
    const std::map<QString, QStringList> base = {
        {"ChannelList.txt",
         {"ChannelList\t\tL\t\tTrue\t\thttp://l/",
          QStringLiteral("\tChannel\t\tP\t\tjp.t.Cam3\t\tカメラ3\t\thttp://h/c3\t\tTrue"),
          "\tChannel\t\tP\t\tjp.t.cam4\t\tcam4\t\thttp://h/c4\t\tFalse"}},
        {"Favorite.txt", {"FavariteRoot\t\tF\t\tTrue", "\tFavariteChannel\t\tjp.t.Cam3"}},
        {"MultiMonitor.txt", {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue"}},
    };
    const QStringList channelA = {"\t\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a\t\tTrue"};
    const std::vector<std::pair<const char*, std::vector<File>>> rows = {
        {"Node and ChannelList without their flags or with non-Boolean ones",
         {{"ChannelList.txt",
           {"Node\tA", "\tChannelList\t\tL\t\tyes\t\thttp://l/", channelA[0], "Node\tB\tmaybe",
            "\tChannelList\t\tM\t\thttp://m/", "\t\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tFalse"},
           {"Node\tA\tFalse", "\tChannelList\t\tL\t\tFalse\t\thttp://l/", channelA[0], "Node\tB\tFalse",
            "\tChannelList\t\tM\t\tFalse\t\thttp://m/", "\t\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tFalse"}}}},
        {"a Channel without IsSavePicture or with a non-Boolean one keeps its favourite and membership",
         {{"ChannelList.txt",
           {"ChannelList\t\tL\t\tTrue\t\tu", "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a",
            "\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tyes"},
           {"ChannelList\t\tL\t\tTrue\t\tu", "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a\t\tFalse",
            "\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tFalse"}},
          {"Favorite.txt", {"FavariteRoot\t\tF\t\tTrue", "\tFavariteChannel\t\ta"}, {}},
          {"MultiMonitor.txt",
           {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\tb"},
           {}}}},
        {"roots and folders without their flags or with non-Boolean ones",
         {{"Favorite.txt",
           {"FavariteRoot\t\tF", "\tFavariteChannel\t\tjp.t.Cam3"},
           {"FavariteRoot\t\tF\t\tFalse", "\tFavariteChannel\t\tjp.t.Cam3"}},
          {"MultiMonitor.txt",
           {"MultiMonitorRoot\t\tM\t\tno", "\tMultiMonitorFolder\t\tX", "\t\tMultiMonitorChannel\t\tjp.t.cam4",
            "\tMultiMonitorFolder\t\tY\t\t2", "\t\tMultiMonitorChannel\t\tjp.t.Cam3"},
           {"MultiMonitorRoot\t\tM\t\tFalse", "\tMultiMonitorFolder\t\tX\t\tFalse",
            "\t\tMultiMonitorChannel\t\tjp.t.cam4", "\tMultiMonitorFolder\t\tY\t\tTrue",
            "\t\tMultiMonitorChannel\t\tjp.t.Cam3"}}}},
        {"what sits under a skipped record is skipped with it",
         {{"ChannelList.txt",
           {"Node\tA\tTrue", "\tChannelList\t\tL1\t\tTrue\t\tu1", channelA[0], "\tNode\t \tTrue",
            "\t\tChannel\t\tP\t\tunderSkipped\t\tn\t\thttp://h/x\t\tFalse", "\tChannelList\t\tL2\t\tTrue\t\tu2",
            "\t\t\tChannel\t\tP\t\ttooDeep\t\tn\t\thttp://h/y\t\tFalse",
            "\t\tChannel\t\tP\t\tc\t\tn\t\thttp://h/c\t\tFalse"},
           {"Node\tA\tTrue", "\tChannelList\t\tL1\t\tTrue\t\tu1", channelA[0], "\tChannelList\t\tL2\t\tTrue\t\tu2",
            "\t\tChannel\t\tP\t\tc\t\tn\t\thttp://h/c\t\tFalse"}},
          {"MultiMonitor.txt",
           {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta",
            "\tMultiMonitorFolder\t\t \t\tTrue", "\t\tMultiMonitorChannel\t\tc"},
           {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta"}}}},
        {"IDs and record types in other letter case",
         {{"ChannelList.txt",
           {"channellist\t\tL\t\ttrue\t\thttp://l/",
            QStringLiteral("\tChannel\t\tP\t\tjp.t.Cam3\t\tカメラ3\t\thttp://h/c3\t\tTrue"),
            "\tCHANNEL\t\tP\t\tjp.t.cam3\t\tother\t\thttp://h/other\t\tFalse"},
           {"ChannelList\t\tL\t\tTrue\t\thttp://l/",
            QStringLiteral("\tChannel\t\tP\t\tjp.t.Cam3\t\tカメラ3\t\thttp://h/c3\t\tTrue"),
            QStringLiteral("\tChannel\t\tP\t\tjp.t.Cam3\t\tカメラ3\t\thttp://h/c3\t\tTrue")}},
          {"Favorite.txt",
           {"FavariteRoot\t\tF\t\tTrue", "\tfavaritechannel\t\tJP.T.CAM3", "\tFavariteChannel\t\tjp.t.cam3"},
           {"FavariteRoot\t\tF\t\tTrue", "\tFavariteChannel\t\tjp.t.Cam3"}}}},
    };
    for (const auto& [name, files] : rows) {
        SCOPED_TRACE(name);
        ViewerFixture f;
        for (const auto& [file, lines] : base) f.dir.write(file, sjis(lines));
        for (const File& file : files) f.dir.write(file.name, sjis(file.in));
        f.open();
        f.close();
        for (const File& file : files)
            EXPECT_EQ(f.dir.read(file.name), sjis(file.out.isEmpty() ? file.in : file.out))
                << file.name << "\n"
                << Cp932::decode(f.dir.read(file.name)).toStdString();
    }
}

// Members of unknown channels are carried only while the next start will
// carry them too: not from inside a channel list that was read, nor when
// the channel list written names channels (made from records of another
// file). The first exit writes what the second writes. Found by fuzzing.
TEST(TreeList, MembersOfUnknownChannelsAreCarriedOnlyWhileTheNextStartWouldCarryThem) {
    const QString root = QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tFalse");
    const QStringList list = {"ChannelList\t\tL\t\tTrue\t\thttp://l/",
                              "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a\t\tFalse"};
    const QStringList folder = {"\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta",
                                "\t\tMultiMonitorChannel\t\tunknown"};
    const std::vector<std::tuple<const char*, QStringList, QStringList>> rows = {
        {"inside the channel list", list + folder, {}},
        {"the channel list made from the folder file", {}, QStringList{root} + folder + list},
    };
    for (const auto& [name, channelList, folders] : rows) {
        SCOPED_TRACE(name);
        ViewerFixture f;
        f.dir.write("ChannelList.txt", sjis(channelList));
        if (!folders.isEmpty()) f.dir.write("MultiMonitor.txt", sjis(folders));
        f.open();
        f.close();
        EXPECT_EQ(f.dir.read("MultiMonitor.txt"), sjis({root, folder[0], folder[1]}));
        expectARestartKeepsTheFiles(f);
    }
}

// Line ends become CR LF; the encoding stays; bytes the encoding cannot
// read travel through names and IDs and come back as they were.
TEST(TreeList, LineEndsEncodingsAndStrayBytes) {
    const QByteArray utf8List =
        QStringLiteral("ChannelList\t\tチャンネルリスト\t\tTrue\t\thttp://l/\r\n\tChannel\t\tP\t\tid").toUtf8() +
        "\xFF" + QStringLiteral("\t\t番組の名前").toUtf8() + "\xE9\t\thttp://h/a\t\tFalse\r\n";
    const QByteArray sjisList =
        Cp932::encode(QStringLiteral("ChannelList\t\tチャンネル\t\tTrue\t\thttp://l/\r\n\tChannel\t\tP\t\tid")) +
        "\x80\x85\x40" + Cp932::encode(QStringLiteral("\t\t番組の名前")) + "\xFD\x87\x90" +
        "\t\thttp://h/a\t\tFalse\r\n";
    const struct {
        const char* name;
        QByteArray list, favorites, listOut, favoritesOut;  // out: empty when the same
        QString channelName;
    } rows[] = {
        {"UTF-8 with LF only, ASCII with lone CRs",
         QStringLiteral(
             "ChannelList\t\tリスト\t\tTrue\t\thttp://l/\n\tChannel\t\tP\t\tid\t\t名前\t\thttp://h/a\t\tFalse\n")
             .toUtf8(),
         "FavariteRoot\t\tFav\t\tFalse\r\tFavariteChannel\t\tid\r",
         QStringLiteral(
             "ChannelList\t\tリスト\t\tTrue\t\thttp://l/\r\n\tChannel\t\tP\t\tid\t\t名前\t\thttp://h/a\t\tFalse\r\n")
             .toUtf8(),
         "FavariteRoot\t\tFav\t\tFalse\r\n\tFavariteChannel\t\tid\r\n", QStringLiteral("名前")},
        {"UTF-8 with stray bytes",
         utf8List,
         QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue\r\n\tFavariteChannel\t\tID").toUtf8() + "\xFF\r\n",
         {},
         QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue\r\n\tFavariteChannel\t\tid").toUtf8() + "\xFF\r\n",
         QStringLiteral("番組の名前")},
        {"CP932 with bytes it cannot read, or would write differently",
         sjisList,
         Cp932::encode(QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue\r\n\tFavariteChannel\t\tid")) +
             "\x80\x85\x40\r\n",
         {},
         {},
         QStringLiteral("番組の名前")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ViewerFixture f;
        f.dir.write("ChannelList.txt", row.list);
        f.dir.write("Favorite.txt", row.favorites);
        frmMain& w = f.open();
        ASSERT_EQ(w.ChannelManeger()->ChannelCount(), 1);
        const clsChannel* channel = w.ChannelManeger()->ChannelAt(1);
        EXPECT_TRUE(channel->ChannelName().startsWith(row.channelName)) << channel->ChannelName().toStdString();
        EXPECT_TRUE(channel->BelongFavarite());
        f.close();
        EXPECT_EQ(f.dir.read("ChannelList.txt"), row.listOut.isEmpty() ? row.list : row.listOut);
        EXPECT_EQ(f.dir.read("Favorite.txt"), row.favoritesOut.isEmpty() ? row.favorites : row.favoritesOut);
    }
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
