// The viewer's three list files, loaded at start-up and written at exit.

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

// Lines the loader cannot place are skipped. Fields of spaces and channel
// tree records in another file were found by fuzzing.
TEST(TreeList, LoadAndSaveKeepEveryRecordWithItsNormalisations) {
    ViewerFixture f;
    f.dir.write(
        "ChannelList.txt",
        ListFileBytes({"Node\t日本\tTrue", "\tNode\t東京\tFalse",
                       "\t\tChannelList\t\t局リスト\t\tTrue\t\thttp://lists.example/tokyo.txt",
                       "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch01\t\t東京一\t\thttp://h/ch01.txt\t\tFalse",
                       "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch02\t\t東京二\t\thttp://h/ch02.txt\t\tTrue",
                       "\tChannelList\t\t大阪\t\tFalse\t\thttp://lists.example/osaka.txt",
                       // Skipped: tabs only, spaces only, no parent, too few fields, too deep, unknown, empty field.
                       "\t\t\t\t", "   ", "Channel\t\tP\t\tdepth0\t\tN\t\thttp://h/x.txt\t\tFalse",
                       "\tChannel\t\tP\t\ttoo.few", "\t\t\t\t\t\t\tNode\tdeep\tTrue", "Weird\t\tstuff",
                       "\t\tChannel\t\t \t\tno.protocol\t\tn\t\thttp://h/a\t\tFalse",
                       // Single tabs, spaces around fields, a Boolean in other case.
                       "ChannelList\t海外\t  True  \thttp://lists.example/world.txt",
                       "\tChannel\tVNT1\tworld.ch03\tWorld Three\thttp://h/ch03.txt\ttrue", "Node\t  \tTrue"}));
    f.dir.write("Favorite.txt", ListFileBytes({"FavariteRoot\t\t好きな局\t\tTrue", "\tFavariteChannel\t\tjp.tokyo.ch02",
                                               "\tFavariteChannel\t\tunknown.ch", "\tFavariteChannel\t\tworld.ch03",
                                               "\tNode\t東京\tFalse",  // channel tree records: skipped
                                               "\t\tChannel\t\tP\t\tunder.favorites\t\t名\t\thttp://h/a\t\tFalse",
                                               "\tChannel\t\tP\t\tbeside.favorites\t\t名\t\thttp://h/b\t\tFalse"}));
    f.dir.write("MultiMonitor.txt",
                ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
                               "\t\tMultiMonitorChannel\t\tjp.tokyo.ch01", "\t\tMultiMonitorChannel\t\tnothere",
                               "\t\tChannelList\t\tL\t\tTrue\t\thttp://l/",  // skipped, with the next line
                               "\t\tChannel\t\tP\t\tin.folder\t\t名\t\thttp://h/c\t\tFalse",
                               "\t\tMultiMonitorChannel\t\tWORLD.CH03", "\tMultiMonitorFolder\t\t空\t\tFalse",
                               "\tMultiMonitorFolder\t\t  \t\tTrue", "MultiMonitorRoot\t\t \t\tFalse"}));
    frmMain& w = f.open();

    clsChannelManeger* channels = w.ChannelManeger();
    ASSERT_EQ(channels->ChannelCount(), 3);  // none from records outside the channel tree
    EXPECT_EQ(channels->ChannelAt(3)->ChannelID(), "world.ch03");
    EXPECT_TRUE(channels->ChannelAt(2)->SavePicture() && channels->ChannelAt(3)->SavePicture());
    EXPECT_EQ(w.imgChannelShow().Count(), 6);  // template + three channels + two members; the spares are gone
    EXPECT_EQ(w.MultiMonitorManeger()->MultiMonitor("1")->Members(), (QStringList{"jp.tokyo.ch01", "world.ch03"}));
    EXPECT_EQ(w.MultiMonitorManeger()->MultiMonitor("3"), nullptr);  // no folder without a name
    ASSERT_EQ(w.FavariteRoot()->childCount(), 2);                    // the favourites, nothing else
    EXPECT_EQ(w.FavariteRoot()->child(0)->text(0), QStringLiteral("東京二"));
    // Roots: マルチモニター, お気に入り, then the list's roots in file order.
    ASSERT_EQ(w.tvwChannelSelect()->topLevelItemCount(), 4);
    EXPECT_EQ(frmMain::NodeTag(w.tvwChannelSelect()->topLevelItem(3)),
              MakeTag(NodeKind::ChannelList, "http://lists.example/world.txt"));
    f.close();

    EXPECT_EQ(f.dir.read("ChannelList.txt"),
              ListFileBytes({"Node\t日本\tTrue", "\tNode\t東京\tFalse",
                             "\t\tChannelList\t\t局リスト\t\tTrue\t\thttp://lists.example/tokyo.txt",
                             "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch01\t\t東京一\t\thttp://h/ch01.txt\t\tFalse",
                             "\t\t\tChannel\t\tVNT1\t\tjp.tokyo.ch02\t\t東京二\t\thttp://h/ch02.txt\t\tTrue",
                             "\tChannelList\t\t大阪\t\tFalse\t\thttp://lists.example/osaka.txt",
                             "ChannelList\t\t海外\t\tTrue\t\thttp://lists.example/world.txt",
                             "\tChannel\t\tVNT1\t\tworld.ch03\t\tWorld Three\t\thttp://h/ch03.txt\t\tTrue"}));
    EXPECT_EQ(f.dir.read("Favorite.txt"),
              ListFileBytes({"FavariteRoot\t\t好きな局\t\tTrue", "\tFavariteChannel\t\tjp.tokyo.ch02",
                             "\tFavariteChannel\t\tworld.ch03"}));
    EXPECT_EQ(f.dir.read("MultiMonitor.txt"),
              ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
                             "\t\tMultiMonitorChannel\t\tjp.tokyo.ch01", "\t\tMultiMonitorChannel\t\tworld.ch03",
                             "\tMultiMonitorFolder\t\t空\t\tFalse"}));
    expectARestartKeepsTheFiles(f);
}

// A row gives the lines of some files (the others hold two channels, a
// favourite and a folder) and the lines written back (none: the same).
struct Damage {
    const char* name;
    QStringList list = {}, listOut = {}, favorites = {}, favoritesOut = {}, folders = {}, foldersOut = {};
};
class DamagedRecords : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedRecords, KeepWhatTheyCan) {
    const Damage& d = GetParam();
    const QStringList in[3] = {
        d.list.isEmpty() ? QStringList{"ChannelList\t\tL\t\tTrue\t\thttp://l/",
                                       QStringLiteral("\tChannel\t\tP\t\tjp.t.Cam3\t\tカメラ3\t\thttp://h/c3\t\tTrue"),
                                       "\tChannel\t\tP\t\tjp.t.cam4\t\tcam4\t\thttp://h/c4\t\tFalse"}
                         : d.list,
        d.favorites.isEmpty() ? QStringList{"FavariteRoot\t\tF\t\tTrue", "\tFavariteChannel\t\tjp.t.Cam3"}
                              : d.favorites,
        d.folders.isEmpty() ? QStringList{"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue"}
                            : d.folders};
    const QStringList out[3] = {d.listOut, d.favoritesOut, d.foldersOut};
    ViewerFixture f;
    for (int i = 0; i < 3; ++i) f.dir.write(kFiles[i], ListFileBytes(in[i]));
    f.open();
    f.close();
    const bool given[3] = {!d.list.isEmpty(), !d.favorites.isEmpty(), !d.folders.isEmpty()};
    for (int i = 0; i < 3; ++i) {
        if (!given[i]) continue;
        EXPECT_EQ(f.dir.read(kFiles[i]), ListFileBytes(out[i].isEmpty() ? in[i] : out[i]))
            << Cp932::decode(f.dir.read(kFiles[i])).toStdString();
    }
}

const QString kChannelA = "\t\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a\t\tTrue";
const QString kCam3 = QStringLiteral("\tChannel\t\tP\t\tjp.t.Cam3\t\tカメラ3\t\thttp://h/c3\t\tTrue");
INSTANTIATE_TEST_SUITE_P(
    TreeList, DamagedRecords,
    ::testing::Values(
        Damage{"NodesAndListsWithoutTheirFlagsOrWithNonBooleanOnes",
               {"Node\tA", "\tChannelList\t\tL\t\tyes\t\thttp://l/", kChannelA, "Node\tB\tmaybe",
                "\tChannelList\t\tM\t\thttp://m/", "\t\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tFalse"},
               {"Node\tA\tFalse", "\tChannelList\t\tL\t\tFalse\t\thttp://l/", kChannelA, "Node\tB\tFalse",
                "\tChannelList\t\tM\t\tFalse\t\thttp://m/", "\t\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tFalse"}},
        Damage{"AChannelWithoutASavingFlagKeepsItsFavouriteAndMembership",
               {"ChannelList\t\tL\t\tTrue\t\tu", "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a",
                "\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tyes"},
               {"ChannelList\t\tL\t\tTrue\t\tu", "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a\t\tFalse",
                "\tChannel\t\tP\t\tb\t\tn\t\thttp://h/b\t\tFalse"},
               {"FavariteRoot\t\tF\t\tTrue", "\tFavariteChannel\t\ta"},
               {},
               {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\tb"}},
        Damage{"RootsAndFoldersWithoutTheirFlagsOrWithNonBooleanOnes",
               {},
               {},
               {"FavariteRoot\t\tF", "\tFavariteChannel\t\tjp.t.Cam3"},
               {"FavariteRoot\t\tF\t\tFalse", "\tFavariteChannel\t\tjp.t.Cam3"},
               {"MultiMonitorRoot\t\tM\t\tno", "\tMultiMonitorFolder\t\tX", "\t\tMultiMonitorChannel\t\tjp.t.cam4",
                "\tMultiMonitorFolder\t\tY\t\t2", "\t\tMultiMonitorChannel\t\tjp.t.Cam3"},
               {"MultiMonitorRoot\t\tM\t\tFalse", "\tMultiMonitorFolder\t\tX\t\tFalse",
                "\t\tMultiMonitorChannel\t\tjp.t.cam4", "\tMultiMonitorFolder\t\tY\t\tTrue",
                "\t\tMultiMonitorChannel\t\tjp.t.Cam3"}},
        Damage{"WhatSitsUnderASkippedRecordIsSkippedWithIt",
               {"Node\tA\tTrue", "\tChannelList\t\tL1\t\tTrue\t\tu1", kChannelA, "\tNode\t \tTrue",
                "\t\tChannel\t\tP\t\tunderSkipped\t\tn\t\thttp://h/x\t\tFalse", "\tChannelList\t\tL2\t\tTrue\t\tu2",
                "\t\t\tChannel\t\tP\t\ttooDeep\t\tn\t\thttp://h/y\t\tFalse",
                "\t\tChannel\t\tP\t\tc\t\tn\t\thttp://h/c\t\tFalse"},
               {"Node\tA\tTrue", "\tChannelList\t\tL1\t\tTrue\t\tu1", kChannelA, "\tChannelList\t\tL2\t\tTrue\t\tu2",
                "\t\tChannel\t\tP\t\tc\t\tn\t\thttp://h/c\t\tFalse"},
               {},
               {},
               {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta",
                "\tMultiMonitorFolder\t\t \t\tTrue", "\t\tMultiMonitorChannel\t\tc"},
               {"MultiMonitorRoot\t\tM\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta"}},
        Damage{"IDsAndRecordTypesInOtherLetterCase",
               {"channellist\t\tL\t\ttrue\t\thttp://l/", kCam3,
                "\tCHANNEL\t\tP\t\tjp.t.cam3\t\tother\t\thttp://h/other\t\tFalse"},
               {"ChannelList\t\tL\t\tTrue\t\thttp://l/", kCam3, kCam3},
               {"FavariteRoot\t\tF\t\tTrue", "\tfavaritechannel\t\tJP.T.CAM3", "\tFavariteChannel\t\tjp.t.cam3"},
               {"FavariteRoot\t\tF\t\tTrue", "\tFavariteChannel\t\tjp.t.Cam3"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Members of unknown channels are carried only while the next start would
// carry them too. Found by fuzzing.
TEST(TreeList, MembersOfUnknownChannelsAreCarriedOnlyWhileTheNextStartWouldCarryThem) {
    const QString root = QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tFalse");
    const QStringList list = {"ChannelList\t\tL\t\tTrue\t\thttp://l/",
                              "\tChannel\t\tP\t\ta\t\tn\t\thttp://h/a\t\tFalse"};
    const QStringList folder = {"\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta",
                                "\t\tMultiMonitorChannel\t\tunknown"};
    for (bool inTheChannelList : {true, false}) {
        ViewerFixture f;
        f.dir.write("ChannelList.txt", inTheChannelList ? ListFileBytes(list + folder) : QByteArray());
        if (!inTheChannelList) f.dir.write("MultiMonitor.txt", ListFileBytes(QStringList{root} + folder + list));
        f.open();
        f.close();
        EXPECT_EQ(f.dir.read("MultiMonitor.txt"), ListFileBytes({root, folder[0], folder[1]})) << inTheChannelList;
        expectARestartKeepsTheFiles(f);
    }
}

// Line ends become CR LF; the encoding and the bytes it cannot read stay.
struct Bytes {
    const char* name;
    QByteArray list, favorites, listOut, favoritesOut;  // out: empty when the same
};
class LineEndsAndEncodings : public ::testing::TestWithParam<Bytes> {};

TEST_P(LineEndsAndEncodings, ComeBackAsTheyWere) {
    ViewerFixture f;
    f.dir.write("ChannelList.txt", GetParam().list);
    f.dir.write("Favorite.txt", GetParam().favorites);
    frmMain& w = f.open();
    ASSERT_EQ(w.ChannelManeger()->ChannelCount(), 1);
    EXPECT_TRUE(w.ChannelManeger()->ChannelAt(1)->ChannelName().startsWith(QStringLiteral("名前")));
    EXPECT_TRUE(w.ChannelManeger()->ChannelAt(1)->BelongFavarite());
    f.close();
    EXPECT_EQ(f.dir.read("ChannelList.txt"), GetParam().listOut.isEmpty() ? GetParam().list : GetParam().listOut);
    EXPECT_EQ(f.dir.read("Favorite.txt"),
              GetParam().favoritesOut.isEmpty() ? GetParam().favorites : GetParam().favoritesOut);
}

const QString kList = QStringLiteral("ChannelList\t\tリスト\t\tTrue\t\thttp://l/\r\n\tChannel\t\tP\t\tid");
const QString kChannel = QStringLiteral("\t\t名前\t\thttp://h/a\t\tFalse\r\n");
const QString kFavorites = QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue\r\n\tFavariteChannel\t\tid");
INSTANTIATE_TEST_SUITE_P(
    TreeList, LineEndsAndEncodings,
    ::testing::Values(
        Bytes{"Utf8WithLineFeedsAndAsciiWithCarriageReturns", QString(kList + kChannel).replace("\r\n", "\n").toUtf8(),
              "FavariteRoot\t\tFav\t\tFalse\r\tFavariteChannel\t\tid\r", (kList + kChannel).toUtf8(),
              "FavariteRoot\t\tFav\t\tFalse\r\n\tFavariteChannel\t\tid\r\n"},
        Bytes{"Utf8WithStrayBytes",
              kList.toUtf8() + "\xFF" + QStringLiteral("\t\t名前").toUtf8() + "\xE9\t\thttp://h/a\t\tFalse\r\n",
              kFavorites.toUtf8() + "\xFF\r\n",
              {},
              {}},
        Bytes{"Cp932WithBytesItCannotReadOrWouldWriteDifferently",
              Cp932::encode(kList) + "\x80\x85\x40" + Cp932::encode(QStringLiteral("\t\t名前")) +
                  "\xFD\x87\x90\t\thttp://h/a\t\tFalse\r\n",
              Cp932::encode(kFavorites) + "\x80\x85\x40\r\n",
              {},
              {}}),
    [](const auto& info) { return std::string(info.param.name); });

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
