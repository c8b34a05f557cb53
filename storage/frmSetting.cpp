#include "storage/frmSetting.h"

#include "channel/HTTPTransfer.h"
#include "channel/ProgramSettings.h"
#include "common/Numeric.h"
#include "common/mdlFunction.h"
#include "common/mdlFunctionWidgets.h"
#include "storage/SettingsPage.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>

namespace {

using mdlFunction::kTwipsPerPixel;

// Design positions are in twips.
QRect twips(int left, int top, int width, int height) {
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

QString withFinalSeparator(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

}  // namespace

frmSetting::frmSetting(QWidget* parent) : QDialog(parent), BrowseFolder(&mdlFunction::BrowseFolder) {
    setWindowTitle(QStringLiteral("設定"));
    setModal(true);
    // The design's 255-twip (17 px) rows need a small font.
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    const QSize client(7290 / kTwipsPerPixel, 1815 / kTwipsPerPixel);
    mBody = new QWidget(this);
    mBody->setGeometry(QRect(QPoint(0, 0), client));
    mBasic = new QWidget(mBody);
    mBasic->setGeometry(QRect(QPoint(0, 0), client));

    auto label = [this](const QString& caption, QRect r) {
        auto* l = new QLabel(caption, mBasic);
        l->setGeometry(r);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    auto edit = [this](QRect r) {
        auto* e = new QLineEdit(mBasic);
        e->setGeometry(r);
        return e;
    };
    auto button = [](const QString& caption, QRect r, QWidget* parent) {
        auto* b = new QPushButton(caption, parent);
        b->setGeometry(r);
        return b;
    };

    // Created in the order the focus moves through them.
    lblLabel[2] = label(QStringLiteral("画像保存ディレクトリ"), twips(120, 150, 1695, 255));
    txtSavePictureDirectory = edit(twips(1800, 120, 4695, 270));
    cmdDirectoryReference[0] = button(QStringLiteral("参照"), twips(6600, 120, 615, 255), mBasic);
    lblLabel[3] = label(QStringLiteral("キャッシュディレクトリ"), twips(120, 510, 1695, 255));
    txtChaceDirectory = edit(twips(1800, 480, 4695, 270));
    cmdDirectoryReference[1] = button(QStringLiteral("参照"), twips(6600, 480, 615, 255), mBasic);
    chkUseProxy = new QCheckBox(QStringLiteral("プロキシ"), mBasic);
    chkUseProxy->setGeometry(twips(120, 960, 975, 255));
    txtProxy = edit(twips(1200, 960, 3855, 270));
    lblLabel[0] = label(QStringLiteral("タイムアウト"), twips(5280, 990, 975, 255));
    txtTimeOut = edit(twips(6240, 960, 615, 270));
    lblLabel[1] = label(QStringLiteral("秒"), twips(6960, 990, 255, 255));
    // The buttons lie over whichever page is shown.
    cmdOK = button(QStringLiteral("OK"), twips(4800, 1440, 1095, 270), mBody);
    cmdCancel = button(QStringLiteral("キャンセル"), twips(6120, 1440, 1095, 270), mBody);

    fitCaptions();

    // Enter anywhere applies; a focused 参照 button must not take that over.
    cmdOK->setDefault(true);
    for (QPushButton* b : cmdDirectoryReference) b->setAutoDefault(false);

    setFixedSize(client);

    for (int i = 0; i < int(cmdDirectoryReference.size()); ++i)
        connect(cmdDirectoryReference[i], &QPushButton::clicked, this, [this, i] { cmdDirectoryReference_Click(i); });
    connect(cmdOK, &QPushButton::clicked, this, &frmSetting::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetting::cmdCancel_Click);
}

void frmSetting::fitCaptions() {
    // The design's widths were made for narrower kana than most Linux fonts
    // have: give the labels and the check box one size at which every
    // caption shows whole.
    const int box = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, chkUseProxy) +
                    style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, chkUseProxy);
    auto fits = [&](const QFont& f) {
        const QFontMetrics fm(f);
        for (QLabel* l : lblLabel)
            if (fm.horizontalAdvance(l->text()) > l->width()) return false;
        return fm.horizontalAdvance(chkUseProxy->text()) + box <= chkUseProxy->width();
    };
    QFont f = font();
    while (f.pixelSize() > 8 && !fits(f)) f.setPixelSize(f.pixelSize() - 1);
    for (QLabel* l : lblLabel) l->setFont(f);
    chkUseProxy->setFont(f);
}

void frmSetting::Attach(ProgramSettings* settings, HTTPTransferArray* http) {
    mSettings = settings;
    mHttp = http;
}

void frmSetting::AddPage(const QString& caption, SettingsPage* page) {
    if (!mPageBar) {
        mPageBar = new QTabBar(this);
        mPageBar->setDrawBase(false);
        mPageBar->setExpanding(false);
        mPageBar->addTab(QStringLiteral("基本"));
        connect(mPageBar, &QTabBar::currentChanged, this, &frmSetting::showPage);
    }
    mPageBar->addTab(caption);
    page->setParent(mBody);
    page->setGeometry(mBasic->geometry());
    page->hide();
    mPages << page;
    cmdOK->raise();
    cmdCancel->raise();
    // The bar goes above the design's client area, which keeps its size.
    const int bar = mPageBar->sizeHint().height();
    mPageBar->setGeometry(0, 0, mBody->width(), bar);
    mBody->move(0, bar);
    setFixedSize(mBody->width(), mBody->height() + bar);
}

void frmSetting::showPage(int index) {
    mBasic->setVisible(index == 0);
    for (int i = 0; i < mPages.size(); ++i) mPages[i]->setVisible(index == i + 1);
}

void frmSetting::ShowSetting() {
    if (!mSettings) return;  // nothing to edit yet
    for (SettingsPage* page : mPages) page->Load();
    if (mPageBar) mPageBar->setCurrentIndex(0);
    txtSavePictureDirectory->setText(mSettings->PictureSaveDirctory);
    txtChaceDirectory->setText(mSettings->ChachDirctory);
    txtProxy->setText(mSettings->Proxy);
    txtTimeOut->setText(QString::number(mSettings->Timeout));
    chkUseProxy->setChecked(mSettings->ProxyEnable);
    exec();
}

void frmSetting::cmdDirectoryReference_Click(int Index) {
    if (Index != 0 && Index != 1) return;
    const QString prompt = Index == 0 ? QStringLiteral("画像を保存するディレクトリを選択して下さい")
                                      : QStringLiteral("キャッシュディレクトリを選択して下さい");
    QLineEdit* box = Index == 0 ? txtSavePictureDirectory : txtChaceDirectory;
    const QString answer = BrowseFolder ? BrowseFolder(this, prompt, box->text().trimmed()).trimmed() : QString();
    if (answer.isEmpty()) return;
    box->setText(withFinalSeparator(answer));
}

void frmSetting::showError(const QString& text) {
    if (mPageBar) mPageBar->setCurrentIndex(0);  // every checked value is there
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("設定エラー"), text, QMessageBox::Ok, this);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    box.exec();
}

void frmSetting::cmdOK_Click() {
    // A timeout of zero or less would mean "no limit" to the transfer layer,
    // and one above kMaxTimeout cannot be timed: refuse both like text.
    double number = 0;
    int timeout = 0;
    if (!Numeric::ParseDouble(txtTimeOut->text(), &number) || !Numeric::RoundToInt32(number, &timeout) ||
        timeout <= 0 || timeout > kMaxTimeout) {
        showError(QStringLiteral("タイムアウト値が正しくありません"));
        return;
    }
    // A folder from Windows or a relative one would be made inside whatever
    // folder the viewer was started from.
    for (const QLineEdit* folder : {txtSavePictureDirectory, txtChaceDirectory}) {
        const QString typed = folder->text();
        if (!typed.trimmed().isEmpty() && !mdlFunction::IsLocalFolderPath(typed)) {
            showError(QStringLiteral("フォルダーは「/」で始まるこのコンピューターのパスで指定して下さい"));
            return;
        }
    }

    if (mSettings) {
        // An emptied box keeps the folder in use: a bare "/" would send the
        // pictures to the root of the file system.
        auto directory = [](const QLineEdit* box, const QString& current) {
            return box->text().trimmed().isEmpty() ? current : withFinalSeparator(box->text());
        };
        mSettings->PictureSaveDirctory = directory(txtSavePictureDirectory, mSettings->PictureSaveDirctory);
        mSettings->ChachDirctory = directory(txtChaceDirectory, mSettings->ChachDirctory);
        // Last level only. When it cannot be made the values still stand:
        // channels then fail to cache quietly and the next start tries again.
        if (!QDir(mSettings->ChachDirctory).exists()) QDir().mkdir(mSettings->ChachDirctory);
        mSettings->Timeout = timeout;
        mSettings->Proxy = txtProxy->text();
        mSettings->ProxyEnable = chkUseProxy->isChecked();

        if (mHttp) mHttp->ApplySettings(mSettings->Timeout, mSettings->Proxy, mSettings->ProxyEnable);
    }
    for (SettingsPage* page : mPages) page->Apply();
    QDialog::accept();
}

void frmSetting::cmdCancel_Click() { QDialog::reject(); }

void frmSetting::reject() { cmdCancel_Click(); }
