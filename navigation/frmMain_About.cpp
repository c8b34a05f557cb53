// The About box.
#include "view/frmMain.h"

#include "common/Version.h"

QString frmMain::AboutText() {
    return QStringLiteral("Vantora ver %1.%2.%3\r\n\r\n%4")
        .arg(VANTORA_VERSION_MAJOR)
        .arg(VANTORA_VERSION_MINOR)
        .arg(VANTORA_VERSION_PATCH)
        .arg(QStringLiteral("© 2026 Vantora 開発チーム　各チャンネルの画像と情報は、それぞれの配信者に帰属します。"));
}

void frmMain::mnuAbout_Click() { showMessage(AboutText(), QStringLiteral("バージョン情報"), true); }
