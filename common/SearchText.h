#pragma once
// Text as the channel search compares it: compatibility forms folded (NFKC:
// ＡＢＣ = ABC, ｶﾒﾗ = カメラ), letter case folded, and hiragana written as
// katakana (かめら = カメラ). A query matches a text when its key is part of
// the text's key.

#include <QString>

QString SearchKey(const QString& text);
// The same, appended to key.
void AppendSearchKey(QString& key, const QString& text);
