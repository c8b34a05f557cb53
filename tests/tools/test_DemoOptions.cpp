#include "Rows.h"
#include "tools/demo_publisher/DemoOptions.h"

namespace {

struct Row {
    const char *name, *line;
    bool taken;
};
class DemoOptionsTest : public ::testing::TestWithParam<Row> {};

TEST_P(DemoOptionsTest, TakenAtTheLimitsRefusedWithAMessagePastThem) {
    const Row& r = GetParam();
    DemoOptions o;
    QString error;
    const QStringList args = QString::fromLatin1(r.line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    EXPECT_EQ(ParseDemoOptions(QStringList{QStringLiteral("demo_publisher")} + args, o, &error), r.taken);
    EXPECT_EQ(error.isEmpty(), r.taken) << error.toStdString();
}

// clang-format off
const Row kRows[] = {
    {"highest_values", "--port 65535 --size 16x16 --thumbnail-size 8192x8192 --reload 1 --status-cycle 0 --keep-alive 0", true},
    {"shares_adding_up_to_one", "--share-404 0.6 --share-broken 0.4", true},
    {"prepare_only", "--no-serve --port 80 --prepare /tmp/x", true}, {"unknown_option", "--bogus", false},
    {"argument", "extra", false}, {"size_without_height", "--size 640", false},
    {"size_too_small", "--size 8x8", false}, {"port_too_high", "--port 70000", false},
    {"no_channels", "--channels 0", false}, {"share_above_one", "--share-404 1.5", false},
    {"shares_above_one", "--share-404 0.6 --share-broken 0.5", false}, {"seed_not_a_number", "--seed x", false},
    {"no_serve_without_prepare", "--no-serve --port 80", false},
    {"no_serve_without_port", "--no-serve --prepare /tmp/x", false}};
// clang-format on
VANTORA_ROWS(DemoOptionsTest, kRows);

}  // namespace
