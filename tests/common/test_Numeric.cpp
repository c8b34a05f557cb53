#include <gtest/gtest.h>

#include "common/Numeric.h"

namespace {

TEST(Numeric, ToInt32ReadsLenientNumbersAndRoundsHalvesToEven) {
    // clang-format off
    const std::pair<const char*, int> numbers[] = {
        {"60", 60}, {"  -7 ", -7}, {"+3", 3}, {"1.5", 2}, {"2.5", 2}, {"-2.5", -2}, {"0.5", 0}, {"3.5", 4},
        {"12.7", 13}, {".5", 0}, {"5.", 5}, {"1e3", 1000}, {"2.5E+1", 25}, {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1}};
    // clang-format on
    for (const auto& [text, expected] : numbers) {
        int v = 12345;
        EXPECT_TRUE(Numeric::ToInt32(QString::fromUtf8(text), &v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    // Outside 32 bits, or not a number at all.
    int v = 0;
    for (const char* text :
         {"2147483648", "1e10", "1e999", "", " ", "abc", "12abc", "0x10", "inf", "nan", "1e", ".", "- 1", "１２"})
        EXPECT_FALSE(Numeric::ToInt32(QString::fromUtf8(text), &v)) << text;
}

TEST(Numeric, BooleansFromWordsOrNumbers) {
    // clang-format off
    const std::pair<const char*, bool> words[] = {
        {"True", true}, {"true", true}, {"TRUE", true}, {" True ", true}, {"-1", true}, {"1", true}, {"0.5", true},
        {"2", true}, {"False", false}, {"false", false}, {"0", false}, {"0.0", false}, {"-0", false}};
    // clang-format on
    for (const auto& [text, expected] : words) {
        bool v = !expected;
        EXPECT_TRUE(Numeric::ToBoolean(QString::fromLatin1(text), &v)) << text;
        EXPECT_EQ(v, expected) << text;
    }
    bool v = false;
    for (const char* t : {"", "yes", "Tru", "on"}) EXPECT_FALSE(Numeric::ToBoolean(QString::fromLatin1(t), &v)) << t;
    EXPECT_EQ(Numeric::BooleanText(true) + Numeric::BooleanText(false), QStringLiteral("TrueFalse"));
}

TEST(Numeric, ParsingIgnoresTheProcessLocale) {
    // A German locale must not turn "12.7" into 127 or make it unreadable.
    const char* old = setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    setlocale(LC_NUMERIC, "de_DE.UTF-8");
    double d = 0;
    EXPECT_TRUE(Numeric::ParseDouble(QStringLiteral("12.7"), &d));
    EXPECT_DOUBLE_EQ(d, 12.7);
    setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
