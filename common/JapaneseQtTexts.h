#pragma once

class QCoreApplication;

// Qt's own texts (standard buttons, the folder dialog, edit menus) in
// Japanese whatever the desktop's language, as every text of ours is.
// False when the translation was not built in.
bool InstallJapaneseQtTexts(QCoreApplication& app);
