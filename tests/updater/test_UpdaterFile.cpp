// ChannelList.txt as the updater reads it at start-up and writes it at close.

#include "UpdaterFixture.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"

namespace {

// The lines read, and those written back at close (none: the same).
struct ReadingRule {
    const char* name;
    QStringList in, out;
};
class ReadingRules : public UpdaterTest, public ::testing::WithParamInterface<ReadingRule> {};

TEST_P(ReadingRules, ShowInTheNextSave) {
    load(ListFileBytes(GetParam().in));
    w->close();
    EXPECT_EQ(dir.read("ChannelList.txt"), ListFileBytes(GetParam().out.isEmpty() ? GetParam().in : GetParam().out));
}

QStringList deeperThanEleven() {
    QStringList deep;
    for (int d = 0; d < 14; ++d) deep << QString(d, u'\t') + "Node\tn" + QString::number(d) + "\tTrue";
    return deep << QString(14, u'\t') + "ChannelList\t\tl\t\tTrue\t\tu"
                << QString(15, u'\t') + "Channel\t\tp\t\tdeep\t\tn\t\ti\t\tFalse";
}
const QString kSep(QChar(0x0001));
const QString kCam3 = QStringLiteral("\tChannel\t\tp\t\tjp.t.Cam3\t\tカメラ\t\thttp://h/3\t\tTrue");

INSTANTIATE_TEST_SUITE_P(
    Updater, ReadingRules,
    ::testing::Values(
        ReadingRule{
            "WhatItWritesComesBackByteForByte",
            {"Node\torg\tTrue", "\tChannelList\t\tlist\t\tFalse\t\thttp://h/list.txt",
             QStringLiteral("\t\tChannel\t\tsig\t\torg.list.a\t\t第一放送①\t\thttp://h/a.txt\t\tTrue"),
             QStringLiteral("\t\tChannel\t\tsig\t\torg.list.b\t\tチャンネル名 未取得\t\thttp://h/b.txt\t\tFalse"),
             "\tNode\tsub\tFalse", "ChannelList\t\ttop\t\tTrue\t\thttp://h/top.txt",
             QStringLiteral("Node\t分類なし\tTrue"), "\tChannel\t\tsig\t\tsolo\t\tsolo name\t\thttp://h/s\t\tFalse"},
            {}},
        ReadingRule{"DeeperThanEleven", deeperThanEleven(), {}},
        ReadingRule{
            "AnEmptyTreeWritesNothing", {QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue"), "node\tx\tTrue"}, {}},
        ReadingRule{"BooleansNumbersAndSpacesAroundFields",
                    {"Node\t  g  \t true ", "\tChannelList\t\tl\t\t-1\t\t u ",
                     "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tTRUE", "\t\tChannel\t\tp\t\tid2\t\tn\t\ti\t\t0"},
                    {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tTrue",
                     "\t\tChannel\t\tp\t\tid2\t\tn\t\ti\t\tFalse"}},
        ReadingRule{"OtherSeparatorWidths",
                    {"Node\t\tg\t\tFalse", "\tChannel\tp\tid\tn\ti\tFalse", "ChannelList\t\t\tl\t\t\tFalse\t\t\tu"},
                    {"Node\tg\tFalse", "\tChannel\t\tp\t\tid\t\tn\t\ti\t\tFalse", "ChannelList\t\tl\t\tFalse\t\tu"}},
        ReadingRule{"RecordTypesInOtherCaseAndTheViewersTypesAreIgnored",
                    {"node\tx\tTrue", "CHANNELLIST\t\tx\t\tTrue\t\tu", "ChannelList\t\tl\t\tFalse\t\tu",
                     "\tchannel\t\tp\t\tid\t\tn\t\ti\t\tFalse", "\tFavariteChannel\t\tid",
                     "\tChannel\t\tp\t\tok\t\tn\t\ti\t\tFalse"},
                    {"ChannelList\t\tl\t\tFalse\t\tu", "\tChannel\t\tp\t\tok\t\tn\t\ti\t\tFalse"}},
        // No parent at its depth, no name, no address, under a channel:
        // dropped, with whatever sits under it (never handed to a sibling).
        ReadingRule{"LinesThatCannotBePlacedGoWithTheirChildren",
                    {"Channel\t\tp\t\troot\t\tn\t\ti\t\tFalse", "Node\tg\tTrue", "\t\t\tNode\tlost\tTrue",
                     "\t\t\t\tChannel\t\tp\t\tlostchild\t\tn\t\ti\t\tFalse", "\tNode\tsib\tTrue", "\tNode\t \tTrue",
                     "\t\tChannel\t\tp\t\tunderNoName\t\tn\t\ti\t\tFalse", "\tChannel\t\tp\t\tfew\t\tn",
                     "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tkept\t\tn\t\ti\t\tFalse",
                     "\t\t\tChannel\t\tp\t\tunderChannel\t\tn\t\ti\t\tFalse"},
                    {"Node\tg\tTrue", "\tNode\tsib\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu",
                     "\t\tChannel\t\tp\t\tkept\t\tn\t\ti\t\tFalse"}},
        ReadingRule{"AMissingOrNonBooleanFlagReadsAsFalseAndKeepsTheRecord",
                    {"Node\tg", "\tChannelList\t\tl\t\thttp://h/l", "\t\tChannel\t\tp\t\ta\t\tn\t\ti",
                     "\t\tChannel\t\tp\t\tb\t\tn\t\ti\t\tyes", "Node\th\tmaybe", "\tChannelList\t\tm\t\tnope\t\tu",
                     "\t\tChannel\t\tp\t\tc\t\tn\t\ti\t\tTrue"},
                    {"Node\tg\tFalse", "\tChannelList\t\tl\t\tFalse\t\thttp://h/l",
                     "\t\tChannel\t\tp\t\ta\t\tn\t\ti\t\tFalse", "\t\tChannel\t\tp\t\tb\t\tn\t\ti\t\tFalse",
                     "Node\th\tFalse", "\tChannelList\t\tm\t\tFalse\t\tu", "\t\tChannel\t\tp\t\tc\t\tn\t\ti\t\tTrue"}},
        ReadingRule{"ANodeEndsTheDeeperSlotsOfEarlierNodes",
                    {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", "\tNode\td\tTrue",
                     "\t\t\tChannel\t\tp\t\tstale\t\tn\t\ti\t\tFalse", "\t\tChannel\t\tp\t\tunderD\t\tn\t\ti\t\tFalse"},
                    {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", "\tNode\td\tTrue",
                     "\t\tChannel\t\tp\t\tunderD\t\tn\t\ti\t\tFalse"}},
        // Found by fuzzing: U+0001 joins the fields of a tag, so a field
        // holding one shifted the others and the channel was lost next time.
        ReadingRule{"TagSeparatorsAreCleanedOrTheLineSkipped",
                    {"Node\tor" + kSep + "g\tTrue",
                     "\tChannel\t\tsig" + kSep + "\t\tid.a\t\tna" + kSep + "me\t\thttp://h/a\t\tTrue",
                     "\tChannel\t\t" + kSep + "\t\tid.b\t\tn\t\thttp://h/b\t\tFalse",
                     "\tChannelList\t\t" + kSep + "\t\tTrue\t\thttp://h/l",
                     "\t\tChannel\t\tsig\t\tid.c\t\tn\t\thttp://h/c\t\tFalse"},
                    {"Node\tor g\tTrue", "\tChannel\t\tsig\t\tid.a\t\tna me\t\thttp://h/a\t\tTrue"}}),
    kRowName);

// IDs in other letter case are one channel, written as the first and
// changed alike by a downloaded list. Found by fuzzing.
TEST_F(UpdaterTest, AChannelListedTwiceChangesAsOne) {
    load(ListFileBytes({"ChannelList\t\tl\t\tTrue\t\tu", kCam3, "Node\tg\tTrue",
                        "\tChannel\t\tq\t\tJP.T.CAM3\t\tother\t\thttp://h/other\t\tFalse"}));
    EXPECT_EQ(tag(top(1)->child(0)), tag(top(0)->child(0)));
    w->StartAddChannelList("http://127.0.0.1:1/list.txt");  // nothing answers; the list is parsed here
    w->ParseChannelList({"jp.t.cam3,sig,http://h/new"});
    w->close();
    const QString channel =
        QStringLiteral("\tChannel\t\tsig\t\tjp.t.Cam3\t\tチャンネル名 未取得\t\thttp://h/new\t\tTrue");
    EXPECT_EQ(dir.read("ChannelList.txt"),
              ListFileBytes({"ChannelList\t\tl\t\tTrue\t\tu", channel, "Node\tg\tTrue", channel}));
}

// The confirmation decides; a removed list is missing after closing, but
// removing the last one keeps the previous file for the next start.
TEST_F(UpdaterTest, RemovedListsAreMissingAfterClosingUnlessNoneIsLeft) {
    load(crlf({"ChannelList\t\tone\t\tTrue\t\tu1", "\tChannel\t\tp\t\ta\t\tn\t\ti\t\tFalse",
               "ChannelList\t\ttwo\t\tTrue\t\tu2"}));
    for (bool ok : {false, true}) {
        confirmAnswer = ok;
        select(top(0));
        w->mnuRemoveChannelList_Click();
    }
    w->close();
    const QByteArray left = crlf({"ChannelList\t\ttwo\t\tTrue\t\tu2"});
    EXPECT_EQ(dir.read("ChannelList.txt"), left);

    w = open(dir);
    load();
    select(top(0));
    w->mnuRemoveChannelList_Click();
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 0);
    w->close();
    EXPECT_EQ(dir.read("ChannelList.txt"), left);
}

// A new file is CP932; a file keeps its encoding and the bytes it cannot read.
struct Encoding {
    const char* name;
    QByteArray in;
    QByteArray (*encode)(const QString&);
};
class Encodings : public UpdaterTest, public ::testing::WithParamInterface<Encoding> {};
const QString kAdded = QStringLiteral("ChannelList\t\t追加\t\tFalse\t\tv");

TEST_P(Encodings, TheFileKeepsItsEncodingAndEveryByte) {
    load(GetParam().in);
    w->LoadChannelList({QString(), kAdded});
    w->close();
    EXPECT_EQ(dir.read("ChannelList.txt"), GetParam().in + GetParam().encode(kAdded + "\r\n"));
}

const QString kList = QStringLiteral("ChannelList\t\t番組表①\t\tTrue\t\tu\r\n\tChannel\t\tp\t\tid");
QByteArray utf8(const QString& s) { return s.toUtf8(); }
INSTANTIATE_TEST_SUITE_P(
    Updater, Encodings,
    ::testing::Values(Encoding{"NoFileIsCp932", QByteArray(), &Cp932::encode},
                      Encoding{"Utf8WithStrayBytes", kList.toUtf8() + "\xFF\t\tcaf\xE9\t\ti\t\tFalse\r\n", &utf8},
                      Encoding{"Cp932WithBytesItCannotRead",
                               Cp932::encode(kList) + "\x80\x85\x40\t\t\xFD\t\ti\t\tFalse\r\n", &Cp932::encode}),
    kRowName);

TEST_F(UpdaterTest, AFailedWriteKeepsTheOldFileAndSaysSo) {
    const QByteArray old = crlf({"ChannelList\t\told\t\tTrue\t\tu"});
    load(old);
    w->LoadChannelList({QString(), "ChannelList\t\tnew\t\tTrue\t\tv"});
    SafeFileTesting::SetWriteFault([](const QString& path) { return path.endsWith("ChannelList.txt"); });
    w->close();
    SafeFileTesting::SetWriteFault(nullptr);
    EXPECT_EQ(dir.read("ChannelList.txt"), old);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].endsWith(QStringLiteral("|保存エラー"))) << errors[0].toStdString();
}

}  // namespace
