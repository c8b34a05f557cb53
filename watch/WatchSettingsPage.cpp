#include "watch/WatchSettingsPage.h"

#include "storage/WatchSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

WatchSettingsPage::WatchSettingsPage(WatchSettings* settings, QWidget* parent)
    : SettingsPage(parent), mSettings(settings) {
    // Placed by hand like the dialog's own page; the bottom row is the
    // dialog's OK and キャンセル.
    chkStatusOverlay = new QCheckBox(QStringLiteral("画像に状態を表示する"), this);
    chkStatusOverlay->setGeometry(8, 6, 460, 20);
    chkNotifyOnAir = new QCheckBox(QStringLiteral("お気に入りの放送開始を通知する"), this);
    chkNotifyOnAir->setGeometry(8, 28, 460, 20);
    chkNotifyFailure = new QCheckBox(QStringLiteral("受信の失敗が"), this);
    chkNotifyFailure->setGeometry(8, 50, chkNotifyFailure->sizeHint().width(), 20);
    txtNotifyFailureMinutes = new QSpinBox(this);
    txtNotifyFailureMinutes->setRange(WatchSettings::kMinFailureMinutes, WatchSettings::kMaxFailureMinutes);
    txtNotifyFailureMinutes->setGeometry(chkNotifyFailure->geometry().right() + 4, 49, 64, 22);
    auto* after = new QLabel(QStringLiteral("分続いたら通知する"), this);
    after->setGeometry(txtNotifyFailureMinutes->geometry().right() + 4, 50, 200, 20);
    auto* note =
        new QLabel(QStringLiteral("放送開始の通知のため、表示していないお気に入りの情報ファイルを取得します"), this);
    note->setGeometry(8, 74, 470, 16);
    note->setEnabled(false);
    connect(chkNotifyFailure, &QCheckBox::toggled, txtNotifyFailureMinutes, &QSpinBox::setEnabled);
}

void WatchSettingsPage::Load() {
    chkStatusOverlay->setChecked(mSettings->StatusOverlay);
    chkNotifyOnAir->setChecked(mSettings->NotifyOnAir);
    chkNotifyFailure->setChecked(mSettings->NotifyFailure);
    txtNotifyFailureMinutes->setValue(mSettings->NotifyFailureMinutes);
    txtNotifyFailureMinutes->setEnabled(mSettings->NotifyFailure);
}

void WatchSettingsPage::Apply() {
    mSettings->StatusOverlay = chkStatusOverlay->isChecked();
    mSettings->NotifyOnAir = chkNotifyOnAir->isChecked();
    mSettings->NotifyFailure = chkNotifyFailure->isChecked();
    mSettings->NotifyFailureMinutes = txtNotifyFailureMinutes->value();
}
