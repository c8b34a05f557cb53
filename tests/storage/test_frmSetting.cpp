#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "TestHttpServer.h"
#include "channel/HTTPTransfer.h"
#include "channel/ProgramSettings.h"
#include "common/mdlFunctionWidgets.h"
#include "storage/frmSetting.h"

#include <httplib.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <mutex>

namespace {

// What a message box showed before the test answered it.
struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

class SettingDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.PictureSaveDirctory = dir.file("save/");
        settings.ChachDirctory = dir.file("chach/");
        settings.Timeout = 60;
        // Two channels' elements beside the design element 0, made as the
        // factory makes them.
        http.getNewHTTPObject(settings.Timeout, settings.Proxy, settings.ProxyEnable);
        http.getNewHTTPObject(settings.Timeout, settings.Proxy, settings.ProxyEnable);
        dlg.Attach(&settings, &http);
    }

    // Runs ShowSetting and performs steps while the dialog is up. A dialog
    // that never hides fails the test instead of hanging it.
    void whileShown(const std::function<void()>& steps) {
        bool ran = false;
        QTimer::singleShot(0, &dlg, [&] {
            ran = true;
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
            steps();
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] {
            ADD_FAILURE() << "the dialog stayed up";
            dlg.hide();
        });
        guard.start(10000);
        dlg.ShowSetting();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(dlg.isVisible());
    }

    // Answers the next message box with its only button, noting what it
    // showed. The caller deletes the returned watcher when done.
    QPointer<QTimer> answerNextMessageBox(std::vector<SeenBox>* seen) {
        auto* poll = new QTimer(&dlg);
        QObject::connect(poll, &QTimer::timeout, &dlg, [poll, seen] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            poll->deleteLater();
            SeenBox s{box->text(), box->windowTitle(), box->icon(), {}};
            for (QAbstractButton* b : box->buttons()) s.buttons << b->text();
            seen->push_back(s);
            box->buttons().constFirst()->click();
        });
        poll->start(5);
        return poll;
    }

    void expectElements(int timeout, const QString& proxy, int accessType) {
        ASSERT_EQ(http.Count(), 3);
        for (int i = 0; i < http.Count(); ++i) {
            EXPECT_EQ(http.Element(i)->RequestTimeout, timeout) << "element " << i;
            EXPECT_EQ(http.Element(i)->Proxy, proxy) << "element " << i;
            EXPECT_EQ(http.Element(i)->AccessType, accessType) << "element " << i;
        }
    }

    TempProgramDir dir;
    ProgramSettings settings;
    HTTPTransferArray http;
    frmSetting dlg;
};

TEST_F(SettingDialogTest, LayoutFollowsTheDesignAtFifteenTwipsPerPixel) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(dlg.minimumSize(), QSize(486, 121));
    EXPECT_EQ(dlg.maximumSize(), QSize(486, 121));
    struct Row {
        QWidget* control;
        QString caption;
        QRect pixels;  // the design twips / 15
    };
    const Row rows[] = {
        {dlg.lblLabel[2], QStringLiteral("画像保存ディレクトリ"), {8, 10, 113, 17}},
        {dlg.txtSavePictureDirectory, QString(), {120, 8, 313, 18}},
        {dlg.cmdDirectoryReference[0], QStringLiteral("参照"), {440, 8, 41, 17}},
        {dlg.lblLabel[3], QStringLiteral("キャッシュディレクトリ"), {8, 34, 113, 17}},
        {dlg.txtChaceDirectory, QString(), {120, 32, 313, 18}},
        {dlg.cmdDirectoryReference[1], QStringLiteral("参照"), {440, 32, 41, 17}},
        {dlg.chkUseProxy, QStringLiteral("プロキシ"), {8, 64, 65, 17}},
        {dlg.txtProxy, QString(), {80, 64, 257, 18}},
        {dlg.lblLabel[0], QStringLiteral("タイムアウト"), {352, 66, 65, 17}},
        {dlg.txtTimeOut, QString(), {416, 64, 41, 18}},
        {dlg.lblLabel[1], QStringLiteral("秒"), {464, 66, 17, 17}},
        {dlg.cmdOK, QStringLiteral("OK"), {320, 96, 73, 18}},
        {dlg.cmdCancel, QStringLiteral("キャンセル"), {408, 96, 73, 18}},
    };
    for (const Row& r : rows) {
        ASSERT_NE(r.control, nullptr);
        EXPECT_EQ(r.control->parentWidget(), &dlg);
        EXPECT_EQ(r.control->geometry(), r.pixels) << r.caption.toStdString();
        QString caption;
        if (auto* l = qobject_cast<QLabel*>(r.control)) caption = l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(r.control)) caption = b->text();
        EXPECT_EQ(caption, r.caption);
        // Labels are not clipped by their design width.
        if (qobject_cast<QLabel*>(r.control)) {
            EXPECT_LE(QFontMetrics(r.control->font()).horizontalAdvance(caption), r.pixels.width())
                << caption.toStdString();
        }
    }
    // Enter applies; the browse buttons never become the default.
    EXPECT_TRUE(dlg.cmdOK->isDefault());
    EXPECT_FALSE(dlg.cmdDirectoryReference[0]->autoDefault());
    EXPECT_FALSE(dlg.cmdDirectoryReference[1]->autoDefault());
    EXPECT_EQ(*dlg.BrowseFolder.target<QString (*)(QWidget*, const QString&)>(), &mdlFunction::BrowseFolder);
}

TEST_F(SettingDialogTest, ShowSettingFillsTheBoxesAndOnlyOKApplies) {
    settings.Proxy = QStringLiteral("proxy.example:8080");
    settings.ProxyEnable = true;
    settings.Timeout = 45;
    const ProgramSettings before = settings;
    const std::pair<const char*, std::function<void()>> waysOut[] = {
        {"キャンセル", [&] { dlg.cmdCancel->click(); }},
        {"Esc", [&] { QTest::keyClick(dlg.txtProxy, Qt::Key_Escape); }},
        {"close box", [&] { dlg.close(); }},
    };
    for (const auto& [name, leave] : waysOut) {
        // Each showing starts from the stored values, not the last edits.
        whileShown([&] {
            EXPECT_EQ(dlg.txtSavePictureDirectory->text(), dir.file("save/")) << name;
            EXPECT_EQ(dlg.txtChaceDirectory->text(), dir.file("chach/")) << name;
            EXPECT_EQ(dlg.txtProxy->text(), QStringLiteral("proxy.example:8080")) << name;
            EXPECT_EQ(dlg.txtTimeOut->text(), QStringLiteral("45")) << name;
            EXPECT_TRUE(dlg.chkUseProxy->isChecked()) << name;
            dlg.txtSavePictureDirectory->setText(dir.file("other"));
            dlg.txtChaceDirectory->setText(dir.file("othercache"));
            dlg.txtProxy->setText(QStringLiteral("127.0.0.1:3128"));
            dlg.chkUseProxy->setChecked(false);
            dlg.txtTimeOut->setText(QStringLiteral("5"));
            leave();
        });
        EXPECT_EQ(settings.PictureSaveDirctory, before.PictureSaveDirctory) << name;
        EXPECT_EQ(settings.ChachDirctory, before.ChachDirctory) << name;
        EXPECT_EQ(settings.Proxy, before.Proxy) << name;
        EXPECT_EQ(settings.Timeout, before.Timeout) << name;
        EXPECT_EQ(settings.ProxyEnable, before.ProxyEnable) << name;
        EXPECT_FALSE(QDir(dir.file("othercache")).exists()) << name;
        expectElements(60, QString(), HTTPTransfer::AccessDefault);  // as made, untouched
    }
    settings.ProxyEnable = false;
    whileShown([&] {
        EXPECT_FALSE(dlg.chkUseProxy->isChecked());
        dlg.cmdCancel->click();
    });
}

TEST_F(SettingDialogTest, TimeoutIsCheckedRoundedAndAppliedToEveryElement) {
    struct Case {
        const char* typed;
        int expected;  // 0: refused
    };
    const Case cases[] = {
        {"abc", 0},       {"", 0},       {"12s", 0},     {"0", 0},          {"-5", 0},
        {"0.4", 0},       {"2147484", 0}, {"1e12", 0},   {" 30 ", 30},      {"12.7", 13},
        {"12.5", 12},     {"13.5", 14},  {"0.6", 1},     {"2147483", 2147483},
    };
    for (const Case& c : cases) {
        const int before = settings.Timeout;
        std::vector<SeenBox> seen;
        QPointer<QTimer> watcher;
        whileShown([&] {
            dlg.txtSavePictureDirectory->setText(QStringLiteral("/edited/pics"));
            dlg.txtProxy->setText(QStringLiteral("edited:81"));
            dlg.chkUseProxy->setChecked(true);
            dlg.txtTimeOut->setText(QString::fromUtf8(c.typed));
            watcher = answerNextMessageBox(&seen);
            dlg.cmdOK->click();
            if (c.expected == 0) {
                // Refused: still up, every edit kept, nothing applied.
                EXPECT_TRUE(dlg.isVisible()) << c.typed;
                EXPECT_EQ(dlg.txtSavePictureDirectory->text(), QStringLiteral("/edited/pics"));
                EXPECT_EQ(dlg.txtProxy->text(), QStringLiteral("edited:81"));
                EXPECT_TRUE(dlg.chkUseProxy->isChecked());
                EXPECT_EQ(dlg.txtTimeOut->text(), QString::fromUtf8(c.typed));
                dlg.cmdCancel->click();
            }
        });
        delete watcher.data();
        if (c.expected == 0) {
            ASSERT_EQ(seen.size(), 1u) << c.typed;
            EXPECT_EQ(seen[0].text, QStringLiteral("タイムアウト値が正しくありません"));
            EXPECT_EQ(seen[0].title, QStringLiteral("設定エラー"));
            EXPECT_EQ(seen[0].icon, QMessageBox::NoIcon);
            EXPECT_EQ(seen[0].buttons, QStringList{QStringLiteral("OK")});
            EXPECT_EQ(settings.Timeout, before) << c.typed;
            EXPECT_FALSE(settings.ProxyEnable) << c.typed;
            EXPECT_EQ(http.Element(1)->RequestTimeout, before) << c.typed;
            EXPECT_EQ(http.Element(1)->AccessType, HTTPTransfer::AccessDefault) << c.typed;
        } else {
            EXPECT_TRUE(seen.empty()) << c.typed;
            EXPECT_EQ(settings.Timeout, c.expected) << c.typed;
            expectElements(c.expected, QStringLiteral("edited:81"), HTTPTransfer::AccessNamedProxy);
            // Put the proxy back off for the next refused case.
            settings.ProxyEnable = false;
            for (int i = 0; i < http.Count(); ++i) http.Element(i)->AccessType = HTTPTransfer::AccessDefault;
        }
    }
}

TEST_F(SettingDialogTest, EnterInABoxAppliesLikeOK) {
    whileShown([&] {
        dlg.txtTimeOut->setText(QStringLiteral("25"));
        QTest::keyClick(dlg.txtTimeOut, Qt::Key_Return);
    });
    EXPECT_EQ(settings.Timeout, 25);
}

TEST_F(SettingDialogTest, DirectoriesGetAFinalSeparatorAndTheCacheDirectoryIsCreated) {
    whileShown([&] {
        dlg.txtSavePictureDirectory->setText(dir.file("pics"));
        dlg.txtChaceDirectory->setText(dir.file("newcache"));
        dlg.cmdOK->click();
    });
    EXPECT_EQ(settings.PictureSaveDirctory, dir.file("pics/"));
    EXPECT_EQ(settings.ChachDirctory, dir.file("newcache/"));
    EXPECT_TRUE(QDir(dir.file("newcache")).exists());
    EXPECT_FALSE(QDir(dir.file("pics")).exists());  // made by the first saved picture

    // A final separator already there, of either kind, is not doubled.
    whileShown([&] {
        dlg.txtSavePictureDirectory->setText(QStringLiteral("D:\\pictures\\"));
        dlg.txtChaceDirectory->setText(dir.file("newcache/"));
        dlg.cmdOK->click();
    });
    EXPECT_EQ(settings.PictureSaveDirctory, QStringLiteral("D:\\pictures\\"));
    EXPECT_EQ(settings.ChachDirctory, dir.file("newcache/"));
}

TEST_F(SettingDialogTest, AnEmptiedDirectoryBoxKeepsTheFolderInUse) {
    settings.PictureSaveDirctory = dir.file("save/");
    settings.ChachDirctory = dir.file("chach/");
    whileShown([&] {
        dlg.txtSavePictureDirectory->setText(QString());
        dlg.txtChaceDirectory->setText(QStringLiteral("   "));
        dlg.cmdOK->click();
    });
    EXPECT_EQ(settings.PictureSaveDirctory, dir.file("save/"));
    EXPECT_EQ(settings.ChachDirctory, dir.file("chach/"));
}

TEST_F(SettingDialogTest, ACacheDirectoryThatCannotBeMadeIsStillTaken) {
    // Only the last level is created: a missing parent defeats it.
    whileShown([&] {
        dlg.txtChaceDirectory->setText(dir.file("missing/cache"));
        dlg.txtTimeOut->setText(QStringLiteral("30"));
        dlg.cmdOK->click();
    });
    EXPECT_EQ(settings.ChachDirctory, dir.file("missing/cache/"));
    EXPECT_FALSE(QDir(dir.file("missing")).exists());
    EXPECT_EQ(settings.Timeout, 30);
}

TEST_F(SettingDialogTest, BrowseButtonsFillTheirOwnBox) {
    QStringList answers{QStringLiteral("  /data/pics  "), QStringLiteral("/data/cache/"), QString(),
                        QStringLiteral("   ")};
    QList<QPair<QWidget*, QString>> calls;
    dlg.BrowseFolder = [&](QWidget* owner, const QString& title) {
        calls.append({owner, title});
        return answers.takeFirst();
    };
    whileShown([&] {
        dlg.cmdDirectoryReference[0]->click();
        EXPECT_EQ(dlg.txtSavePictureDirectory->text(), QStringLiteral("/data/pics/"));
        EXPECT_EQ(dlg.txtChaceDirectory->text(), dir.file("chach/"));

        dlg.cmdDirectoryReference[1]->click();
        EXPECT_EQ(dlg.txtChaceDirectory->text(), QStringLiteral("/data/cache/"));
        EXPECT_EQ(dlg.txtSavePictureDirectory->text(), QStringLiteral("/data/pics/"));

        // A cancelled browser (or an answer of spaces) leaves the box alone.
        dlg.cmdDirectoryReference[0]->click();
        dlg.cmdDirectoryReference[1]->click();
        EXPECT_EQ(dlg.txtSavePictureDirectory->text(), QStringLiteral("/data/pics/"));
        EXPECT_EQ(dlg.txtChaceDirectory->text(), QStringLiteral("/data/cache/"));
        dlg.cmdCancel->click();
    });
    ASSERT_EQ(calls.size(), 4);
    const QString picturePrompt = QStringLiteral("画像を保存するディレクトリを選択して下さい");
    const QString cachePrompt = QStringLiteral("キャッシュディレクトリを選択して下さい");
    EXPECT_EQ(calls[0], qMakePair(static_cast<QWidget*>(&dlg), picturePrompt));
    EXPECT_EQ(calls[1], qMakePair(static_cast<QWidget*>(&dlg), cachePrompt));
    EXPECT_EQ(calls[2].second, picturePrompt);
    EXPECT_EQ(calls[3].second, cachePrompt);
    // Browsing alone applies nothing.
    EXPECT_EQ(settings.PictureSaveDirctory, dir.file("save/"));
}

TEST_F(SettingDialogTest, ProxySwitchReachesEveryExistingElement) {
    // Element 2 starts out on a proxy, as one made while a proxy was on.
    http.Element(2)->Proxy = QStringLiteral("old:8000");
    http.Element(2)->AccessType = HTTPTransfer::AccessNamedProxy;

    whileShown([&] {
        dlg.chkUseProxy->setChecked(true);
        dlg.txtProxy->setText(QStringLiteral("127.0.0.1:3128"));
        dlg.txtTimeOut->setText(QStringLiteral("20"));
        dlg.cmdOK->click();
    });
    EXPECT_TRUE(settings.ProxyEnable);
    EXPECT_EQ(settings.Proxy, QStringLiteral("127.0.0.1:3128"));
    expectElements(20, QStringLiteral("127.0.0.1:3128"), HTTPTransfer::AccessNamedProxy);

    // Off: the default connection whatever the proxy text says.
    whileShown([&] {
        dlg.chkUseProxy->setChecked(false);
        dlg.cmdOK->click();
    });
    EXPECT_FALSE(settings.ProxyEnable);
    expectElements(20, QStringLiteral("127.0.0.1:3128"), HTTPTransfer::AccessDefault);

    // Checked but empty: named-proxy access with no proxy text.
    whileShown([&] {
        dlg.chkUseProxy->setChecked(true);
        dlg.txtProxy->clear();
        dlg.cmdOK->click();
    });
    EXPECT_TRUE(settings.ProxyEnable);
    expectElements(20, QString(), HTTPTransfer::AccessNamedProxy);

    // An element told to go direct is left so while the proxy stays off.
    http.Element(1)->AccessType = HTTPTransfer::AccessDirect;
    whileShown([&] {
        dlg.chkUseProxy->setChecked(false);
        dlg.cmdOK->click();
    });
    EXPECT_EQ(http.Element(1)->AccessType, HTTPTransfer::AccessDirect);
    EXPECT_EQ(http.Element(2)->AccessType, HTTPTransfer::AccessDefault);
}

// Waits for the element's completion and returns the state it reported.
int completion(HTTPTransfer* t) {
    QSignalSpy spy(t, &HTTPTransfer::StateChanged);
    if (!spy.wait(10000)) return 0;
    return spy.takeFirst().at(1).toInt();
}

TEST_F(SettingDialogTest, AnExistingElementGoesThroughTheProxyOnlyWhileItIsOn) {
    TestHttpServer origin;
    origin.serve("/info.txt", "direct", "text/plain");
    origin.start();
    TestHttpServer proxy;
    std::mutex m;
    QStringList targets;
    proxy.handle(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(m);
        targets << QString::fromStdString(req.target);
        res.set_content("via proxy", "text/plain");
    });
    proxy.start();

    HTTPTransfer* element = http.Element(1);
    whileShown([&] {
        dlg.chkUseProxy->setChecked(true);
        dlg.txtProxy->setText(QStringLiteral("127.0.0.1:%1").arg(proxy.port()));
        dlg.cmdOK->click();
    });
    element->Execute(origin.url("/info.txt"));
    ASSERT_EQ(completion(element), HTTPTransfer::StateResponseCompleted);
    EXPECT_EQ(element->BodyText(), QStringLiteral("via proxy"));
    EXPECT_EQ(origin.count("/info.txt"), 0);
    {
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(targets, QStringList{origin.url("/info.txt")});  // a proxy sees the absolute address
    }

    whileShown([&] {
        dlg.chkUseProxy->setChecked(false);
        dlg.cmdOK->click();
    });
    element->Execute(origin.url("/info.txt"));
    ASSERT_EQ(completion(element), HTTPTransfer::StateResponseCompleted);
    EXPECT_EQ(element->BodyText(), QStringLiteral("direct"));
    EXPECT_EQ(origin.count("/info.txt"), 1);
    std::lock_guard<std::mutex> lock(m);
    EXPECT_EQ(targets.size(), 1);
}

}  // namespace
