// Every text a user can see in either program (Qt's own in the dialogs
// too) is Japanese: with addresses, paths, numbers, data and fixed captions
// set aside, no ASCII word is left. The walk covers controls added later.

#include "WatchingFixture.h"

#include "common/JapaneseQtTexts.h"
#include "updater/frmMain.h"
#include "view/ShowAreaWidget.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabBar>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>

namespace {

// Fixed captions and texts with ASCII by design, longest first.
const QStringList kCaptions{QStringLiteral("追加するチャンネルリストのURLを入力して下さい"),
                            "Popup For ChannelList",
                            "Vantora ver",
                            "Vantora",
                            "Popup",
                            "POPUP",
                            "OK",
                            "Ch.",
                            "ID"};  // as a channel's tool tip and the health view name ChannelID

// What a text shows: a rich one without its markup.
QString shown(const QString& text) {
    return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
}

QStringList menuTexts(const QMenu* menu) {
    QStringList texts{menu->title()};
    for (const QAction* a : menu->actions())
        if (a->isVisible() && !a->isSeparator()) texts << a->text() << a->toolTip();
    return texts;
}

// The title and what every visible control shows; menus whole.
QStringList visibleTexts(const QWidget* window) {
    QStringList texts{window->windowTitle()};
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (const auto* menu = qobject_cast<const QMenu*>(w)) {
            texts << menuTexts(menu);
            continue;
        }
        if (!w->isVisibleTo(window)) continue;
        texts << shown(w->toolTip());
        if (const auto* l = qobject_cast<const QLabel*>(w)) texts << l->text();
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) texts << b->text();
        if (const auto* g = qobject_cast<const QGroupBox*>(w)) texts << g->title();
        if (const auto* e = qobject_cast<const QLineEdit*>(w)) texts << e->placeholderText();
        if (const auto* p = qobject_cast<const QProgressBar*>(w)) texts << p->text();
        if (const auto* s = qobject_cast<const QStatusBar*>(w)) texts << s->currentMessage();
        if (const auto* bar = qobject_cast<const QMenuBar*>(w))
            for (const QAction* a : bar->actions())
                if (a->isVisible()) texts << a->text();
        if (const auto* tabs = qobject_cast<const QTabBar*>(w))
            for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i) << tabs->tabToolTip(i);
        // The channel trees (a file dialog's tree shows the disk's names).
        const auto* tree = qobject_cast<const QTreeView*>(w);
        if (tree && qobject_cast<const ChannelTreeView*>(tree->parentWidget())) {
            const QAbstractItemModel* model = tree->model();
            std::vector<QModelIndex> todo{QModelIndex()};
            while (!todo.empty()) {
                const QModelIndex parent = todo.back();
                todo.pop_back();
                for (int row = 0; row < model->rowCount(parent); ++row) {
                    const QModelIndex index = model->index(row, 0, parent);
                    texts << index.data().toString() << shown(index.data(Qt::ToolTipRole).toString());
                    todo.push_back(index);
                }
            }
        }
        if (const auto* area = qobject_cast<const ShowAreaWidget*>(w))
            for (int i = 1; i < area->LabelCount(); ++i)
                if (area->Label(i).Visible) texts << area->Label(i).Caption;
    }
    texts.removeAll(QString());
    return texts;
}

// What the modal dialogs that `open` shows say; each is closed once read.
QStringList dialogTexts(const std::function<void()>& open) {
    QStringList texts;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            texts << visibleTexts(modal);
            modal->close();
        }
    });
    poll.start(20);
    open();
    return texts;
}

// The ASCII words of each text once the allowed parts are taken out.
QStringList asciiWords(const QStringList& texts, const QStringList& data) {
    static const QRegularExpression allowed(QStringLiteral(R"(\w+://\S+|(?<![\w.])/\S+|\S+\.(txt|ini)\b)"));
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    QStringList found;
    for (const QString& text : texts) {
        QString rest = text;
        for (const QString& part : kCaptions + data) rest.remove(part);
        rest.remove(allowed);
        for (auto it = word.globalMatch(rest); it.hasNext();) found << it.next().captured() + "  in  " + text;
    }
    found.removeDuplicates();
    return found;
}

class VisibleText : public WatchingFixture {
protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        pub.add({"demo.red", QStringLiteral("赤の局"), "1", 0, 1, QColor(210, 30, 30), {80, 60}, {40, 30}, {}});
        pub.add({"demo.green", QStringLiteral("緑の局"), "2", 0, 1, QColor(30, 200, 60), {80, 60}, {40, 30}, {}});
        writeLists(ids, {{QStringLiteral("監視"), ids}}, {"demo.red"});
    }
    // What the data brings, and the content type the updater's status shows.
    const QStringList ids{"demo.red", "demo.green"};
    const QStringList data{"demo.red", "demo.green", "news.red", "news.green", "demo",      "news",
                           "red",      "green",      "Group",    "List",       "text/plain"};
};

TEST_F(VisibleText, BothProgramsInTheirUsualStates) {
    ASSERT_TRUE(InstallJapaneseQtTexts(*QCoreApplication::instance()));
    f.open();
    QStringList texts = visibleTexts(&w());
    w().OpenChannelTab("demo.red");
    ASSERT_TRUE(tickUntil([&] { return channel("demo.red")->PictureType() == PictureKind::Full; }));
    texts << visibleTexts(&w());
    w().tvwChannelSelect()->SearchField()->setText("red");  // the search's results and their count
    texts << visibleTexts(&w());
    w().tvwChannelSelect()->ClearSearch();
    w().OpenMultiMonitorTab("1");
    ASSERT_TRUE(tickUntil([&] {
        const QList<PictureElement*> boxes = folder("1")->ShowBox();
        return boxes.size() == 3 && boxes[1]->HasPicture() && boxes[2]->HasPicture();
    }));
    texts << visibleTexts(&w());
    w().InputBoxFunction = [&](const QString& prompt, const QString& title, const QString&) {
        texts << prompt << title;
        return QString();
    };
    w().mnuAbout_Click();
    w().mnuAddMultiMonitorFolder_Click();
    texts << f.messages;
    texts << dialogTexts([&] { w().mnuSetting_Click(); });
    frmSetting setting;
    setting.txtTimeOut->setText("0");
    texts << dialogTexts([&] { setting.cmdOK_Click(); });
    texts << dialogTexts([&] { setting.cmdDirectoryReference_Click(0); });

    TestHttpServer lists;  // new channels: the updater's tree holds the others
    QByteArray list;
    for (const QString id : {"news.red", "news.green"}) {
        pub.add({id, QStringLiteral("新しい局"), "3", 0, 1, QColor(30, 30, 210), {80, 60}, {40, 30}, {}});
        list += (id + ",VNT1," + pub.infoUrl(id) + "\r\n").toUtf8();
    }
    lists.serve("/list.txt", list, "text/plain");
    lists.start();
    updater::frmMain u(f.dir.path());
    u.ViewerRunning = [] { return false; };
    ASSERT_TRUE(u.Form_Load());
    u.show();
    texts << visibleTexts(&u);
    auto idle = [&] { return QTest::qWaitFor([&] { return u.UpdateState() == updater::UpdaterState::Idle; }, 10000); };
    texts << dialogTexts([&] { u.mnuAddChannelList_Click(); });
    u.StartAddChannelList(lists.url("/list.txt"));
    texts << visibleTexts(&u);
    ASSERT_TRUE(idle());
    texts << visibleTexts(&u);
    TreeNode* added = nullptr;
    u.TreeModel()->Walk([&](TreeNode* n) {
        if (u.TreeModel()->DisplayText(n).contains("list.txt")) added = n;
        return true;
    });
    ASSERT_NE(added, nullptr);
    u.tvwChannelSelect->SetCurrentNode(added);
    u.mnuUpdateChannel_Click();
    texts << visibleTexts(&u);
    ASSERT_TRUE(idle());
    texts << visibleTexts(&u);
    texts << dialogTexts([&] { u.mnuRemoveChannelList_Click(); });
    updater::frmMain refused(f.dir.path());
    refused.ViewerRunning = [] { return true; };
    texts << dialogTexts([&] { refused.Form_Load(); });
    u.close();
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }

    EXPECT_EQ(asciiWords(texts, data), QStringList());
    EXPECT_GT(texts.size(), 100);  // the walk found the controls
}

}  // namespace
