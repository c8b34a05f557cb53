#include <gtest/gtest.h>

#include "common/Cp932.h"

namespace {

TEST(Cp932, EncodingUsesTheWindowsMappingAndQuestionMarks) {
    // ～ (FULLWIDTH TILDE), ① and 髙 only exist in the Windows code page.
    const QString text = QStringLiteral("放送中 ～①髙 ｶﾀｶﾅ ABC\\");
    const QByteArray encoded = Cp932::encode(text);
    EXPECT_TRUE(encoded.startsWith(QByteArray::fromHex("95FA91979286")));
    for (const char* hex : {"8160", "8740", "FBFC"}) EXPECT_TRUE(encoded.contains(QByteArray::fromHex(hex))) << hex;
    EXPECT_EQ(Cp932::decode(encoded), text);
    EXPECT_EQ(Cp932::encode(QStringLiteral("a😀b€cé")), QByteArray("a?b?c?"));
}

}  // namespace
