#include "Rows.h"
#include "common/Numeric.h"

namespace {

// A text and what ToInt32 and ToBoolean read from it ("-": refused).
struct Row {
    const char *name, *text, *asInt, *asBoolean;
};
class NumericTest : public ::testing::TestWithParam<Row> {};

TEST_P(NumericTest, ReadsLenientNumbersAndBooleans) {
    const Row& r = GetParam();
    int i = 12345;
    bool b = false;
    const bool isInt = Numeric::ToInt32(QString::fromUtf8(r.text), &i);
    EXPECT_EQ(isInt ? std::to_string(i) : "-", r.asInt);
    const bool isBoolean = Numeric::ToBoolean(QString::fromUtf8(r.text), &b);
    EXPECT_EQ(isBoolean ? (b ? "True" : "False") : "-", std::string(r.asBoolean));
}

// clang-format off
const Row kRows[] = {
    {"plain", "60", "60", "True"}, {"spaces_and_sign", "  -7 ", "-7", "True"}, {"plus", "+3", "3", "True"},
    {"half_down_to_even", "2.5", "2", "True"}, {"negative_half", "-2.5", "-2", "True"},
    {"fraction", "12.7", "13", "True"}, {"no_integer_part", ".5", "0", "True"}, {"no_fraction_digits", "5.", "5", "True"},
    {"signed_exponent", "2.5E+1", "25", "True"}, {"int_max", "2147483647", "2147483647", "True"},
    {"int_min", "-2147483648", "-2147483648", "True"}, {"past_int_max", "2147483648", "-", "True"},
    {"past_double", "1e999", "-", "-"}, {"empty", "", "-", "-"}, {"trailing_letters", "12abc", "-", "-"},
    {"hex", "0x10", "-", "-"}, {"inf", "inf", "-", "-"}, {"exponent_without_digits", "1e", "-", "-"},
    {"dot", ".", "-", "-"}, {"space_after_sign", "- 1", "-", "-"}, {"fullwidth_digits", "１２", "-", "-"},
    {"lower_true", "true", "-", "True"}, {"spaced_true", " True ", "-", "True"}, {"minus_one", "-1", "-1", "True"},
    {"False", "False", "-", "False"}, {"zero_point_zero", "0.0", "0", "False"}, {"minus_zero", "-0", "0", "False"},
    {"cut_word", "Tru", "-", "-"}};
// clang-format on
VANTORA_ROWS(NumericTest, kRows);

}  // namespace
