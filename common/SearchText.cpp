#include "common/SearchText.h"

namespace {

// Characters NFKC leaves as they are, alone and beside each other: ASCII,
// kana without the combining sound marks, the usual Japanese punctuation
// and the CJK ideographs. Text of these alone needs no normalisation.
bool stable(char16_t u) {
    return u < 0x80 || (u >= 0x3001 && u <= 0x3002) || (u >= 0x300C && u <= 0x300F) || (u >= 0x3041 && u <= 0x3096) ||
           u == 0x309D || u == 0x309E || (u >= 0x30A1 && u <= 0x30FE) || (u >= 0x3400 && u <= 0x4DBF) ||
           (u >= 0x4E00 && u <= 0x9FFF);
}

// Letter case of ASCII (all the case a stable text has) and kana:
// ぁ..ゖ and the iteration marks ゝゞ have katakana 0x60 above them.
char16_t folded(char16_t u) {
    if (u >= 'A' && u <= 'Z') return char16_t(u + 0x20);
    if ((u >= 0x3041 && u <= 0x3096) || u == 0x309D || u == 0x309E) return char16_t(u + 0x60);
    return u;
}

}  // namespace

void AppendSearchKey(QString& key, const QString& text) {
    bool plain = true;
    for (const QChar c : text) plain = plain && stable(c.unicode());
    const QString normal = plain ? text : text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    const qsizetype at = key.size();
    key.resize(at + normal.size());
    QChar* out = key.data() + at;
    for (const QChar c : normal) *out++ = QChar(folded(c.unicode()));
}

QString SearchKey(const QString& text) {
    QString key;
    AppendSearchKey(key, text);
    return key;
}
