// The publisher's command line: values reach the options, bad ones are refused.
#include <gtest/gtest.h>

#include "tools/demo_publisher/DemoOptions.h"

namespace {

QStringList args(const char* line) {
    QStringList out{QStringLiteral("demo_publisher")};
    out << QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return out;
}

TEST(DemoOptions, EveryOptionReachesItsField) {
    DemoOptions o;
    QString error;
    ASSERT_TRUE(ParseDemoOptions(args("--port 8123 --channels 500 --size 320x240 --thumbnail-size 80x60 --reload 1 "
                                      "--status-cycle 90 --quality 60 --prerender 4 --share-404 0.1 --share-slow 0.05 "
                                      "--share-broken 0.2 --slow-delay 1500 --seed 42 --threads 700 --keep-alive 9 "
                                      "--duration 30 --prepare /tmp/x --host 127.0.0.2"),
                                 o, &error))
        << error.toStdString();
    EXPECT_EQ(o.Port, 8123);
    EXPECT_EQ(o.Channels, 500);
    EXPECT_EQ(o.PictureSize, QSize(320, 240));
    EXPECT_EQ(o.ThumbnailSize, QSize(80, 60));
    EXPECT_EQ(o.ReloadSeconds, 1);
    EXPECT_EQ(o.StatusCycleSeconds, 90);
    EXPECT_EQ(o.JpegQuality, 60);
    EXPECT_EQ(o.PrerenderFrames, 4);
    EXPECT_DOUBLE_EQ(o.NotFoundShare, 0.1);
    EXPECT_DOUBLE_EQ(o.SlowShare, 0.05);
    EXPECT_DOUBLE_EQ(o.BrokenShare, 0.2);
    EXPECT_EQ(o.SlowDelayMs, 1500);
    EXPECT_EQ(o.Seed, 42u);
    EXPECT_EQ(o.threadCount(), 700);
    EXPECT_EQ(o.KeepAliveSeconds, 9);
    EXPECT_EQ(o.DurationSeconds, 30);
    EXPECT_EQ(o.PrepareFolder, "/tmp/x");
    EXPECT_EQ(o.Host, "127.0.0.2");
    EXPECT_TRUE(o.Serve);
}

TEST(DemoOptions, ThreadsCoverOneConnectionPerChannel) {
    DemoOptions o;
    ASSERT_TRUE(ParseDemoOptions(args("--channels 500"), o, nullptr));
    EXPECT_GE(o.threadCount(), 500);
    ASSERT_TRUE(ParseDemoOptions(args("--channels 2"), o, nullptr));
    EXPECT_GE(o.threadCount(), 16);
}

struct BadLine {
    const char* name;
    const char* line;
};
void PrintTo(const BadLine& b, std::ostream* os) { *os << b.line; }
class DemoOptionsRefused : public ::testing::TestWithParam<BadLine> {};

TEST_P(DemoOptionsRefused, WithAMessage) {
    DemoOptions o;
    QString error;
    EXPECT_FALSE(ParseDemoOptions(args(GetParam().line), o, &error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DemoOptionsRefused,
    ::testing::Values(BadLine{"UnknownOption", "--bogus"}, BadLine{"Positional", "extra"},
                      BadLine{"SizeWithoutHeight", "--size 640"}, BadLine{"TinySize", "--size 8x8"},
                      BadLine{"ThumbnailLetters", "--thumbnail-size axb"}, BadLine{"ZeroReload", "--reload 0"},
                      BadLine{"PortTooBig", "--port 70000"}, BadLine{"NoChannels", "--channels 0"},
                      BadLine{"ShareAboveOne", "--share-404 1.5"}, BadLine{"NegativeShare", "--share-slow -0.1"},
                      BadLine{"SharesAddUpPastOne", "--share-404 0.6 --share-broken 0.5"},
                      BadLine{"SeedNotANumber", "--seed x"}, BadLine{"NegativeKeepAlive", "--keep-alive -1"}, BadLine{"NoServeWithoutFolder", "--no-serve --port 80"},
                      BadLine{"NoServeWithoutPort", "--no-serve --prepare /tmp/x"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DemoOptions, HelpIsNotAnError) {
    DemoOptions o;
    QString error, help;
    EXPECT_FALSE(ParseDemoOptions(args("--help"), o, &error, &help));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(help.contains(QLatin1String("--share-broken")));
}

}  // namespace
