// The settings dialog, attached to settings and transfer elements.

#include <gtest/gtest.h>

#include "Rows.h"
#include "TempProgramDir.h"
#include "channel/HTTPTransfer.h"
#include "channel/ProgramSettings.h"
#include "common/mdlFunctionWidgets.h"
#include "storage/WatchSettings.h"
#include "storage/frmSetting.h"
#include "view/WallSettingsPage.h"
#include "watch/WatchSettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>

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
        for (int i = 0; i < 2; ++i) http.getNewHTTPObject(settings.Timeout, settings.Proxy, settings.ProxyEnable);
        dlg.Attach(&settings, &http);
    }
    void TearDown() override { EXPECT_EQ(boxes, QStringList()) << "unexpected message boxes"; }

    // Runs steps while the dialog is up; message boxes get their first
    // button and go to `boxes` as "title: text [buttons]".
    void whileShown(const std::function<void()>& steps) {
        QTimer::singleShot(0, &dlg, [&] {
            EXPECT_EQ(QApplication::activeModalWidget(), &dlg);
            steps();
        });
        QTimer poll, guard;
        QObject::connect(&poll, &QTimer::timeout, &dlg, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                QStringList buttons;
                for (QAbstractButton* b : box->buttons()) buttons << b->text();
                boxes << box->windowTitle() + ": " + box->text() + " [" + buttons.join(',') + "]";
                box->buttons().constFirst()->click();
            }
        });
        poll.start(5);
        QObject::connect(&guard, &QTimer::timeout, &dlg, [&] { ADD_FAILURE() << "the dialog stayed up", dlg.hide(); });
        guard.start(10000);
        dlg.ShowSetting();
        EXPECT_FALSE(dlg.isVisible());
    }
    void expectElements(int timeout, const QString& proxy, int accessType) {
        ASSERT_GE(http.Count(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(std::tuple(http.Element(i)->RequestTimeout, http.Element(i)->Proxy, http.Element(i)->AccessType),
                      std::tuple(timeout, proxy, accessType))
                << "element " << i;
    }

    TempProgramDir dir;
    ProgramSettings settings;
    CurlMulti curl;
    HTTPTransferArray http{curl};
    frmSetting dlg;
    QStringList boxes;
};

// Each showing starts from the stored values; Enter means OK, never 参照.
TEST_F(SettingDialogTest, ShowSettingFillsTheBoxesAndOnlyOKApplies) {
    for (QLabel* label : dlg.lblLabel) EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
    EXPECT_TRUE(dlg.cmdOK->isDefault());
    EXPECT_FALSE(dlg.cmdDirectoryReference[0]->autoDefault() || dlg.cmdDirectoryReference[1]->autoDefault());
    settings.Proxy = QStringLiteral("proxy.example:8080");
    settings.ProxyEnable = true;
    settings.Timeout = 45;
    const ProgramSettings before = settings;
    const std::pair<const char*, std::function<void()>> waysOut[] = {
        {"キャンセル", [&] { dlg.cmdCancel->click(); }},
        {"Esc", [&] { QTest::keyClick(dlg.txtProxy, Qt::Key_Escape); }},
        {"close box", [&] { dlg.close(); }},
    };
    for (const auto& wayOut : waysOut) {
        const char* name = wayOut.first;
        whileShown([&] {
            EXPECT_EQ(std::tuple(dlg.txtSavePictureDirectory->text(), dlg.txtChaceDirectory->text(),
                                 dlg.txtProxy->text(), dlg.txtTimeOut->text(), dlg.chkUseProxy->isChecked()),
                      std::tuple(dir.file("save/"), dir.file("chach/"), before.Proxy, QStringLiteral("45"), true));
            dlg.txtChaceDirectory->setText(dir.file("othercache"));
            dlg.txtProxy->setText(QStringLiteral("127.0.0.1:3128"));
            dlg.chkUseProxy->setChecked(false);
            dlg.txtTimeOut->setText(QStringLiteral("5"));
            wayOut.second();
        });
        EXPECT_EQ(stored(settings), stored(before)) << name;
        EXPECT_FALSE(QDir(dir.file("othercache")).exists()) << name;
        expectElements(60, QString(), HTTPTransfer::AccessDefault);  // as made, untouched
    }
}

// The timeout typed and taken (0: refused, the dialog staying up).
struct Timeout {
    const char *name, *typed;
    int taken;
};
class Timeouts : public SettingDialogTest, public ::testing::WithParamInterface<Timeout> {};

TEST_P(Timeouts, AreCheckedRoundedAndAppliedToEveryElement) {
    const ProgramSettings initial = settings;
    whileShown([&] {
        dlg.txtProxy->setText(QStringLiteral("edited:81"));
        dlg.chkUseProxy->setChecked(true);
        dlg.txtTimeOut->setText(QString::fromUtf8(GetParam().typed));
        dlg.cmdOK->click();
        if (dlg.isVisible()) {
            EXPECT_EQ(dlg.txtProxy->text() + dlg.txtTimeOut->text(), "edited:81" + QString::fromUtf8(GetParam().typed));
            dlg.cmdCancel->click();
        }
    });
    if (GetParam().taken) {
        EXPECT_EQ(settings.Timeout, GetParam().taken);
        expectElements(GetParam().taken, QStringLiteral("edited:81"), HTTPTransfer::AccessNamedProxy);
    } else {
        EXPECT_EQ(boxes, QStringList{QStringLiteral("設定エラー: タイムアウト値が正しくありません [OK]")});
        boxes.clear();
        EXPECT_EQ(stored(settings), stored(initial));
        expectElements(60, QString(), HTTPTransfer::AccessDefault);
    }
}

INSTANTIATE_TEST_SUITE_P(Setting, Timeouts,
                         ::testing::Values(Timeout{"Letters", "abc", 0}, Timeout{"Empty", "", 0},
                                           Timeout{"Unit", "12s", 0}, Timeout{"Zero", "0", 0},
                                           Timeout{"Negative", "-5", 0}, Timeout{"RoundsToZero", "0.4", 0},
                                           Timeout{"TooLarge", "2147484", 0}, Timeout{"Exponent", "1e12", 0},
                                           Timeout{"Spaces", " 30 ", 30}, Timeout{"RoundsUp", "12.7", 13},
                                           Timeout{"HalfToEven", "12.5", 12}, Timeout{"HalfToEvenUp", "13.5", 14},
                                           Timeout{"RoundsUpToOne", "0.6", 1}, Timeout{"Largest", "2147483", 2147483}),
                         [](const auto& info) { return std::string(info.param.name); });

// What is typed in the two folder boxes, and what is stored.
struct Folders {
    const char* name;
    QString save, cache, savedAs, cachedAs;
    bool cacheMade;
};
class Directories : public SettingDialogTest, public ::testing::WithParamInterface<Folders> {};

// "{D}" is the program folder. The picture folder is made at the first save.
TEST_P(Directories, GetAFinalSeparatorAndOnlyTheCacheIsMade) {
    auto inDir = [this](QString path) { return path.replace("{D}", dir.path()); };
    whileShown([&] {
        dlg.txtSavePictureDirectory->setText(inDir(GetParam().save));
        dlg.txtChaceDirectory->setText(inDir(GetParam().cache));
        dlg.txtTimeOut->setText(QStringLiteral("30"));
        QTest::keyClick(dlg.txtTimeOut, Qt::Key_Return);
    });
    EXPECT_EQ(settings.PictureSaveDirctory, inDir(GetParam().savedAs));
    EXPECT_EQ(settings.ChachDirctory, inDir(GetParam().cachedAs));
    EXPECT_EQ(settings.Timeout, 30);
    EXPECT_EQ(QDir(settings.ChachDirctory).exists(), GetParam().cacheMade);
    EXPECT_FALSE(QDir(dir.file("pics")).exists());
}

INSTANTIATE_TEST_SUITE_P(
    Setting, Directories,
    ::testing::Values(Folders{"WithoutSeparators", "{D}/pics", "{D}/new", "{D}/pics/", "{D}/new/", true},
                      Folders{"EmptiedBoxesKeepTheFoldersInUse", "", "   ", "{D}/save/", "{D}/chach/", true},
                      Folders{"MissingParentOfTheCache", "{D}/pics", "{D}/missing/cache", "{D}/pics/",
                              "{D}/missing/cache/", false}),
    [](const auto& info) { return std::string(info.param.name); });

// An element told to go direct stays so while the proxy is off. One only
// reserved meanwhile (a channel that has not requested yet) is made with
// every change, as if it had been made at the start.
TEST_F(SettingDialogTest, ProxySwitchReachesEveryExistingElement) {
    const int reserved = http.ReserveHTTPObject(settings.Timeout, settings.Proxy, settings.ProxyEnable);
    http.Element(2)->Proxy = QStringLiteral("old:8000");
    http.Element(2)->AccessType = HTTPTransfer::AccessNamedProxy;
    struct Step {
        bool on;
        QString typed;
        int access;
    };
    for (const Step& step : {Step{true, "127.0.0.1:3128", HTTPTransfer::AccessNamedProxy},
                             Step{false, "127.0.0.1:3128", HTTPTransfer::AccessDefault},  // whatever the text says
                             Step{true, QString(), HTTPTransfer::AccessNamedProxy}}) {    // checked but empty
        whileShown([&] {
            dlg.chkUseProxy->setChecked(step.on);
            dlg.txtProxy->setText(step.typed);
            dlg.txtTimeOut->setText(QStringLiteral("20"));
            dlg.cmdOK->click();
        });
        EXPECT_EQ(std::tuple(settings.ProxyEnable, settings.Proxy), std::tuple(step.on, step.typed));
        expectElements(20, step.typed, step.access);
    }
    http.Element(1)->AccessType = HTTPTransfer::AccessDirect;
    whileShown([&] {
        dlg.chkUseProxy->setChecked(false);
        dlg.cmdOK->click();
    });
    EXPECT_EQ(http.Element(1)->AccessType, HTTPTransfer::AccessDirect);
    EXPECT_EQ(http.Element(2)->AccessType, HTTPTransfer::AccessDefault);
    ASSERT_EQ(http.Element(reserved), nullptr);
    const HTTPTransfer* late = http.Make(reserved);
    EXPECT_EQ(std::tuple(late->RequestTimeout, late->Proxy, late->AccessType),
              std::tuple(20, QString(), int(HTTPTransfer::AccessDefault)));
}

// A page for the section Watch beside the specified controls, which keep
// their design places on the first page; OK applies both, the others neither.
TEST_F(SettingDialogTest, TheWatchPageIsFilledAppliedAndDiscardedWithTheRest) {
    const QRect designed[] = {dlg.txtTimeOut->geometry(), dlg.cmdOK->geometry(), dlg.chkUseProxy->geometry()};
    WatchSettings watch;
    auto* page = new WatchSettingsPage(&watch);
    dlg.AddPage(QStringLiteral("状態と通知"), page);
    ASSERT_TRUE(dlg.Pages());
    EXPECT_EQ(QStringList({dlg.Pages()->tabText(0), dlg.Pages()->tabText(1)}), (QStringList{"基本", "状態と通知"}));
    EXPECT_EQ(dlg.txtTimeOut->geometry(), designed[0]);
    EXPECT_EQ(dlg.cmdOK->geometry(), designed[1]);
    EXPECT_EQ(dlg.chkUseProxy->geometry(), designed[2]);
    EXPECT_EQ(dlg.cmdOK->parentWidget()->geometry().top(), dlg.Pages()->geometry().bottom() + 1);

    const WatchSettings before = watch;
    whileShown([&] {
        EXPECT_TRUE(dlg.txtTimeOut->isVisible());
        EXPECT_FALSE(page->isVisible());
        dlg.Pages()->setCurrentIndex(1);
        EXPECT_TRUE(page->isVisible() && dlg.cmdOK->isVisible());
        for (QPushButton* b : {dlg.cmdOK, dlg.cmdCancel})  // above the page, to be clicked
            EXPECT_EQ(b->parentWidget()->childAt(b->geometry().center()), b);
        EXPECT_FALSE(dlg.txtTimeOut->isVisible());
        EXPECT_TRUE(page->chkStatusOverlay->isChecked());
        EXPECT_FALSE(page->txtNotifyFailureMinutes->isEnabled());
        page->chkStatusOverlay->setChecked(false);
        page->chkNotifyFailure->setChecked(true);
        page->txtNotifyFailureMinutes->setValue(5000);  // beyond the limit: held at it
        dlg.cmdCancel->click();
    });
    EXPECT_EQ(std::tuple(watch.StatusOverlay, watch.NotifyFailure, watch.NotifyFailureMinutes),
              std::tuple(before.StatusOverlay, before.NotifyFailure, before.NotifyFailureMinutes));

    whileShown([&] {
        EXPECT_EQ(dlg.Pages()->currentIndex(), 0);
        dlg.Pages()->setCurrentIndex(1);
        EXPECT_TRUE(page->chkStatusOverlay->isChecked()) << "the cancelled edit came back";
        page->chkStatusOverlay->setChecked(false);
        page->chkNotifyOnAir->setChecked(true);
        page->chkNotifyFailure->setChecked(true);
        page->txtNotifyFailureMinutes->setValue(5000);
        dlg.txtTimeOut->setText(QStringLiteral("x"));
        dlg.cmdOK->click();  // refused: the timeout's page comes forward
        EXPECT_EQ(dlg.Pages()->currentIndex(), 0);
        dlg.txtTimeOut->setText(QStringLiteral("30"));
        dlg.cmdOK->click();
    });
    EXPECT_EQ(boxes, QStringList{QStringLiteral("設定エラー: タイムアウト値が正しくありません [OK]")});
    boxes.clear();
    EXPECT_EQ(std::tuple(watch.StatusOverlay, watch.NotifyOnAir, watch.NotifyFailure, watch.NotifyFailureMinutes),
              std::tuple(false, true, true, WatchSettings::kMaxFailureMinutes));
    EXPECT_EQ(settings.Timeout, 30);
}

// The page 監視 edits the tour's seconds (2 to 3600) and RestoreTabs; OK
// applies them with the rest, each showing starts from the stored values.
TEST_F(SettingDialogTest, WallPageIsAppliedByOKOnly) {
    WatchSettings watch;
    auto* page = new WallSettingsPage(&watch);
    dlg.AddPage(QStringLiteral("監視"), page);
    EXPECT_EQ(std::pair(page->spnTourSeconds->minimum(), page->spnTourSeconds->maximum()), std::pair(2, 3600));
    for (const bool ok : {false, true}) {
        whileShown([&] {
            EXPECT_EQ(dlg.Pages()->currentIndex(), 0);
            EXPECT_EQ(std::pair(page->spnTourSeconds->value(), page->chkRestoreTabs->isChecked()),
                      std::pair(10, false));
            dlg.Pages()->setCurrentIndex(1);
            EXPECT_TRUE(page->isVisible() && !dlg.txtTimeOut->isVisible());
            page->spnTourSeconds->setValue(45);
            page->chkRestoreTabs->setChecked(true);
            (ok ? dlg.cmdOK : dlg.cmdCancel)->click();
        });
        EXPECT_EQ(std::pair(watch.TourSeconds, watch.RestoreTabs), ok ? std::pair(45, true) : std::pair(10, false));
    }
}

// A folder that is no path here (from Windows, or relative) is refused with
// a message; the dialog stays up and nothing is applied.
struct Refused {
    const char* name;
    QString save, cache;
};
class RefusedFolders : public SettingDialogTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedFolders, AreSaidAndNothingIsApplied) {
    const ProgramSettings initial = settings;
    whileShown([&] {
        dlg.txtSavePictureDirectory->setText(GetParam().save.isEmpty() ? dir.file("pics") : GetParam().save);
        dlg.txtChaceDirectory->setText(GetParam().cache.isEmpty() ? dir.file("cache") : GetParam().cache);
        dlg.txtTimeOut->setText(QStringLiteral("30"));
        dlg.cmdOK->click();
        EXPECT_TRUE(dlg.isVisible());
        dlg.cmdCancel->click();
    });
    EXPECT_EQ(boxes, QStringList{QStringLiteral(
                         "設定エラー: フォルダーは「/」で始まるこのコンピューターのパスで指定して下さい [OK]")});
    boxes.clear();
    EXPECT_EQ(stored(settings), stored(initial));
    EXPECT_FALSE(QDir(dir.file("cache")).exists());
}

const Refused kRefused[] = {{"windows_picture_folder", "D:\\pictures\\", ""},
                            {"windows_cache_folder", "", "C:\\Program Files\\Vantora\\chach\\"},
                            {"relative", "pictures/", ""},
                            {"backslash_inside", "", "/home/u/a\\b"}};
VANTORA_ROWS(RefusedFolders, kRefused);

// The folder picker opens at the folder in its box (the nearest one that
// exists above it when it does not), not at the home folder.
TEST_F(SettingDialogTest, TheFolderPickerOpensAtTheFolderInItsBox) {
    ASSERT_TRUE(QDir().mkpath(dir.file("pics/old")));
    dlg.BrowseFolder = &mdlFunction::BrowseFolder;
    for (const auto& [typed, opened] : {std::pair{dir.file("pics/old/"), dir.file("pics/old")},
                                        std::pair{dir.file("pics/gone/deeper/"), dir.file("pics")}}) {
        QString seen;
        QTimer::singleShot(100, &dlg, [&seen] {
            if (auto* picker = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                seen = picker->directory().absolutePath();
                picker->reject();
            }
        });
        dlg.txtSavePictureDirectory->setText(typed);
        dlg.cmdDirectoryReference_Click(0);
        EXPECT_EQ(seen, opened);
        EXPECT_EQ(dlg.txtSavePictureDirectory->text(), typed);  // cancelled: unchanged
    }
}

}  // namespace
