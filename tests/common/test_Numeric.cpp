#include <gtest/gtest.h>

#include "common/Numeric.h"

namespace {

struct IntCase {
    const char* text;
    bool ok;
    int value;
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ToInt32Test : public ::testing::TestWithParam<IntCase> {};

TEST_P(ToInt32Test, ReadsLenientNumbersAndRoundsHalvesToEven) {
    int v = 12345;
    const IntCase& c = GetParam();
    EXPECT_EQ(Numeric::ToInt32(QString::fromUtf8(c.text), &v), c.ok) << c.text;
    if (c.ok) {
        EXPECT_EQ(v, c.value) << c.text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToInt32Test,
    ::testing::Values(IntCase{"60", true, 60}, IntCase{"  -7 ", true, -7}, IntCase{"+3", true, 3},
                      IntCase{"1.5", true, 2}, IntCase{"2.5", true, 2}, IntCase{"-2.5", true, -2},
                      IntCase{"0.5", true, 0}, IntCase{"3.5", true, 4}, IntCase{"12.7", true, 13},
                      IntCase{".5", true, 0}, IntCase{"5.", true, 5}, IntCase{"1e3", true, 1000},
                      IntCase{"2.5E+1", true, 25}, IntCase{"2147483647", true, 2147483647},
                      IntCase{"-2147483648", true, -2147483647 - 1},
                      // outside 32 bits, or not a number at all
                      IntCase{"2147483648", false, 0}, IntCase{"1e10", false, 0}, IntCase{"1e999", false, 0},
                      IntCase{"", false, 0}, IntCase{" ", false, 0}, IntCase{"abc", false, 0},
                      IntCase{"12abc", false, 0}, IntCase{"0x10", false, 0}, IntCase{"inf", false, 0},
                      IntCase{"nan", false, 0}, IntCase{"1e", false, 0}, IntCase{".", false, 0},
                      IntCase{"- 1", false, 0}, IntCase{"１２", false, 0}));

TEST(Numeric, BooleansFromWordsOrNumbers) {
    bool v = false;
    for (const char* t : {"True", "true", "TRUE", " True ", "-1", "1", "0.5", "2"}) {
        v = false;
        EXPECT_TRUE(Numeric::ToBoolean(QString::fromLatin1(t), &v)) << t;
        EXPECT_TRUE(v) << t;
    }
    for (const char* t : {"False", "false", "0", "0.0", "-0"}) {
        v = true;
        EXPECT_TRUE(Numeric::ToBoolean(QString::fromLatin1(t), &v)) << t;
        EXPECT_FALSE(v) << t;
    }
    for (const char* t : {"", "yes", "Tru", "on"}) EXPECT_FALSE(Numeric::ToBoolean(QString::fromLatin1(t), &v)) << t;
    EXPECT_EQ(Numeric::BooleanText(true), QStringLiteral("True"));
    EXPECT_EQ(Numeric::BooleanText(false), QStringLiteral("False"));
}

TEST(Numeric, ParsingIgnoresTheProcessLocale) {
    // Qt sets LC_ALL from the environment; a German locale must not turn
    // "12.7" into 127 or make it unreadable.
    const char* old = setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    setlocale(LC_NUMERIC, "de_DE.UTF-8");
    double d = 0;
    EXPECT_TRUE(Numeric::ParseDouble(QStringLiteral("12.7"), &d));
    EXPECT_DOUBLE_EQ(d, 12.7);
    setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
