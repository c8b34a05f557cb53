// The updater's window: captions, popup, layout, commands and dialogs.

#include "UpdaterFixture.h"
#include "channel/HTTPTransfer.h"
#include "common/ViewerLock.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QFile>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>

namespace {

class UpdaterWindowTest : public UpdaterTest {};

// Captions of the visible entries, "-" for separators.
QStringList captions(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        if (a->isVisible()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST_F(UpdaterWindowTest, CaptionsAndStartState) {
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Vantora  -  チャンネルの更新"));
    EXPECT_EQ(captions(w->menuBar()->actions()), QStringList{QStringLiteral("ファイル")});
    EXPECT_EQ(captions(w->mnuFile->actions()),
              (QStringList{QStringLiteral("チャンネルリストの追加"), "-", QStringLiteral("Vantoraの起動"),
                           QStringLiteral("終了")}));
    EXPECT_EQ(w->mnuPopup->title(), QStringLiteral("Popup"));
    EXPECT_TRUE(w->menuBar()->actions().contains(w->mnuPopup->menuAction()));
    EXPECT_FALSE(w->mnuPopup->menuAction()->isVisible());
    EXPECT_EQ(w->mnuPopupForChannelList->title(), QStringLiteral("Popup For ChannelList"));
    EXPECT_EQ(captions(w->mnuPopupForChannelList->actions()),
              (QStringList{QStringLiteral("チャンネルリストを更新する"), QStringLiteral("チャンネル情報を更新する"), "-",
                           QStringLiteral("チャンネルリストの削除")}));

    load();
    EXPECT_EQ(w->UpdateState(), 1);
    EXPECT_EQ(w->TargetIndex(), -1);
    EXPECT_EQ(w->PendingChannelNodes(), QVector<qint64>{0});
    EXPECT_TRUE(w->NewChannelListURL().isEmpty());
    EXPECT_TRUE(commandsEnabled());
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 0);  // no file yet
    EXPECT_FALSE(dir.exists("ChannelList.txt"));

    // The clock panel shows the time of day and keeps it.
    QLabel* clock = w->Panel("sbrMainKey_Time");
    ASSERT_NE(clock, nullptr);
    const QTime shown = QTime::fromString(clock->text(), "H:mm");
    ASSERT_TRUE(shown.isValid()) << clock->text().toStdString();
    EXPECT_LE(qAbs(shown.secsTo(QTime::currentTime())), 120);
    clock->clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !clock->text().isEmpty(); }, 3000));
    EXPECT_NE(w->Panel("sbrMainKey_Message"), nullptr);
}

TEST_F(UpdaterWindowTest, ARightClickOnAListNodeShowsThePopup) {
    dir.write("ChannelList.txt", QStringLiteral("Node\tgroup\tTrue\r\n"
                                                "\tChannelList\t\tlist\t\tTrue\t\thttp://h/l\r\n"
                                                "\t\tChannel\t\tp\t\tc\t\tname\t\thttp://h/i\t\tFalse\r\n"
                                                "Node\t分類なし\tTrue\r\n")
                                     .toUtf8());
    load();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QTreeWidget* tree = w->tvwChannelSelect;
    QTreeWidgetItem* group = tree->topLevelItem(0);
    QTreeWidgetItem* list = group->child(0);
    QTreeWidgetItem* channel = list->child(0);
    QTreeWidgetItem* unknown = tree->topLevelItem(1);

    struct Row {
        const char* name;
        QTreeWidgetItem* node;
        Qt::MouseButton button;
        int recorded;
        bool popup;
    };
    const std::vector<Row> rows = {
        {"right on a list", list, Qt::RightButton, 2, true},
        {"left on a list", list, Qt::LeftButton, 1, false},
        {"middle on a list", list, Qt::MiddleButton, 4, false},
        {"right on a channel", channel, Qt::RightButton, 2, false},
        {"right on a group", group, Qt::RightButton, 2, false},
        {"right on 分類なし", unknown, Qt::RightButton, 2, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        popups.clear();
        tree->setCurrentItem(nullptr);
        const QPoint at = tree->visualItemRect(row.node).center();
        QTest::mousePress(tree->viewport(), row.button, {}, at);
        QTest::mouseRelease(tree->viewport(), row.button, {}, at);
        EXPECT_EQ(w->mTreeMouseButton, row.recorded);
        EXPECT_EQ(tree->currentItem(), row.node);
        EXPECT_EQ(popups.size(), row.popup ? 1 : 0);
        if (row.popup) {
            EXPECT_EQ(popups[0], w->mnuPopupForChannelList);
        }
    }
}

TEST_F(UpdaterWindowTest, TheTreeFollowsTheWindowSize) {
    load();
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QWidget* client = w->centralWidget();
    const QRect start = w->tvwChannelSelect->geometry();
    for (const QSize& size : {QSize(640, 480), QSize(300, 200), QSize(900, 700)}) {
        w->resize(size);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w->size() == size; }, 3000));
        const QRect tree = w->tvwChannelSelect->geometry();
        const int bar = w->sbrMain->height();
        EXPECT_EQ(tree.topLeft(), start.topLeft());
        // Width: inner width less the left margin on both sides; height:
        // inner height less the status bar and 6 twips.
        EXPECT_EQ(tree.width(), client->width() - 2 * tree.left());
        EXPECT_EQ(tree.height(), (client->height() * 15 - bar * 15 - 6) / 15);
        EXPECT_EQ(w->sbrMain->geometry().bottom(), client->height() - 1);
        EXPECT_EQ(w->sbrMain->width(), client->width());
    }
    // The separator lines keep their length.
    EXPECT_EQ(w->linSplit->width(), 501);
}

TEST_F(UpdaterWindowTest, AnEmptyAnswerOrAnEmptyListStartsNothing) {
    dir.write("ChannelList.txt", "ChannelList\t\tempty\t\tTrue\t\thttp://127.0.0.1:1/l\r\n");
    load();
    for (const QString& answer : {QString(), QStringLiteral("   ")}) {
        answers << answer;
        w->mnuAddChannelList_Click();
        EXPECT_EQ(w->UpdateState(), 1);
        EXPECT_TRUE(w->NewChannelListURL().isEmpty());
        EXPECT_TRUE(commandsEnabled());
        EXPECT_TRUE(status().isEmpty());
    }
    EXPECT_EQ(prompts.size(), 2);
    select(w->tvwChannelSelect->topLevelItem(0));
    w->mnuUpdateChannel_Click();
    EXPECT_EQ(w->UpdateState(), 1);
    EXPECT_TRUE(commandsEnabled());
    EXPECT_FALSE(w->netHTTP->StillExecuting());
}

TEST_F(UpdaterWindowTest, TheStartUpRefusalLoadsAndSavesNothing) {
    const QByteArray file = "ChannelList\t\tl\t\ttrue\t\tu\r\n";
    dir.write("ChannelList.txt", file);
    w->ViewerRunning = [] { return true; };
    EXPECT_FALSE(w->Form_Load());
    EXPECT_EQ(errors, QStringList{QStringLiteral("Vantora本体起動中は、チャンネルリストの更新はできません|起動エラー")});
    EXPECT_EQ(w->tvwChannelSelect->topLevelItemCount(), 0);
    w->LoadChannelList({QString(), "ChannelList\t\tother\t\tTrue\t\tv"});
    w->close();
    EXPECT_EQ(dir.read("ChannelList.txt"), file);
}

TEST_F(UpdaterWindowTest, ARunningViewerIsFoundByItsLockWithoutAnXServer) {
    QTemporaryDir lockFolder;
    ViewerLockTesting::OverrideFolder(lockFolder.path() + "/vantora");
    const QByteArray file = "ChannelList\t\tl\t\ttrue\t\tu\r\n";
    dir.write("ChannelList.txt", file);

    QProcess viewer;
    viewer.setProgram(QStringLiteral(UPDATER_TEST_HELPER));
    viewer.setArguments({"lock", lockFolder.path() + "/vantora"});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");  // no X server: only the lock can tell
    viewer.setProcessEnvironment(env);
    viewer.start();
    ASSERT_TRUE(viewer.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return viewer.readAllStandardOutput().contains("locked"); }, 10000));

    // The window's own detector, not a stand-in.
    auto fresh = [&] {
        auto window = std::make_unique<updater::frmMain>(dir.path());
        window->ShowError = [this](QWidget*, const QString& text, const QString& title) { errors << text + "|" + title; };
        return window;
    };
    qunsetenv("DISPLAY");
    {
        auto window = fresh();
        EXPECT_FALSE(window->Form_Load());
        window->close();
    }
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(dir.read("ChannelList.txt"), file);

    // A viewer that died leaves no lock behind.
    viewer.kill();
    viewer.waitForFinished();
    {
        auto window = fresh();
        EXPECT_TRUE(window->Form_Load());
        window->close();
    }
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(dir.read("ChannelList.txt"), "ChannelList\t\tl\t\tTrue\t\tu\r\n");
    ViewerLockTesting::OverrideFolder(QString());
}

TEST_F(UpdaterWindowTest, StartingTheViewerSavesFirst) {
    dir.write("ChannelList.txt", "ChannelList\t\tl\t\ttrue\t\tu\r\n");
    // A stand-in viewer that records the file it found at its start.
    dir.write("Vantomon", "#!/bin/sh\ncp ChannelList.txt started.txt\n");
    QFile::setPermissions(dir.file("Vantomon"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    load();
    w->show();
    w->mnuExitForExe_Click();
    EXPECT_FALSE(w->isVisible());
    const QByteArray saved = "ChannelList\t\tl\t\tTrue\t\tu\r\n";
    EXPECT_EQ(dir.read("ChannelList.txt"), saved);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("started.txt") == saved; }, 10000));
}

TEST_F(UpdaterWindowTest, WithoutTheViewerProgramClosingOnlySaves) {
    dir.write("ChannelList.txt", "ChannelList\t\tl\t\ttrue\t\tu\r\n");
    int starts = 0;
    w->StartProgram = [&](const QString&, const QString&) { return ++starts > 0; };
    load();
    w->mnuExitForExe_Click();
    EXPECT_EQ(starts, 0);
    EXPECT_EQ(dir.read("ChannelList.txt"), "ChannelList\t\tl\t\tTrue\t\tu\r\n");
    EXPECT_EQ(dir.allFiles(), QStringList{"ChannelList.txt"});

    // 終了 saves as well, once.
    TempProgramDir other;
    updater::frmMain window(other.path());
    window.ViewerRunning = [] { return false; };
    other.write("ChannelList.txt", "Node\tg\t1\r\n");
    ASSERT_TRUE(window.Form_Load());
    window.mnuExit_Click();
    EXPECT_EQ(other.read("ChannelList.txt"), "Node\tg\tTrue\r\n");
}

// The real dialogs, answered the way a user would.
class DialogTest : public ::testing::Test {
protected:
    // Runs answer on the modal dialog as soon as it is shown.
    static void whenShown(std::function<void(QWidget*)> answer) {
        QTimer::singleShot(0, [answer] {
            QWidget* modal = nullptr;
            if (QTest::qWaitFor([&] { return (modal = QApplication::activeModalWidget()) != nullptr; }, 5000))
                answer(modal);
        });
    }
    static QStringList buttonTexts(QWidget* dialog) {
        QStringList out;
        for (auto* b : dialog->findChildren<QAbstractButton*>()) out << b->text();
        out.sort();
        return out;
    }
    TempProgramDir dir;
    updater::frmMain w{dir.path()};
};

TEST_F(DialogTest, TheInputBoxAsksForTheAddress) {
    QString title, label;
    QStringList buttons;
    whenShown([&](QWidget* d) {
        auto* input = qobject_cast<QInputDialog*>(d);
        ASSERT_NE(input, nullptr);
        title = input->windowTitle();
        label = input->labelText();
        buttons = buttonTexts(input);
        input->setTextValue("http://h/list.txt");
        input->accept();
    });
    EXPECT_EQ(w.InputBox(&w, "prompt", "title"), "http://h/list.txt");
    EXPECT_EQ(title, "title");
    EXPECT_EQ(label, "prompt");
    EXPECT_EQ(buttons, (QStringList{"OK", QStringLiteral("キャンセル")}));

    whenShown([](QWidget* d) { d->close(); });  // the close box is a cancel
    EXPECT_EQ(w.InputBox(&w, "prompt", "title"), "");
}

TEST_F(DialogTest, TheRemovalConfirmationHasOkAndCancel) {
    for (bool ok : {true, false}) {
        QString text, title;
        QStringList buttons;
        whenShown([&](QWidget* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            ASSERT_NE(box, nullptr);
            text = box->text();
            title = box->windowTitle();
            buttons = buttonTexts(box);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Ok));
            box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
        });
        EXPECT_EQ(w.ConfirmBox(&w, QStringLiteral("このチャンネルリストを削除しますか？"),
                               QStringLiteral("チャンネルリストの削除")),
                  ok);
        EXPECT_EQ(text, QStringLiteral("このチャンネルリストを削除しますか？"));
        EXPECT_EQ(title, QStringLiteral("チャンネルリストの削除"));
        EXPECT_EQ(buttons, (QStringList{"OK", QStringLiteral("キャンセル")}));
    }
}

TEST_F(DialogTest, TheStartUpErrorHasOnlyOk) {
    QStringList buttons;
    QString title;
    whenShown([&](QWidget* d) {
        title = d->windowTitle();
        buttons = buttonTexts(d);
        qobject_cast<QMessageBox*>(d)->button(QMessageBox::Ok)->click();
    });
    w.ViewerRunning = [] { return true; };
    EXPECT_FALSE(w.Form_Load());
    EXPECT_EQ(title, QStringLiteral("起動エラー"));
    EXPECT_EQ(buttons, QStringList{"OK"});
}

}  // namespace
