#include "common/SearchText.h"

QString SearchKey(const QString& text) {
    bool ascii = true;
    for (const QChar c : text) ascii = ascii && c.unicode() < 0x80;
    // Most identifiers are ASCII, which NFKC leaves as it is.
    if (ascii) return text.toCaseFolded();
    QString key = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar& c : key) {
        const char16_t u = c.unicode();
        // ぁ..ゖ and the iteration marks ゝゞ have katakana 0x60 above them.
        if ((u >= 0x3041 && u <= 0x3096) || u == 0x309D || u == 0x309E) c = QChar(char16_t(u + 0x60));
    }
    return key;
}
