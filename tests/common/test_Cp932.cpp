#include <gtest/gtest.h>

#include "common/Cp932.h"

namespace {

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray b;
    for (int v : list) b.append(char(v));
    return b;
}

TEST(Cp932, JapaneseRoundTripUsesTheWindowsMapping) {
    // ～ (FULLWIDTH TILDE), ① and 髙 only exist in the Windows code page.
    const QString text = QStringLiteral("放送中 ～①髙 ｶﾀｶﾅ ABC\\");
    const QByteArray encoded = Cp932::encode(text);
    EXPECT_EQ(encoded.left(6), bytes({0x95, 0xFA, 0x91, 0x97, 0x92, 0x86}));
    EXPECT_TRUE(encoded.contains(bytes({0x81, 0x60})));  // ～
    EXPECT_TRUE(encoded.contains(bytes({0x87, 0x40})));  // ①
    EXPECT_TRUE(encoded.contains(bytes({0xFB, 0xFC})));  // 髙
    EXPECT_EQ(Cp932::decode(encoded), text);
}

TEST(Cp932, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(Cp932::encode(QStringLiteral("a😀b€c")), QByteArray("a?b?c"));
    EXPECT_EQ(Cp932::encode(QStringLiteral("é")), QByteArray("?"));
}

TEST(Cp932, InvalidAndCutBytesNeverStopDecoding) {
    // 0x80 and 0xA0 are unassigned, 0x82 at the end is a cut lead byte.
    const QString decoded = Cp932::decode(bytes({'A', 0x80, 'B', 0xA0, 0x82, 0xA0, 'C', 0x82}));
    EXPECT_EQ(decoded, QStringLiteral("A\uFFFDB\uFFFDあC\uFFFD"));
    EXPECT_EQ(Cp932::decode(QByteArray()), QString());
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i) garbage.append(char((i * 37) & 0xFF));
    EXPECT_FALSE(Cp932::decode(garbage).isEmpty());
}

TEST(Cp932, DeclaredCharsetWinsOverTheCodePage) {
    const QByteArray utf8 = QStringLiteral("チャンネル").toUtf8();
    bool known = false;
    EXPECT_EQ(Cp932::decodeCharset(utf8, QStringLiteral("UTF-8"), &known), QStringLiteral("チャンネル"));
    EXPECT_TRUE(known);
    const QByteArray eucjp = bytes({0xA5, 0xC1, 0xA5, 0xE3});  // チャ in EUC-JP
    EXPECT_EQ(Cp932::decodeCharset(eucjp, QStringLiteral("euc-jp")), QStringLiteral("チャ"));
    const QByteArray sjis = Cp932::encode(QStringLiteral("①番"));
    EXPECT_EQ(Cp932::decodeCharset(sjis, QStringLiteral("Shift_JIS")), QStringLiteral("①番"));
    EXPECT_EQ(Cp932::decodeCharset(sjis, QStringLiteral("no-such-charset/../x"), &known), QStringLiteral("①番"));
    EXPECT_FALSE(known);
    EXPECT_EQ(Cp932::decodeCharset(sjis, QString()), QStringLiteral("①番"));
}

}  // namespace
