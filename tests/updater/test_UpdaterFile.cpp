// ChannelList.txt as the updater reads it at start-up and writes it at
// close, and as the viewer reads what the updater wrote.

#include "ChannelPublisher.h"
#include "UpdaterFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QRegularExpression>

namespace {

using UpdaterFileTest = UpdaterTest;

QByteArray cp932(const QStringList& lines) { return Cp932::encode(lines.join("\r\n") + "\r\n"); }

// Each file is read by a new window which is then closed; the file left
// behind shows what the reader kept, normalised, placed or dropped.
TEST_F(UpdaterFileTest, ReadingRulesShowInTheNextSave) {
    QStringList deep;  // nesting has no limit of eleven
    for (int d = 0; d < 14; ++d) deep << QString(d, u'\t') + "Node\tn" + QString::number(d) + "\tTrue";
    deep << QString(14, u'\t') + "ChannelList\t\tl\t\tTrue\t\tu"
         << QString(15, u'\t') + "Channel\t\tp\t\tdeep\t\tn\t\ti\t\tFalse";
    const QString sep(QChar(0x0001));
    // What the reader should make of the lines in, shown by the lines out
    // (none: the file stays as it was).
    const std::vector<std::tuple<const char*, QStringList, QStringList>> rows = {
        {"what the updater writes comes back byte for byte",
         {"Node\torg\tTrue", "\tChannelList\t\tlist\t\tFalse\t\thttp://h/list.txt",
          QStringLiteral("\t\tChannel\t\tsig\t\torg.list.a\t\t第一放送①\t\thttp://h/a.txt\t\tTrue"),
          QStringLiteral("\t\tChannel\t\tsig\t\torg.list.b\t\tチャンネル名 未取得\t\thttp://h/b.txt\t\tFalse"),
          "\tNode\tsub\tFalse", "ChannelList\t\ttop\t\tTrue\t\thttp://h/top.txt",
          QStringLiteral("Node\t分類なし\tTrue"), "\tChannel\t\tsig\t\tsolo\t\tsolo name\t\thttp://h/s.txt\t\tFalse"},
         {}},
        {"deeper than eleven", deep, {}},
        {"only lines it does not read: an empty tree writes nothing",
         {QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue"), "node\tlower\tTrue"},
         {}},
        {"booleans in other case, numbers, spaces around fields",
         {"Node\t  g  \t true ", "\tChannelList\t\tl\t\t-1\t\t u ", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tTRUE",
          "\t\tChannel\t\tp\t\tid2\t\tn\t\ti\t\t0", "\t\tChannel\t\tp\t\tid3\t\tn\t\ti\t\tmaybe"},
         {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tid\t\tn\t\ti\t\tTrue",
          "\t\tChannel\t\tp\t\tid2\t\tn\t\ti\t\tFalse", "\t\tChannel\t\tp\t\tid3\t\tn\t\ti\t\tFalse"}},
        {"Node with two tabs, Channel with single tabs, ChannelList with three",
         {"Node\t\tg\t\tFalse", "\tChannel\tp\tid\tn\ti\tFalse", "ChannelList\t\t\tl\t\t\tFalse\t\t\tu"},
         {"Node\tg\tFalse", "\tChannel\t\tp\t\tid\t\tn\t\ti\t\tFalse", "ChannelList\t\tl\t\tFalse\t\tu"}},
        {"record types in other case and the viewer's other types are ignored",
         {"node\tx\tTrue", "CHANNELLIST\t\tx\t\tTrue\t\tu", QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue"),
          "ChannelList\t\tl\t\tFalse\t\tu", "\tchannel\t\tp\t\tid\t\tn\t\ti\t\tFalse", "\tFavariteChannel\t\tid",
          "\tChannel\t\tp\t\tok\t\tn\t\ti\t\tFalse"},
         {"ChannelList\t\tl\t\tFalse\t\tu", "\tChannel\t\tp\t\tok\t\tn\t\ti\t\tFalse"}},
        {"lines that cannot be placed are dropped with their children",
         {"Channel\t\tp\t\troot\t\tn\t\ti\t\tFalse",  // a channel at depth 0
          "Node\tg\tTrue",
          "\t\t\tNode\tlost\tTrue",  // no parent at depth 2
          "\t\t\t\tChannel\t\tp\t\tlostchild\t\tn\t\ti\t\tFalse",
          "\tNode\t \tTrue",                                     // no name
          "\t\tChannel\t\tp\t\tunderNoName\t\tn\t\ti\t\tFalse",  // its child goes with it
          "\tChannel\t\tp\t\tfew\t\tn",                          // no address
          "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tkept\t\tn\t\ti\t\tFalse",
          "\t\t\tChannel\t\tp\t\tunderChannel\t\tn\t\ti\t\tFalse"},  // a channel holds no children
         {"Node\tg\tTrue", "\tChannelList\t\tl\t\tTrue\t\tu", "\t\tChannel\t\tp\t\tkept\t\tn\t\ti\t\tFalse"}},
        {"a missing or non-Boolean flag reads as False and keeps the record with its children",
         {"Node\tg", "\tChannelList\t\tl\t\thttp://h/l", "\t\tChannel\t\tp\t\ta\t\tn\t\ti",
          "\t\tChannel\t\tp\t\tb\t\tn\t\ti\t\tyes", "Node\th\tmaybe", "\tChannelList\t\tm\t\tnope\t\tu",
          "\t\tChannel\t\tp\t\tc\t\tn\t\ti\t\tTrue"},
         {"Node\tg\tFalse", "\tChannelList\t\tl\t\tFalse\t\thttp://h/l", "\t\tChannel\t\tp\t\ta\t\tn\t\ti\t\tFalse",
          "\t\tChannel\t\tp\t\tb\t\tn\t\ti\t\tFalse", "Node\th\tFalse", "\tChannelList\t\tm\t\tFalse\t\tu",
          "\t\tChannel\t\tp\t\tc\t\tn\t\ti\t\tTrue"}},
        {"IDs in other letter case are one channel, written as the first, as the viewer does",
         {"ChannelList\t\tl\t\tTrue\t\tu",
          QStringLiteral("\tChannel\t\tp\t\tjp.t.Cam3\t\tカメラ\t\thttp://h/3\t\tTrue"), "Node\tg\tTrue",
          "\tChannel\t\tq\t\tjp.t.cam3\t\tother\t\thttp://h/other\t\tFalse"},
         {"ChannelList\t\tl\t\tTrue\t\tu",
          QStringLiteral("\tChannel\t\tp\t\tjp.t.Cam3\t\tカメラ\t\thttp://h/3\t\tTrue"), "Node\tg\tTrue",
          QStringLiteral("\tChannel\t\tp\t\tjp.t.Cam3\t\tカメラ\t\thttp://h/3\t\tTrue")}},
        {"a node ends the deeper slots of earlier nodes",
         {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", "\tNode\td\tTrue",
          "\t\t\tChannel\t\tp\t\tstale\t\tn\t\ti\t\tFalse", "\t\tChannel\t\tp\t\tunderD\t\tn\t\ti\t\tFalse"},
         {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", "\tNode\td\tTrue",
          "\t\tChannel\t\tp\t\tunderD\t\tn\t\ti\t\tFalse"}},
        // Found by fuzzing: U+0001 joins the fields of the tags, so a field
        // holding one shifted the others and the channel was lost next time.
        {"fields holding the tag separator are cleaned, or skipped when nothing is left",
         {"Node\tor" + sep + "g\tTrue", "\tChannel\t\tsig" + sep + "\t\tid.a\t\tna" + sep + "me\t\thttp://h/a\t\tTrue",
          "\tChannel\t\t" + sep + "\t\tid.b\t\tn\t\thttp://h/b\t\tFalse",
          "\tChannelList\t\t" + sep + "\t\tTrue\t\thttp://h/l",
          "\t\tChannel\t\tsig\t\tid.c\t\tn\t\thttp://h/c\t\tFalse"},
         {"Node\tor g\tTrue", "\tChannel\t\tsig\t\tid.a\t\tna me\t\thttp://h/a\t\tTrue"}},
    };
    for (const auto& [name, in, out] : rows) {
        SCOPED_TRACE(name);
        TempProgramDir own;
        own.write("ChannelList.txt", cp932(in));
        w = open(own);
        ASSERT_TRUE(w->Form_Load());
        w->close();
        EXPECT_EQ(own.read("ChannelList.txt"), cp932(out.isEmpty() ? in : out));
    }
}

// A channel the file lists twice (IDs in other letter case) is one channel:
// a downloaded list that names it changes both nodes alike, so the file
// written holds it twice the same. Found by fuzzing.
TEST_F(UpdaterFileTest, AChannelListedTwiceChangesAsOne) {
    load(cp932({"ChannelList\t\tl\t\tTrue\t\tu",
                QStringLiteral("\tChannel\t\tp\t\tjp.t.Cam3\t\tカメラ\t\thttp://h/3\t\tTrue"), "Node\tg\tTrue",
                "\tChannel\t\tq\t\tJP.T.CAM3\t\tother\t\thttp://h/other\t\tFalse"}));
    w->StartAddChannelList("http://127.0.0.1:1/list.txt");  // nothing answers; the list is parsed here
    w->ParseChannelList({"jp.t.cam3,sig,http://h/new"});
    w->close();
    const QString channel =
        QStringLiteral("\tChannel\t\tsig\t\tjp.t.Cam3\t\tチャンネル名 未取得\t\thttp://h/new\t\tTrue");
    EXPECT_EQ(dir.read("ChannelList.txt"), cp932({"ChannelList\t\tl\t\tTrue\t\tu", channel, "Node\tg\tTrue", channel}));
}

// The confirmation decides; a removed list is missing after closing, but
// removing the last one keeps the previous file for the next start.
TEST_F(UpdaterFileTest, RemovedListsAreMissingAfterClosingUnlessNoneIsLeft) {
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

// A new file is CP932; a file keeps its encoding, and bytes it cannot read
// come back as they were, beside a list added in the run.
TEST_F(UpdaterFileTest, TheFileKeepsItsEncodingAndEveryByte) {
    const QString text = QStringLiteral("ChannelList\t\t番組表①\t\tTrue\t\tu");
    const QString added = QStringLiteral("ChannelList\t\t追加\t\tFalse\t\tv");
    const QByteArray utf8 = (text + "\r\n\tChannel\t\tp\t\tid").toUtf8() + "\xFF\t\tcaf\xE9\t\ti\t\tFalse\r\n";
    const QByteArray sjis = Cp932::encode(text + "\r\n\tChannel\t\tp\t\tid") + "\x80\x85\x40\t\t\xFD\t\ti\t\tFalse\r\n";
    const std::vector<std::tuple<const char*, QByteArray, QByteArray>> rows = {
        {"no file: CP932", QByteArray(), Cp932::encode(added + "\r\n")},
        {"UTF-8 with stray bytes", utf8, utf8 + (added + "\r\n").toUtf8()},
        {"CP932 with bytes it cannot read", sjis, sjis + Cp932::encode(added + "\r\n")},
    };
    for (const auto& [name, in, out] : rows) {
        SCOPED_TRACE(name);
        TempProgramDir own;
        if (!in.isNull()) own.write("ChannelList.txt", in);
        w = open(own);
        ASSERT_TRUE(w->Form_Load());
        w->LoadChannelList({QString(), added});
        w->close();
        EXPECT_EQ(own.read("ChannelList.txt"), out);
    }
}

// Only the first saved 分類なし gets the key back, and new channels without
// "." in their identifier join it.
TEST_F(UpdaterFileTest, TheSavedUnknownGroupIsFoundAgain) {
    load(cp932({QStringLiteral("Node\t分類なし\tTrue"), "\tChannel\t\tp\t\tone\t\tn\t\ti\t\tFalse",
                QStringLiteral("Node\t分類なし\tFalse")}));
    EXPECT_EQ(updater::frmMain::Key(top(0)), "tvwKey_UnKnown_Organization");
    EXPECT_EQ(updater::frmMain::Key(top(1)), "");
    EXPECT_EQ(w->GetOrganizationNode("two"), top(0));
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 2);
}

TEST_F(UpdaterFileTest, AFailedWriteKeepsTheOldFileAndSaysSo) {
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

// The updater builds a list from a server and writes ChannelList.txt; the
// viewer's loader reads the same channels and groups from it.
TEST_F(UpdaterFileTest, TheViewerLoadsWhatTheUpdaterWrote) {
    const std::vector<const char*> ids = {"jp.tokyo.a", "jp.tokyo.b", "jp.osaka.c", "nodot", "us.ny.east.d"};
    ChannelPublisher pub;
    QStringList list;
    for (size_t n = 0; n < ids.size(); ++n) {
        pub.add({ids[n], QStringLiteral("局 %1").arg(n), QString::number(n), 0, 5, QColor(), {8, 6}, {8, 6}, {}});
        list << QStringLiteral("%1,VNT1,%2").arg(QString::fromLatin1(ids[n]), pub.infoUrl(ids[n]));
    }
    pub.server().serve("/list.txt", list.join("\r\n").toUtf8(), "text/plain");
    load();
    addList(pub.server().url("/list.txt"));
    // Names come from the information files, list node by list node (the
    // 分類なし group is no list and keeps the placeholder name).
    for (QTreeWidgetItem* node : w->tvwChannelSelect->findItems("(", Qt::MatchContains | Qt::MatchRecursive))
        if (updater::frmMain::Tag(node).Kind == updater::NodeKind::ChannelList) {
            select(node);
            w->mnuUpdateChannel_Click();
            ASSERT_TRUE(waitIdle());
        }
    ASSERT_TRUE(w->SaveChannelList());
    const QByteArray written = dir.read("ChannelList.txt");

    TempProgramDir viewerDir;
    viewerDir.write("ChannelList.txt", written);
    frmMain viewer(viewerDir.path(), std::make_unique<frmSetting>());
    viewer.LoadSetting();
    clsChannelManeger* channels = viewer.ChannelManeger();
    ASSERT_EQ(channels->ChannelCount(), int(ids.size()));
    for (size_t n = 0; n < ids.size(); ++n) {
        SCOPED_TRACE(ids[n]);
        const clsChannel* c = channels->Channel(ids[n]);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->ChannelName(),
                  QString(ids[n]) == "nodot" ? QStringLiteral("チャンネル名 未取得") : QStringLiteral("局 %1").arg(n));
        EXPECT_EQ(c->ChannelInfomationURL(), pub.infoUrl(ids[n]));
        EXPECT_EQ(c->Protocol(), "VNT1");
        EXPECT_FALSE(c->SavePicture());
    }
    // Same groups in the same order; the viewer shows a list node by its
    // name only, after its own two top nodes.
    QStringList updaterShape = shape();
    for (QString& line : updaterShape) line.remove(QRegularExpression(R"(\(.*\)$)"));
    EXPECT_EQ(shapeOf(viewer.tvwChannelSelect(), 2), updaterShape);
    viewer.close();  // and writes back what it read
    EXPECT_EQ(viewerDir.read("ChannelList.txt"), written);
}

}  // namespace
