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
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <mutex>

namespace {

// The values the dialog may change.
auto stored(const ProgramSettings& s) {
    return std::tuple(s.PictureSaveDirctory, s.ChachDirctory, s.Proxy, s.Timeout, s.ProxyEnable);
}

class SettingDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.PictureSaveDirctory = dir.file("save/");
        settings.ChachDirctory = dir.file("chach/");
        settings.Timeout = 60;
        // Two channels' elements beside the design element 0, made as the factory makes them.
        for (int i = 0; i < 2; ++i) http.getNewHTTPObject(settings.Timeout, settings.Proxy, settings.ProxyEnable);
        dlg.Attach(&settings, &http);
    }
    void TearDown() override { EXPECT_EQ(boxes, QStringList()) << "unexpected message boxes"; }

    // Runs ShowSetting and performs steps while the dialog is up; message
    // boxes are answered with their first button and noted in `boxes` as
    // "title: text [buttons] icon". A
    // dialog that never hides fails the test instead of hanging it.
    void whileShown(const std::function<void()>& steps) {
        bool ran = false;
        QTimer::singleShot(0, &dlg, [&] {
            ran = true;
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
            steps();
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &dlg, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                QStringList buttons;
                for (QAbstractButton* b : box->buttons()) buttons << b->text();
                boxes << QStringLiteral("%1: %2 [%3] icon %4")
                             .arg(box->windowTitle(), box->text(), buttons.join(QLatin1Char(',')))
                             .arg(int(box->icon()));
                box->buttons().constFirst()->click();
            }
        });
        poll.start(5);
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

    // What the boxes show, in the order of stored().
    auto shown() const {
        return std::tuple(dlg.txtSavePictureDirectory->text(), dlg.txtChaceDirectory->text(), dlg.txtProxy->text(),
                          dlg.txtTimeOut->text(), dlg.chkUseProxy->isChecked());
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
    CurlMulti curl;
    HTTPTransferArray http{curl};
    frmSetting dlg;
    QStringList boxes;
};

TEST_F(SettingDialogTest, LayoutFollowsTheDesignAtFifteenTwipsPerPixel) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(dlg.minimumSize(), QSize(486, 121));
    EXPECT_EQ(dlg.maximumSize(), QSize(486, 121));
    const std::tuple<QWidget*, QString, QRect> rows[] = {
        // control, caption, design twips / 15
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
    for (const auto& [control, caption, pixels] : rows) {
        SCOPED_TRACE(caption.toStdString());
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget(), &dlg);
        EXPECT_EQ(control->geometry(), pixels);
        auto* label = qobject_cast<QLabel*>(control);
        auto* button = qobject_cast<QAbstractButton*>(control);
        EXPECT_EQ(label ? label->text() : button ? button->text() : QString(), caption);
        // Labels are not clipped by their design width.
        if (label) {
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(caption), pixels.width());
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
        SCOPED_TRACE(name);
        // Each showing starts from the stored values, not the last edits.
        whileShown([&] {
            EXPECT_EQ(shown(), std::tuple(dir.file("save/"), dir.file("chach/"), QStringLiteral("proxy.example:8080"),
                                          QStringLiteral("45"), true));
            dlg.txtSavePictureDirectory->setText(dir.file("other"));
            dlg.txtChaceDirectory->setText(dir.file("othercache"));
            dlg.txtProxy->setText(QStringLiteral("127.0.0.1:3128"));
            dlg.chkUseProxy->setChecked(false);
            dlg.txtTimeOut->setText(QStringLiteral("5"));
            leave();
        });
        EXPECT_EQ(stored(settings), stored(before));
        EXPECT_FALSE(QDir(dir.file("othercache")).exists());
        expectElements(60, QString(), HTTPTransfer::AccessDefault);  // as made, untouched
    }
    settings.ProxyEnable = false;
    whileShown([&] {
        EXPECT_FALSE(dlg.chkUseProxy->isChecked());
        dlg.cmdCancel->click();
    });
}

TEST_F(SettingDialogTest, TimeoutIsCheckedRoundedAndAppliedToEveryElement) {
    const ProgramSettings initial = settings;
    auto editAndPressOK = [&](const char* typed) {
        dlg.txtSavePictureDirectory->setText(QStringLiteral("/edited/pics"));
        dlg.txtProxy->setText(QStringLiteral("edited:81"));
        dlg.chkUseProxy->setChecked(true);
        dlg.txtTimeOut->setText(QString::fromUtf8(typed));
        dlg.cmdOK->click();
    };
    for (const char* typed : {"abc", "", "12s", "0", "-5", "0.4", "2147484", "1e12"}) {
        SCOPED_TRACE(typed);
        whileShown([&] {
            editAndPressOK(typed);
            // Refused: still up, every edit kept.
            EXPECT_TRUE(dlg.isVisible());
            EXPECT_EQ(shown(), std::tuple(QStringLiteral("/edited/pics"), dir.file("chach/"),
                                          QStringLiteral("edited:81"), QString::fromUtf8(typed), true));
            dlg.cmdCancel->click();
        });
        EXPECT_EQ(boxes, QStringList{QStringLiteral("設定エラー: タイムアウト値が正しくありません [OK] icon 0")});
        boxes.clear();
        EXPECT_EQ(stored(settings), stored(initial));  // nothing applied
        expectElements(60, QString(), HTTPTransfer::AccessDefault);
    }
    const std::pair<const char*, int> taken[] = {{" 30 ", 30}, {"12.7", 13}, {"12.5", 12},
                                                 {"13.5", 14}, {"0.6", 1},   {"2147483", 2147483}};
    for (const auto& [typed, expected] : taken) {
        SCOPED_TRACE(typed);
        whileShown([&] { editAndPressOK(typed); });
        EXPECT_EQ(settings.Timeout, expected);
        expectElements(expected, QStringLiteral("edited:81"), HTTPTransfer::AccessNamedProxy);
    }
}

TEST_F(SettingDialogTest, DirectoriesGetAFinalSeparatorAndOnlyTheCacheDirectoryIsCreated) {
    const struct {
        QString save, cache, savedAs, cachedAs;
        bool cacheMade;
    } cases[] = {
        {dir.file("pics"), dir.file("newcache"), dir.file("pics/"), dir.file("newcache/"), true},
        // A final separator already there, of either kind, is not doubled.
        {"D:\\pictures\\", dir.file("newcache/"), "D:\\pictures\\", dir.file("newcache/"), true},
        // An emptied box keeps the folder in use.
        {"", "   ", "D:\\pictures\\", dir.file("newcache/"), true},
        // Only the last level is created: a missing parent defeats it, the rest is still applied.
        {dir.file("pics"), dir.file("missing/cache"), dir.file("pics/"), dir.file("missing/cache/"), false},
    };
    for (int i = 0; i < int(std::size(cases)); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.cache.toStdString());
        whileShown([&] {
            dlg.txtSavePictureDirectory->setText(c.save);
            dlg.txtChaceDirectory->setText(c.cache);
            dlg.txtTimeOut->setText(QString::number(30 + i));
            QTest::keyClick(dlg.txtTimeOut, Qt::Key_Return);  // Enter in a box applies like OK
        });
        EXPECT_EQ(settings.PictureSaveDirctory, c.savedAs);
        EXPECT_EQ(settings.ChachDirctory, c.cachedAs);
        EXPECT_EQ(settings.Timeout, 30 + i);
        EXPECT_EQ(QDir(c.cachedAs).exists(), c.cacheMade);
        EXPECT_FALSE(QDir(dir.file("pics")).exists());  // made by the first saved picture
    }
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
        // A cancelled browser (or an answer of spaces) leaves the box alone.
        dlg.cmdDirectoryReference[0]->click();
        dlg.cmdDirectoryReference[1]->click();
        EXPECT_EQ(dlg.txtSavePictureDirectory->text(), QStringLiteral("/data/pics/"));
        EXPECT_EQ(dlg.txtChaceDirectory->text(), QStringLiteral("/data/cache/"));
        dlg.cmdCancel->click();
    });
    const QPair<QWidget*, QString> picture{&dlg, QStringLiteral("画像を保存するディレクトリを選択して下さい")};
    const QPair<QWidget*, QString> cache{&dlg, QStringLiteral("キャッシュディレクトリを選択して下さい")};
    EXPECT_EQ(calls, (QList<QPair<QWidget*, QString>>{picture, cache, picture, cache}));
    EXPECT_EQ(settings.PictureSaveDirctory, dir.file("save/"));  // browsing alone applies nothing
}

TEST_F(SettingDialogTest, ProxySwitchReachesEveryExistingElementAndItsRequests) {
    TestHttpServer origin, proxy;
    origin.serve("/info.txt", "direct", "text/plain");
    origin.start();
    std::mutex m;
    QStringList targets;  // what the proxy was asked for
    proxy.handle(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard<std::mutex> lock(m);
        targets << QString::fromStdString(req.target);
        res.set_content("via proxy", "text/plain");
    });
    proxy.start();

    // Element 2 starts out on a proxy, as one made while a proxy was on.
    http.Element(2)->Proxy = QStringLiteral("old:8000");
    http.Element(2)->AccessType = HTTPTransfer::AccessNamedProxy;
    const QString address = QStringLiteral("127.0.0.1:%1").arg(proxy.port());
    const std::tuple<bool, QString, int, const char*> steps[] = {
        {true, address, HTTPTransfer::AccessNamedProxy, "via proxy"},
        {false, address, HTTPTransfer::AccessDefault, "direct"},     // whatever the proxy text says
        {true, QString(), HTTPTransfer::AccessNamedProxy, nullptr},  // checked but empty
    };
    for (const auto& [on, typed, access, answer] : steps) {
        whileShown([&] {
            dlg.chkUseProxy->setChecked(on);
            dlg.txtProxy->setText(typed);
            dlg.txtTimeOut->setText(QStringLiteral("20"));
            dlg.cmdOK->click();
        });
        EXPECT_EQ(settings.ProxyEnable, on);
        EXPECT_EQ(settings.Proxy, typed);
        expectElements(20, typed, access);
        if (!answer) continue;
        // An existing element's next request really takes that way.
        HTTPTransfer* element = http.Element(1);
        QSignalSpy spy(element, &HTTPTransfer::StateChanged);
        element->Execute(origin.url("/info.txt"));
        ASSERT_TRUE(spy.wait(10000));
        ASSERT_EQ(spy.takeFirst().at(1).toInt(), HTTPTransfer::StateResponseCompleted);
        EXPECT_EQ(element->BodyText(), QString::fromLatin1(answer));
    }
    EXPECT_EQ(origin.count("/info.txt"), 1);
    {
        std::lock_guard<std::mutex> lock(m);
        EXPECT_EQ(targets, QStringList{origin.url("/info.txt")});  // a proxy sees the absolute address
    }
    // An element told to go direct is left so while the proxy stays off.
    http.Element(1)->AccessType = HTTPTransfer::AccessDirect;
    whileShown([&] {
        dlg.chkUseProxy->setChecked(false);
        dlg.cmdOK->click();
    });
    EXPECT_EQ(http.Element(1)->AccessType, HTTPTransfer::AccessDirect);
    EXPECT_EQ(http.Element(2)->AccessType, HTTPTransfer::AccessDefault);
}

}  // namespace
