// The updater's window: answers, popup, layout and closing commands.

#include "UpdaterFixture.h"
#include "updater/ElidedLabel.h"

#include <QFile>
#include <QProgressBar>
#include <QScrollBar>
#include <QStatusBar>

namespace {

using updater::UpdaterState;

TEST_F(UpdaterTest, AnEmptyAnswerStartsNothing) {
    load();
    EXPECT_EQ(roots(), 0);  // no file yet
    EXPECT_FALSE(dir.exists("ChannelList.txt"));

    answers << QString() << QStringLiteral("   ");
    for (int i = 0; i < 2; ++i) w->mnuAddChannelList_Click();
    EXPECT_EQ(prompts.size(), 2);
    EXPECT_EQ(w->UpdateState(), UpdaterState::Idle);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_TRUE(status().isEmpty());
}

// "n / N" is readable wherever the bar's chunk ends: dark text both over
// the chunk and over the white groove beside it (it was white on white).
TEST_F(UpdaterTest, TheProgressTextIsReadableOnBothSidesOfTheChunk) {
    QProgressBar* bar = w->prgUpdateChannel;
    bar->setRange(0, 5);
    bar->resize(140, 20);
    auto darkPixels = [](const QImage& image, const QRect& area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) n += qGray(image.pixel(x, y)) < 90;
        return n;
    };
    // Where the text lies: its dark columns on the bare groove.
    bar->setValue(0);
    const QImage bare = bar->grab().toImage();
    int left = bare.width(), right = -1;
    for (int x = 0; x < bare.width(); ++x)
        if (darkPixels(bare, QRect(x, 2, 1, bare.height() - 4)) > 0) left = qMin(left, x), right = qMax(right, x);
    ASSERT_GT(right - left, 10) << "no text on the bar";
    const QRect text(left, 2, right - left + 1, bare.height() - 4);
    int checked = 0;
    for (int value = 1; value <= 4; ++value) {
        bar->setValue(value);
        const QImage shot = bar->grab().toImage();
        const int edge = shot.width() * value / 5;
        if (edge + 4 < text.right()) {
            ++checked;
            EXPECT_GT(darkPixels(shot, text.intersected(QRect(edge + 2, 0, shot.width(), shot.height()))), 3)
                << value << "/5 beside the chunk";
        }
        if (edge - 4 > text.left()) {
            ++checked;
            EXPECT_GT(darkPixels(shot, text.intersected(QRect(0, 0, edge - 2, shot.height()))), 3)
                << value << "/5 over the chunk";
        }
    }
    EXPECT_GE(checked, 3);
}

// A press on a node: the button it records, and whether the popup shows.
struct Press {
    const char *name, *node;
    Qt::MouseButton button;
    MouseButtonCode recorded;
    bool popup;
};
class Presses : public UpdaterTest, public ::testing::WithParamInterface<Press> {};

TEST_P(Presses, SelectTheNodeAndOnlyARightPressOnAListShowsThePopup) {
    load(QStringLiteral("Node\tgroup\tTrue\r\n\tChannelList\t\tlist\t\tTrue\t\thttp://h/l\r\n"
                        "\t\tChannel\t\tp\t\tc\t\tname\t\thttp://h/i\t\tFalse\r\nNode\t分類なし\tTrue\r\n")
             .toUtf8());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTreeView* tree = w->tvwChannelSelect->Tree();
    TreeNode* item = node(QString::fromUtf8(GetParam().node));
    ASSERT_NE(item, nullptr);
    const QPoint at = tree->visualRect(w->TreeModel()->IndexOf(item)).center();
    QTest::mousePress(tree->viewport(), GetParam().button, {}, at);
    QTest::mouseRelease(tree->viewport(), GetParam().button, {}, at);
    EXPECT_EQ(w->mTreeMouseButton, GetParam().recorded);
    EXPECT_EQ(w->tvwChannelSelect->CurrentNode(), item);
    // Sizes first: QList's own == hands memcmp a null pointer for empty lists.
    ASSERT_EQ(popups.size(), GetParam().popup ? 1 : 0);
    if (GetParam().popup) {
        EXPECT_EQ(popups[0], w->mnuPopupForChannelList);
    }
}

using B = MouseButtonCode;
const char* const kList = "list(http://h/l)";
INSTANTIATE_TEST_SUITE_P(Updater, Presses,
                         ::testing::Values(Press{"RightOnAList", kList, Qt::RightButton, B::Right, true},
                                           Press{"LeftOnAList", kList, Qt::LeftButton, B::Left, false},
                                           Press{"MiddleOnAList", kList, Qt::MiddleButton, B::Middle, false},
                                           Press{"BackOnAList", kList, Qt::BackButton, B::None, false},
                                           Press{"RightOnAChannel", "name(c)", Qt::RightButton, B::Right, false},
                                           Press{"RightOnTheUnknownGroup", "分類なし", Qt::RightButton, B::Right,
                                                 false}),
                         kRowName);

// A key on the selected node: the popup, at the node, on a list only;
// Delete asks to remove a list and removes it; Enter acts as a left click.
struct Key {
    const char *name, *node;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool popup, removed;
};
class Keys : public UpdaterTest, public ::testing::WithParamInterface<Key> {};

TEST_P(Keys, ActAsTheMouseAndThePopupDo) {
    const Key& k = GetParam();
    load(QStringLiteral(
             "ChannelList\t\tlist\t\tTrue\t\thttp://h/l\r\n\tChannel\t\tp\t\tc\t\tname\t\thttp://h/i\t\tFalse\r\n")
             .toUtf8());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QPoint at;
    w->ShowPopup = [&](QMenu* menu, const QPoint& pos) { popups << menu, at = pos; };
    TreeNode* item = node(QString::fromUtf8(k.node));
    select(item);
    w->tvwChannelSelect->Tree()->setFocus();
    QTest::keyClick(w->tvwChannelSelect->Tree(), k.key, k.modifiers);
    ASSERT_EQ(popups.size(), k.popup ? 1 : 0);
    if (k.popup) {
        const QRect rect = w->tvwChannelSelect->Tree()->visualRect(w->TreeModel()->IndexOf(item));
        EXPECT_TRUE(rect.adjusted(0, 0, 0, 1).contains(w->tvwChannelSelect->Tree()->viewport()->mapFromGlobal(at)));
    }
    EXPECT_EQ(confirms.size(), k.removed ? 1 : 0);
    EXPECT_EQ(roots(), k.removed ? 0 : 1);
}

const Key kKeys[] = {
    {"MenuOnAList", kList, Qt::Key_Menu, Qt::NoModifier, true, false},
    {"ShiftF10OnAList", kList, Qt::Key_F10, Qt::ShiftModifier, true, false},
    {"MenuOnAChannel", "name(c)", Qt::Key_Menu, Qt::NoModifier, false, false},
    {"EnterOnAList", kList, Qt::Key_Return, Qt::NoModifier, false, false},
    {"DeleteOnAList", kList, Qt::Key_Delete, Qt::NoModifier, false, true},
    {"DeleteOnAChannel", "name(c)", Qt::Key_Delete, Qt::NoModifier, false, false},
};
VANTORA_ROWS(Keys, kKeys);

// The tree fills the window across, its margin on both sides, to the status bar.
TEST_F(UpdaterTest, TheTreeFollowsTheWindowSize) {
    load();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QWidget* client = w->centralWidget();
    const QPoint start = w->tvwChannelSelect->geometry().topLeft();
    for (const QSize& size : {QSize(640, 480), QSize(300, 200), QSize(900, 700)}) {
        w->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->size() == size; }, 3000));
        const QRect tree = w->tvwChannelSelect->geometry(), bar = w->sbrMain->geometry();
        EXPECT_EQ(tree.topLeft(), start);
        EXPECT_EQ(tree.right() + 1 + tree.left(), client->width()) << size.width();
        EXPECT_EQ(tree.bottom(), bar.top() + 1) << size.height();  // the bar lies over its edge
        EXPECT_EQ(bar.bottom() + 1, client->height());
        EXPECT_EQ(bar.width(), client->width());
    }
}

// The status text is cut with "…" where narrow, whole as tool tip.
TEST_F(UpdaterTest, LongTextsScrollSidewaysAndTheStatusIsElided) {
    load(crlf({"ChannelList\t\tshort\t\tTrue\t\thttp://h/l"}));
    w->resize(500, 300);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QScrollBar* sideways = w->tvwChannelSelect->Tree()->horizontalScrollBar();
    EXPECT_EQ(sideways->maximum(), 0);
    w->LoadChannelList({QString(), "ChannelList\t\tlong\t\tTrue\t\thttp://h/" + QString(200, 'x')});
    EXPECT_TRUE(QTest::qWaitFor([&] { return sideways->maximum() > 0; }, 3000));

    w->StartAddChannelList(QStringLiteral("http://127.0.0.1:1/list"));  // refused at once
    ASSERT_TRUE(waitIdle());
    const QString whole = status();
    ASSERT_TRUE(whole.endsWith(QStringLiteral(" - チャンネルリストファイルを取得できませんでした")))
        << whole.toStdString();
    auto* panel = qobject_cast<updater::ElidedLabel*>(w->Panel("sbrMainKey_Message"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->toolTip(), whole);
    auto shownAt = [&](int width) {
        w->resize(width, 300);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->width() == width; }, 3000));
        QTest::qWait(20);  // the status bar lays out its panels
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->ShownText()), panel->contentsRect().width());
        return panel->ShownText();
    };
    EXPECT_EQ(shownAt(1200), whole);
    const QString cut = shownAt(260);
    ASSERT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(whole.startsWith(cut.chopped(1)));
}

// Both save first; the viewer starts from beside the updater's program file.
struct Closing {
    const char* name;
    bool startViewer, viewerThere, programsApart;
};
class ClosingCommands : public UpdaterTest, public ::testing::WithParamInterface<Closing> {};

TEST_P(ClosingCommands, SaveFirstAndVantoraStartsTheViewer) {
    const Closing& row = GetParam();
    TempProgramDir programs;
    const TempProgramDir& bin = row.programsApart ? programs : dir;
    dir.write("ChannelList.txt", "ChannelList\t\tl\t\ttrue\t\tu\r\n");
    if (row.viewerThere) {  // a stand-in viewer that records the file it finds
        bin.write("Vantomon", "#!/bin/sh\ncp ChannelList.txt started.txt\n");
        QFile::setPermissions(bin.file("Vantomon"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    w = open(dir, row.programsApart ? programs.path() : QString());
    QStringList started;  // program|folder, and the file then
    w->StartProgram = [&, start = w->StartProgram](const QString& program, const QString& folder) {
        started << program + "|" + folder << dir.read("ChannelList.txt");
        return start(program, dir.path());  // run where the file is
    };
    load();
    w->show();
    row.startViewer ? w->mnuExitForExe_Click() : w->mnuExit_Click();
    EXPECT_FALSE(w->isVisible());
    const QByteArray saved = "ChannelList\t\tl\t\tTrue\t\tu\r\n";
    EXPECT_EQ(dir.read("ChannelList.txt"), saved);
    const bool starts = row.startViewer && row.viewerThere;
    const QStringList expected{bin.file("Vantomon") + "|" + bin.path(), saved};
    EXPECT_EQ(started, starts ? expected : QStringList());
    if (starts) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dir.read("started.txt") == saved; }, 10000));
    }
    EXPECT_EQ(dir.allFiles().filter("ChannelList"), QStringList{"ChannelList.txt"});  // no temporary left
}

INSTANTIATE_TEST_SUITE_P(Updater, ClosingCommands,
                         ::testing::Values(Closing{"Exit", false, true, false},
                                           Closing{"VantoraWithoutTheViewer", true, false, false},
                                           Closing{"Vantora", true, true, false},
                                           Closing{"VantoraWithTheProgramFilesApart", true, true, true}),
                         kRowName);

}  // namespace
