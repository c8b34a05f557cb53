// ChannelList.txt as the updater reads and writes it.

#include "UpdaterFixture.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"

#include <QFileInfo>

namespace {

// Lines joined with CR LF, one after the last, as the programs write them.
QByteArray crlf(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines) out += l.toUtf8() + "\r\n";
    return out;
}

class UpdaterFileTest : public UpdaterTest {
protected:
    // Starts on the given file, closes the window, returns what is left.
    QByteArray roundTrip(const QByteArray& file) {
        dir.write("ChannelList.txt", file);
        load();
        w->close();
        return dir.read("ChannelList.txt");
    }
};

TEST_F(UpdaterFileTest, AFileTheUpdaterWroteComesBackByteForByte) {
    const QByteArray file = Cp932::encode(QStringLiteral(
        "Node\torg\tTrue\r\n"
        "\tChannelList\t\tlist\t\tFalse\t\thttp://h/list.txt\r\n"
        "\t\tChannel\t\tsig\t\torg.list.a\t\t第一放送①\t\thttp://h/a.txt\t\tTrue\r\n"
        "\t\tChannel\t\tsig\t\torg.list.b\t\tチャンネル名 未取得\t\thttp://h/b.txt\t\tFalse\r\n"
        "\tNode\tsub\tFalse\r\n"
        "ChannelList\t\ttop\t\tTrue\t\thttp://h/top.txt\r\n"
        "Node\t分類なし\tTrue\r\n"
        "\tChannel\t\tsig\t\tsolo\t\tsolo name\t\thttp://h/s.txt\t\tFalse\r\n"));
    EXPECT_EQ(roundTrip(file), file);
}

// Lines the reader normalises, skips or places, each against what the next
// save writes.
TEST_F(UpdaterFileTest, ReadingRulesShowInTheNextSave) {
    struct Row {
        const char* name;
        QStringList in;
        QStringList out;
    };
    const std::vector<Row> rows = {
        {"Booleans in other case, numbers, spaces around fields",
         {"Node\t  g  \t true ", "\tChannelList\t\tl\t\t-1\t\t u ", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tTRUE",
          "\t\tChannel\t\tp\t\tid2\t\tn\t\ti\t\t0", "\t\tChannel\t\tp\t\tid3\t\tn\t\ti\t\tmaybe"},
         {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tTrue",
          "\t\tChannel\t\tp\t\tid2\t\tn\t\ti\t\tFalse", "\t\tChannel\t\tp\t\tid3\t\tn\t\ti\t\tFalse"}},
        {"Node with two tabs, Channel with single tabs, ChannelList with three",
         {"Node\t\tg\t\tFalse", "\tChannel\tp\tid\tn\ti\tFalse", "ChannelList\t\t\tl\t\t\tFalse\t\t\tu"},
         {"Node\tg\tFalse", "\tChannel\t\tp\t\tid\t\tn\t\ti\t\tFalse", "ChannelList\t\tl\t\tFalse\t\tu"}},
        {"record types in other case and the viewer's other types are ignored",
         {"node\tx\tTrue", "CHANNELLIST\t\tx\t\tTrue\t\tu", "FavariteRoot\t\tお気に入り\t\tTrue",
          "ChannelList\t\tl\t\tFalse\t\tu", "\tchannel\t\tp\t\tid\t\tn\t\ti\t\tFalse",
          "\tFavariteChannel\t\tid", "\tChannel\t\tp\t\tok\t\tn\t\ti\t\tFalse"},
         {"ChannelList\t\tl\t\tFalse\t\tu", "\tChannel\t\tp\t\tok\t\tn\t\ti\t\tFalse"}},
        {"a ChannelList under a Node at depth 1 stays there",
         {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tFalse"},
         {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tFalse"}},
        {"lines that cannot be placed are dropped with their children",
         {"Channel\t\tp\t\troot\t\tn\t\ti\t\tFalse",  // a channel at depth 0
          "Node\tg\tTrue",
          "\t\t\tNode\tlost\tTrue",  // no parent at depth 2
          "\t\t\t\tChannel\t\tp\t\tlostchild\t\tn\t\ti\t\tFalse",
          "\tNode\tshort",                                     // too few pieces
          "\t\tChannel\t\tp\t\tunderShort\t\tn\t\ti\t\tFalse",  // its child goes with it
          "\tChannel\t\tp\t\tfew\t\tn\t\ti",                    // no saving switch
          "\tChannelList\t\tl\t\tTrue\t\tu",
          "\t\tChannel\t\tp\t\tkept\t\tn\t\ti\t\tFalse",
          "\t\t\tChannel\t\tp\t\tunderChannel\t\tn\t\ti\t\tFalse"},  // a channel holds no children
         {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tkept\t\tn\t\ti\t\tFalse"}},
        {"a node ends the deeper slots of earlier nodes",
         {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", "\tNode\td\tTrue",
          "\t\t\tChannel\t\tp\t\tstale\t\tn\t\ti\t\tFalse", "\t\tChannel\t\tp\t\tunderD\t\tn\t\ti\t\tFalse"},
         {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", "\tNode\td\tTrue",
          "\t\tChannel\t\tp\t\tunderD\t\tn\t\ti\t\tFalse"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempProgramDir own;
        updater::frmMain window(own.path());
        window.ViewerRunning = [] { return false; };
        own.write("ChannelList.txt", crlf(row.in));
        ASSERT_TRUE(window.Form_Load());
        window.close();
        EXPECT_EQ(QString::fromUtf8(own.read("ChannelList.txt")), QString::fromUtf8(crlf(row.out)));
    }
}

// Found by fuzzing: U+0001 joins the fields of the updater's tags, so a
// field holding one shifted the others; the channel was written with an
// empty field and lost at the following start.
TEST_F(UpdaterFileTest, FieldsHoldingTheTagSeparatorAreCleanedOrSkipped) {
    const QChar sep(0x0001);
    const QByteArray file = crlf({QStringLiteral("Node\tor%1g\tTrue").arg(sep),
                                  QStringLiteral("\tChannel\t\tsig%1\t\tid.a\t\tna%1me\t\thttp://h/a\t\tTrue").arg(sep),
                                  QStringLiteral("\tChannel\t\t%1\t\tid.b\t\tn\t\thttp://h/b\t\tFalse").arg(sep),
                                  QStringLiteral("\tChannelList\t\t%1\t\tTrue\t\thttp://h/l").arg(sep),
                                  QStringLiteral("\t\tChannel\t\tsig\t\tid.c\t\tn\t\thttp://h/c\t\tFalse")});
    const QByteArray first = roundTrip(file);
    EXPECT_EQ(first, crlf({"Node\tor g\tTrue", "\tChannel\t\tsig\t\tid.a\t\tna me\t\thttp://h/a\t\tTrue"}));
    // What the updater wrote, it reads back the same (a new window).
    SetUp();
    EXPECT_EQ(roundTrip(first), first);
}

TEST_F(UpdaterFileTest, DepthHasNoLimitOfEleven) {
    QStringList lines;
    for (int d = 0; d < 14; ++d) lines << QString(d, QChar(u'\t')) + "Node\tn" + QString::number(d) + "\tTrue";
    lines << QString(14, QChar(u'\t')) + "ChannelList\t\tl\t\tTrue\t\tu";
    lines << QString(15, QChar(u'\t')) + "Channel\t\tp\t\tdeep\t\tn\t\ti\t\tFalse";
    const QByteArray file = crlf(lines);
    EXPECT_EQ(roundTrip(file), file);
}

TEST_F(UpdaterFileTest, AnEmptyTreeLeavesTheFileAlone) {
    // Only lines the updater does not read: the tree starts empty.
    const QByteArray file = crlf({"FavariteRoot\t\tお気に入り\t\tTrue", "node\tlower\tTrue"});
    EXPECT_EQ(roundTrip(file), file);

    // Removing the last list and closing keeps the previous file, so the
    // lists are back at the next start.
    TempProgramDir other;
    updater::frmMain window(other.path());
    window.ViewerRunning = [] { return false; };
    window.ConfirmBox = [](QWidget*, const QString&, const QString&) { return true; };
    const QByteArray one = crlf({"ChannelList\t\tl\t\tTrue\t\tu"});
    other.write("ChannelList.txt", one);
    ASSERT_TRUE(window.Form_Load());
    window.tvwChannelSelect->setCurrentItem(window.tvwChannelSelect->topLevelItem(0));
    window.mnuRemoveChannelList_Click();
    EXPECT_EQ(window.tvwChannelSelect->topLevelItemCount(), 0);
    window.close();
    EXPECT_EQ(other.read("ChannelList.txt"), one);
}

TEST_F(UpdaterFileTest, RemovedListsAreMissingAfterClosing) {
    dir.write("ChannelList.txt", crlf({"ChannelList\t\tone\t\tTrue\t\tu1", "\tChannel\t\tp\t\ta\t\tn\t\ti\t\tFalse",
                                       "ChannelList\t\ttwo\t\tTrue\t\tu2"}));
    load();
    select(w->tvwChannelSelect->topLevelItem(0));
    confirmAnswer = false;
    w->mnuRemoveChannelList_Click();
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 2);
    confirmAnswer = true;
    w->mnuRemoveChannelList_Click();
    w->close();
    EXPECT_EQ(dir.read("ChannelList.txt"), crlf({"ChannelList\t\ttwo\t\tTrue\t\tu2"}));
}

TEST_F(UpdaterFileTest, TheFileKeepsItsEncodingAndNewFilesAreCp932) {
    const QString text = QStringLiteral("ChannelList\t\t番組表①\t\tTrue\t\tu");
    // A missing file: the new one is CP932.
    load();
    w->LoadChannelList({QString(), text});
    w->close();
    EXPECT_EQ(dir.read("ChannelList.txt"), Cp932::encode(text + "\r\n"));

    // A UTF-8 file stays UTF-8.
    TempProgramDir other;
    updater::frmMain window(other.path());
    window.ViewerRunning = [] { return false; };
    other.write("ChannelList.txt", (text + "\r\n").toUtf8());
    ASSERT_TRUE(window.Form_Load());
    window.LoadChannelList({QString(), "ChannelList\t\t追加\t\tFalse\t\tv"});
    window.close();
    EXPECT_EQ(other.read("ChannelList.txt"), (text + "\r\nChannelList\t\t追加\t\tFalse\t\tv\r\n").toUtf8());
}

TEST_F(UpdaterFileTest, TheSavedUnknownGroupIsFoundAgain) {
    dir.write("ChannelList.txt",
              Cp932::encode(QStringLiteral("Node\t分類なし\tTrue\r\n\tChannel\t\tp\t\tone\t\tn\t\ti\t\tFalse\r\n"
                                           "Node\t分類なし\tFalse\r\n")));
    load();
    EXPECT_EQ(updater::frmMain::Key(w->tvwChannelSelect->topLevelItem(0)), "tvwKey_UnKnown_Organization");
    EXPECT_EQ(updater::frmMain::Key(w->tvwChannelSelect->topLevelItem(1)), "");
    EXPECT_EQ(w->GetOrganizationNode("two"), w->tvwChannelSelect->topLevelItem(0));
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 2);
}

TEST_F(UpdaterFileTest, AFailedWriteKeepsTheOldFileAndSaysSo) {
    const QByteArray old = crlf({"ChannelList\t\told\t\tTrue\t\tu"});
    dir.write("ChannelList.txt", old);
    load();
    w->LoadChannelList({QString(), "ChannelList\t\tnew\t\tTrue\t\tv"});
    SafeFileTesting::SetWriteFault([](const QString& path) { return path.endsWith("ChannelList.txt"); });
    w->close();
    SafeFileTesting::SetWriteFault(nullptr);
    EXPECT_EQ(dir.read("ChannelList.txt"), old);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].endsWith(QStringLiteral("|保存エラー"))) << errors[0].toStdString();
}

// What the updater writes, the viewer's line reader reads as its records:
// Node (Text, Expanded), ChannelList (Text, Expanded, ChannelListURL),
// Channel (Protocol, ChannelID, DefaultChannelName, ChannelInfomationURL,
// IsSavePicture), depth as leading tabs.
TEST_F(UpdaterFileTest, TheViewersLineReaderReadsTheUpdatersLines) {
    load();
    w->LoadChannelList({QString(), "Node\tgroup name\tTrue", "\tChannelList\t\tlist\t\tFalse\t\thttp://h/l?a=1&b=2",
                        QStringLiteral("\t\tChannel\t\tsig v1\t\tgroup.list.x\t\t名前 ①\t\thttp://h/x\t\tTrue")});
    w->close();
    const QStringList lines = mdlFunction::ReadLines(dir.file("ChannelList.txt"), true);
    ASSERT_EQ(lines.size(), 4);
    struct Expect {
        int depth;
        QStringList pieces;
    };
    const std::vector<Expect> expected = {
        {0, {"Node", "group name", "True"}},
        {1, {"ChannelList", "list", "False", "http://h/l?a=1&b=2"}},
        {2, {"Channel", "sig v1", "group.list.x", QStringLiteral("名前 ①"), "http://h/x", "True"}},
    };
    for (int i = 0; i < 3; ++i) {
        const TreeListLine line = ParseTreeListLine(lines[i + 1]);
        EXPECT_EQ(line.Depth, expected[i].depth) << i;
        EXPECT_EQ(line.Pieces, expected[i].pieces) << i;
    }
    // The exact separators: one tab for Node, two for the others.
    EXPECT_EQ(lines[1], "Node\tgroup name\tTrue");
    EXPECT_EQ(lines[2], "\tChannelList\t\tlist\t\tFalse\t\thttp://h/l?a=1&b=2");
}

}  // namespace
