// The updater's window: captions, popup, layout, closing commands and dialogs.

#include "UpdaterFixture.h"
#include "updater/ElidedLabel.h"

#include <QAbstractButton>
#include <QFile>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTime>
#include <QTimer>

namespace {

using UpdaterWindowTest = UpdaterTest;

// Captions of the visible entries, "-" for separators.
QStringList captions(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        if (a->isVisible()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST_F(UpdaterWindowTest, CaptionsStartStateAndAnEmptyAnswer) {
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Vantora  -  チャンネルの更新"));
    EXPECT_EQ(captions(w->menuBar()->actions()), QStringList{QStringLiteral("ファイル")});
    EXPECT_EQ(captions(w->mnuFile->actions()), (QStringList{QStringLiteral("チャンネルリストの追加"), "-",
                                                            QStringLiteral("Vantoraの起動"), QStringLiteral("終了")}));
    EXPECT_EQ(w->mnuPopup->title(), QStringLiteral("Popup"));
    EXPECT_TRUE(w->menuBar()->actions().contains(w->mnuPopup->menuAction()));
    EXPECT_EQ(w->mnuPopupForChannelList->title(), QStringLiteral("Popup For ChannelList"));
    EXPECT_EQ(captions(w->mnuPopupForChannelList->actions()),
              (QStringList{QStringLiteral("チャンネルリストを更新する"), QStringLiteral("チャンネル情報を更新する"),
                           "-", QStringLiteral("チャンネルリストの削除")}));

    load();
    EXPECT_EQ(w->UpdateState(), updater::UpdaterState::Idle);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 0);  // no file yet
    EXPECT_FALSE(dir.exists("ChannelList.txt"));

    // The clock panel shows the time of day and keeps it.
    ASSERT_NE(w->Panel("sbrMainKey_Message"), nullptr);
    QLabel* clock = w->Panel("sbrMainKey_Time");
    ASSERT_NE(clock, nullptr);
    const QTime shown = QTime::fromString(clock->text(), "H:mm");
    ASSERT_TRUE(shown.isValid()) << clock->text().toStdString();
    EXPECT_LE(qAbs(shown.secsTo(QTime::currentTime())), 120);
    clock->clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !clock->text().isEmpty(); }, 3000));

    // An empty answer, or one of spaces, starts nothing.
    answers << QString() << QStringLiteral("   ");
    for (int i = 0; i < 2; ++i) w->mnuAddChannelList_Click();
    EXPECT_EQ(prompts.size(), 2);
    EXPECT_EQ(w->UpdateState(), updater::UpdaterState::Idle);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_TRUE(status().isEmpty());
}

TEST_F(UpdaterWindowTest, ARightClickOnAListNodeShowsThePopup) {
    load(QStringLiteral("Node\tgroup\tTrue\r\n\tChannelList\t\tlist\t\tTrue\t\thttp://h/l\r\n"
                        "\t\tChannel\t\tp\t\tc\t\tname\t\thttp://h/i\t\tFalse\r\nNode\t分類なし\tTrue\r\n")
             .toUtf8());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTreeWidget* tree = w->tvwChannelSelect;
    QTreeWidgetItem* list = top(0)->child(0);
    // The press, on which node, the button recorded, whether the popup shows.
    using B = MouseButtonCode;
    const std::vector<std::tuple<const char*, QTreeWidgetItem*, Qt::MouseButton, B, bool>> rows = {
        {"right on a list", list, Qt::RightButton, B::Right, true},
        {"left on a list", list, Qt::LeftButton, B::Left, false},
        {"middle on a list", list, Qt::MiddleButton, B::Middle, false},
        {"back on a list", list, Qt::BackButton, B::None, false},
        {"right on a channel", list->child(0), Qt::RightButton, B::Right, false},
        {"right on a group", top(0), Qt::RightButton, B::Right, false},
        {"right on 分類なし", top(1), Qt::RightButton, B::Right, false},
    };
    for (const auto& [name, item, button, recorded, popup] : rows) {
        SCOPED_TRACE(name);
        popups.clear();
        tree->setCurrentItem(nullptr);
        const QPoint at = tree->visualItemRect(item).center();
        QTest::mousePress(tree->viewport(), button, {}, at);
        QTest::mouseRelease(tree->viewport(), button, {}, at);
        EXPECT_EQ(w->mTreeMouseButton, recorded);
        EXPECT_EQ(tree->currentItem(), item);
        // Sizes first: QList's own == hands memcmp a null pointer for empty lists.
        ASSERT_EQ(popups.size(), popup ? 1 : 0);
        if (popup) {
            EXPECT_EQ(popups[0], w->mnuPopupForChannelList);
        }
    }
}

TEST_F(UpdaterWindowTest, TheTreeFollowsTheWindowSize) {
    load();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QWidget* client = w->centralWidget();
    const QPoint start = w->tvwChannelSelect->geometry().topLeft();
    for (const QSize& size : {QSize(640, 480), QSize(300, 200), QSize(900, 700)}) {
        w->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->size() == size; }, 3000));
        const QRect tree = w->tvwChannelSelect->geometry();
        EXPECT_EQ(tree.topLeft(), start);
        // Width: inner width less the left margin on both sides; height:
        // inner height less the status bar and 6 twips.
        EXPECT_EQ(tree.width(), client->width() - 2 * tree.left());
        EXPECT_EQ(tree.height(), (client->height() * 15 - w->sbrMain->height() * 15 - 6) / 15);
        EXPECT_EQ(w->sbrMain->geometry().bottom(), client->height() - 1);
        EXPECT_EQ(w->sbrMain->width(), client->width());
    }
    EXPECT_EQ(w->linSplit->width(), 501);  // the separator lines keep their length
}

// A long node text scrolls sideways. The status text is cut with "…" where
// the window is narrow, whole where it fits, and always whole as tool tip.
TEST_F(UpdaterWindowTest, LongTextsScrollSidewaysAndTheStatusIsElided) {
    load(crlf({"ChannelList\t\tshort\t\tTrue\t\thttp://h/l"}));
    w->resize(500, 300);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QScrollBar* sideways = w->tvwChannelSelect->horizontalScrollBar();
    EXPECT_EQ(sideways->maximum(), 0);
    w->LoadChannelList({QString(), "ChannelList\t\tlong\t\tTrue\t\thttp://h/" + QString(200, 'x')});
    EXPECT_TRUE(QTest::qWaitFor([&] { return sideways->maximum() > 0; }, 3000));

    w->StartAddChannelList(QStringLiteral("http://127.0.0.1:1/list"));  // refused at once
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->UpdateState() == updater::UpdaterState::Idle; }, 10000));
    const QString whole = status();
    ASSERT_TRUE(whole.endsWith(QStringLiteral(" - チャンネルリストファイルを取得できませんでした"))) << whole.toStdString();
    auto* panel = qobject_cast<updater::ElidedLabel*>(w->Panel("sbrMainKey_Message"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->toolTip(), whole);
    for (int width : {1200, 260}) {
        SCOPED_TRACE(width);
        w->resize(width, 300);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->width() == width; }, 3000));
        QTest::qWait(20);  // the status bar lays out its panels
        const QString shown = panel->ShownText();
        EXPECT_LE(panel->fontMetrics().horizontalAdvance(shown), panel->contentsRect().width());
        if (width > 1000) {
            EXPECT_EQ(shown, whole);
        } else {
            ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
            EXPECT_TRUE(whole.startsWith(shown.chopped(1)));
        }
    }
}

// 終了 and Vantoraの起動 save first; only Vantoraの起動 starts the viewer,
// and only when its program is beside the updater's program file, which is
// not the data folder when the program folder is read-only.
TEST_F(UpdaterWindowTest, ClosingCommandsSaveFirstAndVantoraStartsTheViewer) {
    // The command, whether it is Vantoraの起動, whether the viewer is there,
    // whether the program files live apart from the data.
    const std::vector<std::tuple<const char*, bool, bool, bool>> rows = {
        {"終了", false, true, false},
        {"Vantoraの起動 without the viewer", true, false, false},
        {"Vantoraの起動", true, true, false},
        {"Vantoraの起動, program files apart", true, true, true}};
    for (const auto& [name, exitForExe, viewerThere, apart] : rows) {
        SCOPED_TRACE(name);
        TempProgramDir own, programs;
        const TempProgramDir& bin = apart ? programs : own;
        own.write("ChannelList.txt", "ChannelList\t\tl\t\ttrue\t\tu\r\n");
        // A stand-in viewer that records the file it found at its start.
        if (viewerThere) {
            bin.write("Vantomon", "#!/bin/sh\ncp '" + own.file("ChannelList.txt").toUtf8() + "' '" +
                                      own.file("started.txt").toUtf8() + "'\n");
            QFile::setPermissions(bin.file("Vantomon"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        w = open(own, apart ? programs.path() : QString());
        QStringList startedIn;  // the program and folder of each start
        QByteArrayList startedWith;  // the file as each start finds it
        w->StartProgram = [&, start = w->StartProgram](const QString& program, const QString& folder) {
            startedIn << program + "|" + folder;
            startedWith << own.read("ChannelList.txt");
            return start(program, folder);
        };
        ASSERT_TRUE(w->Form_Load());
        w->show();
        exitForExe ? w->mnuExitForExe_Click() : w->mnuExit_Click();
        EXPECT_FALSE(w->isVisible());
        const QByteArray saved = "ChannelList\t\tl\t\tTrue\t\tu\r\n";
        EXPECT_EQ(own.read("ChannelList.txt"), saved);
        const bool started = exitForExe && viewerThere;
        EXPECT_EQ(startedWith, started ? QByteArrayList{saved} : QByteArrayList{});
        EXPECT_EQ(startedIn, started ? QStringList{bin.file("Vantomon") + "|" + bin.path()} : QStringList{});
        if (started) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return own.read("started.txt") == saved; }, 10000));
        }
        EXPECT_EQ(own.allFiles().filter("ChannelList"), QStringList{"ChannelList.txt"});  // no temporary left
    }
}

// The real dialogs, answered as a user would: title, text, buttons, and
// what each answer returns.
TEST(UpdaterDialogs, HaveTheirCaptionsAndButtons) {
    TempProgramDir dir;
    updater::frmMain w(dir.path());
    QStringList seen;
    // Looks at the next modal dialog as soon as it is shown, then answers.
    auto whenShown = [&seen](std::function<void(QWidget*)> answer) {
        QTimer::singleShot(0, [&seen, answer] {
            QWidget* d = nullptr;
            if (!QTest::qWaitFor([&] { return (d = QApplication::activeModalWidget()) != nullptr; }, 5000)) return;
            auto* box = qobject_cast<QMessageBox*>(d);
            auto* input = qobject_cast<QInputDialog*>(d);
            QStringList buttons;
            for (auto* b : d->findChildren<QAbstractButton*>()) buttons << b->text();
            buttons.sort();
            if (box && box->defaultButton()) buttons << "default " + box->defaultButton()->text();
            seen = QStringList{d->windowTitle(), box ? box->text() : input ? input->labelText() : QString()} + buttons;
            answer(d);
        });
    };
    auto click = [](QMessageBox::StandardButton which) {
        return [which](QWidget* d) { qobject_cast<QMessageBox*>(d)->button(which)->click(); };
    };
    const QStringList okCancel{"OK", QStringLiteral("キャンセル")};

    whenShown([](QWidget* d) {
        qobject_cast<QInputDialog*>(d)->setTextValue("http://h/list.txt");
        qobject_cast<QInputDialog*>(d)->accept();
    });
    EXPECT_EQ(w.InputBox(&w, "prompt", "title"), "http://h/list.txt");
    EXPECT_EQ(seen, QStringList({"title", "prompt"}) + okCancel);
    whenShown([](QWidget* d) { d->close(); });  // the close box is a cancel
    EXPECT_EQ(w.InputBox(&w, "prompt", "title"), "");

    const QString text = QStringLiteral("このチャンネルリストを削除しますか？"),
                  title = QStringLiteral("チャンネルリストの削除");
    for (bool ok : {true, false}) {
        seen.clear();
        whenShown(click(ok ? QMessageBox::Ok : QMessageBox::Cancel));
        EXPECT_EQ(w.ConfirmBox(&w, text, title), ok);
        EXPECT_EQ(seen, QStringList({title, text}) + okCancel + QStringList{"default OK"});
    }

    whenShown(click(QMessageBox::Ok));
    w.ViewerRunning = [] { return true; };
    EXPECT_FALSE(w.Form_Load());
    EXPECT_EQ(seen, (QStringList{QStringLiteral("起動エラー"),
                                 QStringLiteral("Vantora本体起動中は、チャンネルリストの更新はできません"), "OK"}));
}

}  // namespace
