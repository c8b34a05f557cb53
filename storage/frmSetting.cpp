#include "storage/frmSetting.h"

frmSetting::frmSetting(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("設定"));
    setModal(true);
}
