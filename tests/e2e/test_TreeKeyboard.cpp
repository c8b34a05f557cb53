// The built viewer on a private X server, driven from the keyboard alone
// (xdotool keys): a channel found by typing part of its ID and opened with
// Enter, and every key of the channel tree, seen in what the server is asked
// for and in the files written at exit.

#include <gtest/gtest.h>

#include "ViewerSession.h"

namespace {

class TreeKeyboard : public ::testing::Test {
protected:
    ChannelPublisher pub;
    ViewerSession s;

    void SetUp() override {
        ASSERT_TRUE(s.x.Ok()) << "Xvfb did not start";
        for (const char* id : {"demo.red", "demo.green", "demo.blue"})
            pub.add({id,
                     QStringLiteral("局 ") + QString(id).mid(5),
                     "1",
                     0,
                     3,
                     QColor(200, 40, 40),
                     {80, 60},
                     {60, 45},
                     {}});
        s.dir.write(
            "ChannelList.txt",
            ListFileBytes({"Node\tデモ\tTrue", "\tChannelList\t\t一覧\t\tTrue\t\thttp://lists/",
                           pub.record("demo.red", 2), pub.record("demo.green", 2), pub.record("demo.blue", 2)}));
        s.dir.write("Favorite.txt",
                    ListFileBytes({"FavariteRoot\t\tお気に入り\t\tTrue", "\tFavariteChannel\t\tdemo.green"}));
        s.dir.write("MultiMonitor.txt",
                    ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\t監視\t\tTrue",
                                   "\t\tMultiMonitorChannel\t\tdemo.red"}));
    }
    // Keys, one after the other, each given a moment to arrive.
    void keys(const QStringList& sequence) {
        for (const QString& k : sequence) {
            s.x.Key(k);
            QTest::qWait(150);
        }
    }
    static QStringList times(int n, const QString& key) { return QStringList(n, key); }
};

TEST_F(TreeKeyboard, EveryTreeKeyDrivesTheRealWindow) {
    std::unique_ptr<frmMain> model = s.twin();
    const QPoint root = s.nodeOnScreen(*model, model->MultiMonitorRoot());
    ASSERT_TRUE(s.start());
    // The pointer stays over the window, where its keys go; a left click
    // on マルチモニター does nothing but select it and focus the tree.
    s.x.Click(root);
    QTest::qWait(300);

    // Part of an ID, Enter: the channel opens and is asked for.
    keys({"ctrl+f"});
    s.x.TypeText("blu");
    keys({"Return"});
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return pub.count("/demo.blue/info.txt") >= 1; }))
        << "Enter in the search field did not open the channel";
    EXPECT_EQ(pub.count("/demo.red/info.txt"), 0);
    // Esc clears the search, Esc again goes back to the tree, as it was.
    keys({"Escape", "Escape"});

    // Rows: マルチモニター, 監視, its member, お気に入り, demo.green, デモ, 一覧, red, green, blue.
    keys(times(4, "Down") << "space");
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return pub.count("/demo.green/info.txt") >= 1; }))
        << "Space on a favourite did not open its channel";
    // Delete removes the favourite; Ctrl+Z brings it back where it was.
    keys({"Delete", "ctrl+z"});
    // F2 on the folder: the rename box.
    keys(times(3, "Up") << "F2");
    const quint32 box = s.x.WaitForWindow(QStringLiteral("^新しいフォルダーの入力$"), 10000);
    ASSERT_NE(box, 0u) << "F2 showed no input box";
    QTest::qWait(300);
    s.x.TypeText("Renamed");
    keys({"Return"});
    // The Menu key on demo.red in the list: its popup, first item お気に入りに追加.
    keys(times(6, "Down") << "Menu");
    QTest::qWait(300);
    keys({"Down", "Return"});
    // Shift+F10 on マルチモニター: フォルダーの追加.
    keys({"Home", "shift+F10"});
    QTest::qWait(300);
    keys({"Down", "Return"});
    ASSERT_NE(s.x.WaitForWindow(QStringLiteral("^新しいフォルダーの入力$"), 10000), 0u)
        << "Shift+F10 and Return showed no input box";
    QTest::qWait(300);
    s.x.TypeText("KeyFolder");
    keys({"Return"});
    // Enter on the folder opens it: its member's thumbnail is asked for.
    keys({"Down", "Return"});
    ASSERT_TRUE(ViewerSession::waitUntil([&] { return pub.count("/demo.red/thumb.jpg") >= 1; }))
        << "Enter on a folder did not open it";
    ViewerSession::keepArtifact(s.x.Screenshot(s.window), "viewer-tree-keys.png");

    ASSERT_TRUE(s.close());
    EXPECT_EQ(s.dir.read("Favorite.txt"),
              ListFileBytes({"FavariteRoot\t\tお気に入り\t\tTrue", "\tFavariteChannel\t\tdemo.green",
                             "\tFavariteChannel\t\tdemo.red"}));
    EXPECT_EQ(s.dir.read("MultiMonitor.txt"),
              ListFileBytes({"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\tRenamed\t\tTrue",
                             "\t\tMultiMonitorChannel\t\tdemo.red", "\tMultiMonitorFolder\t\tKeyFolder\t\tTrue"}));
}

}  // namespace
