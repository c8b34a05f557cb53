// The publisher's command line at the edges of its limits. That accepted
// values reach the program is checked by running it (test_DemoPublisher).
#include <gtest/gtest.h>

#include "tools/demo_publisher/DemoOptions.h"

namespace {

QStringList args(const char* line) {
    return QStringList{QStringLiteral("demo_publisher")} +
           QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(DemoOptions, LinesAtTheLimitsAreTakenAndLinesPastThemRefusedWithAMessage) {
    const char* taken[] = {
        "--port 65535 --size 16x16 --thumbnail-size 8192x8192 --reload 1 --status-cycle 0 --keep-alive 0",
        "--share-404 0.6 --share-broken 0.4",  // shares may add up to exactly one
        "--no-serve --port 80 --prepare /tmp/x"};
    const char* refused[] = {"--bogus", "extra", "--size 640", "--size 8x8", "--thumbnail-size axb", "--reload 0",
                             "--port 70000", "--channels 0", "--share-404 1.5", "--share-slow -0.1",
                             "--share-404 0.6 --share-broken 0.5", "--seed x", "--keep-alive -1",
                             "--no-serve --port 80", "--no-serve --prepare /tmp/x"};
    auto parse = [](const char* line, QString* error) {
        DemoOptions o;
        return ParseDemoOptions(args(line), o, error);
    };
    for (const char* line : taken) EXPECT_TRUE(parse(line, nullptr)) << line;
    for (const char* line : refused) {
        QString error;
        EXPECT_FALSE(parse(line, &error)) << line;
        EXPECT_FALSE(error.isEmpty()) << line;
    }
    DemoOptions o;
    QString error, help;
    EXPECT_FALSE(ParseDemoOptions(args("--help"), o, &error, &help));
    EXPECT_TRUE(error.isEmpty());  // help is not an error
    EXPECT_TRUE(help.contains(QLatin1String("--share-broken")));
}

TEST(DemoOptions, ThreadsCoverOneKeptConnectionPerChannel) {
    DemoOptions o;
    ASSERT_TRUE(ParseDemoOptions(args("--channels 500"), o, nullptr));
    EXPECT_GE(o.threadCount(), 500);
    ASSERT_TRUE(ParseDemoOptions(args("--channels 2"), o, nullptr));
    EXPECT_GE(o.threadCount(), 16);
    ASSERT_TRUE(ParseDemoOptions(args("--threads 700"), o, nullptr));
    EXPECT_EQ(o.threadCount(), 700);
}

}  // namespace
