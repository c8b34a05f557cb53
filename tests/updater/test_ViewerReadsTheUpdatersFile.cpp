#include "UpdaterFixture.h"

#include "ChannelPublisher.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QFile>

namespace {

using CrossCheck = UpdaterTest;

// The updater builds a list from a server, writes ChannelList.txt, and the
// viewer's loader reads the same channels and groups from it.
TEST_F(CrossCheck, TheViewerLoadsWhatTheUpdaterWrote) {
    ChannelPublisher pub;
    QStringList list;
    int n = 0;
    for (const char* id : {"jp.tokyo.a", "jp.tokyo.b", "jp.osaka.c", "nodot", "us.ny.east.d"}) {
        pub.add({id, QStringLiteral("局%1").arg(++n), QString::number(n), 0, 5, QColor(), {8, 6}, {8, 6}, {}});
        list << QStringLiteral("%1,VNT1,%2").arg(QString::fromLatin1(id), pub.infoUrl(id));
    }
    pub.server().serve("/list.txt", list.join("\r\n").toUtf8(), "text/plain");
    load();
    addList(pub.server().url("/list.txt"));
    // Names come from the information files, list node by list node (the
    // 分類なし group has no list of its own and keeps its placeholder name).
    for (QTreeWidgetItem* list : w->tvwChannelSelect->findItems("(", Qt::MatchContains | Qt::MatchRecursive))
        if (updater::frmMain::Tag(list).startsWith("ChannelList")) {
            select(list);
            w->mnuUpdateChannel_Click();
            ASSERT_TRUE(waitIdle());
        }
    ASSERT_TRUE(w->SaveChannelList());
    const QByteArray written = dir.read("ChannelList.txt");

    // The viewer in another folder with that file.
    TempProgramDir viewerDir;
    viewerDir.write("ChannelList.txt", written);
    frmMain viewer(viewerDir.path(), new frmSetting);
    viewer.LoadSetting();
    clsChannelManeger* channels = viewer.ChannelManeger();
    ASSERT_EQ(channels->ChannelCount(), 5);
    n = 0;
    for (const char* id : {"jp.tokyo.a", "jp.tokyo.b", "jp.osaka.c", "nodot", "us.ny.east.d"}) {
        const clsChannel* c = channels->Channel(id);
        ASSERT_NE(c, nullptr) << id;
        ++n;
        EXPECT_EQ(c->ChannelName(), QString(id) == "nodot" ? QStringLiteral("チャンネル名 未取得") : QStringLiteral("局%1").arg(n))
            << id;
        EXPECT_EQ(c->ChannelInfomationURL(), pub.infoUrl(id));
        EXPECT_EQ(c->Protocol(), "VNT1");
        EXPECT_FALSE(c->SavePicture());
    }
    // Same groups, same order: the viewer shows a list node by its name only.
    QStringList viewerShape;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* node, int depth) {
        viewerShape << QString::number(depth) + "|" + node->text(0);
        for (int i = 0; i < node->childCount(); ++i) walk(node->child(i), depth + 1);
    };
    for (int i = 2; i < viewer.tvwChannelSelect()->topLevelItemCount(); ++i) walk(viewer.tvwChannelSelect()->topLevelItem(i), 0);
    QStringList updaterShape = shape();
    for (QString& line : updaterShape) line.remove(QRegularExpression(R"(\(.*\)$)"));
    EXPECT_EQ(viewerShape, updaterShape);
    // The viewer writes back what it read.
    viewer.close();
    EXPECT_EQ(viewerDir.read("ChannelList.txt"), written);
}

}  // namespace
