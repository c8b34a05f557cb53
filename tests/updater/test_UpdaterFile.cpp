// ChannelList.txt as the updater reads it at start-up and writes it at close.

#include "ListFixtures.h"
#include "UpdaterFixture.h"
#include "common/Cp932.h"
#include "common/SafeFile.h"
#include "updater/ChannelListFile.h"

namespace {

// Each fixture folder, on the tree model alone: ChannelList.txt found at
// start-up, and as written at close (none: not written), which another
// start writes again unchanged.
class ListFile : public ::testing::TestWithParam<ListFixture> {};

TEST_P(ListFile, IsWrittenAsExpectedAndAgainUnchanged) {
    const ListFixture& c = GetParam();
    TempProgramDir dir;
    if (!c.input("ChannelList.txt").isNull()) dir.write("ChannelList.txt", c.input("ChannelList.txt"));
    auto startAndClose = [&dir] {
        ChannelTreeModel tree;
        updater::ChannelListFile file(tree, dir.file("ChannelList.txt"));
        file.Read();
        return file.Write();
    };
    ASSERT_TRUE(startAndClose());
    const bool written = dir.exists("ChannelList.txt");
    const QByteArray bytes = dir.read("ChannelList.txt");
    if (WritingFixtures()) return WriteExpected(c, "ChannelList.txt", written ? &bytes : nullptr);
    EXPECT_EQ(written, !c.expected("ChannelList.txt").isNull());
    EXPECT_EQ(bytes, c.expected("ChannelList.txt")) << bytes.toStdString();
    ASSERT_TRUE(startAndClose());
    EXPECT_EQ(dir.read("ChannelList.txt"), bytes);
}

VANTORA_ROWS(ListFile, ListFixtures("updater"));

const QString kCam3 = QStringLiteral("\tChannel\t\tp\t\tjp.t.Cam3\t\tカメラ\t\thttp://h/3\t\tTrue");

// IDs in other letter case are one channel, written as the first and
// changed alike by a downloaded list, which holds it too. Found by fuzzing.
TEST_F(UpdaterTest, AChannelListedTwiceChangesAsOne) {
    load(ListFileBytes({"ChannelList\t\tl\t\tTrue\t\tu", kCam3, "Node\tg\tTrue",
                        "\tChannel\t\tq\t\tJP.T.CAM3\t\tother\t\thttp://h/other\t\tFalse"}));
    EXPECT_EQ(tag(top(1)->Child(0)), tag(top(0)->Child(0)));
    w->StartAddChannelList("http://127.0.0.1:1/list.txt");  // nothing answers; the list is parsed here
    w->ParseChannelList({"jp.t.cam3,sig,http://h/new"});
    w->close();
    const QString channel =
        QStringLiteral("\tChannel\t\tsig\t\tjp.t.Cam3\t\tチャンネル名 未取得\t\thttp://h/new\t\tTrue");
    EXPECT_EQ(dir.read("ChannelList.txt"),
              ListFileBytes({"ChannelList\t\tl\t\tTrue\t\tu", channel, "Node\tg\tTrue", channel, "Node\tjp\tTrue",
                             "\tChannelList\t\tt\t\tTrue\t\thttp://127.0.0.1:1/list.txt", "\t" + channel}));
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
    EXPECT_EQ(roots(), 0);
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
