#include "view/WallSettingsPage.h"

#include "storage/WatchSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>

WallSettingsPage::WallSettingsPage(WatchSettings* settings, QWidget* parent)
    : SettingsPage(parent), mSettings(settings) {
    setObjectName(QStringLiteral("cntWallPage"));
    lblTourSeconds = new QLabel(QStringLiteral("巡回表示の切り替え間隔"), this);
    lblTourSeconds->setGeometry(8, 11, 150, 17);
    spnTourSeconds = new QSpinBox(this);
    spnTourSeconds->setObjectName(QStringLiteral("spnTourSeconds"));
    spnTourSeconds->setRange(WatchSettings::kMinTourSeconds, WatchSettings::kMaxTourSeconds);
    spnTourSeconds->setGeometry(160, 8, 70, 20);
    lblTourUnit = new QLabel(QStringLiteral("秒"), this);
    lblTourUnit->setGeometry(236, 11, 20, 17);
    chkRestoreTabs = new QCheckBox(QStringLiteral("終了時に開いていたタブを次の起動で開く"), this);
    chkRestoreTabs->setObjectName(QStringLiteral("chkRestoreTabs"));
    chkRestoreTabs->setGeometry(8, 40, 400, 20);
    for (QLabel* label : {lblTourSeconds, lblTourUnit}) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void WallSettingsPage::Load() {
    spnTourSeconds->setValue(mSettings->TourSeconds);
    chkRestoreTabs->setChecked(mSettings->RestoreTabs);
}

void WallSettingsPage::Apply() {
    mSettings->TourSeconds = spnTourSeconds->value();
    mSettings->RestoreTabs = chkRestoreTabs->isChecked();
}
