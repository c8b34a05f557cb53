#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/SafeFile.h"

#include <QDir>

namespace {

TEST(SafeFileName, HostileNamesStayOneComponent) {
    EXPECT_EQ(SafeFileName("ch01"), QStringLiteral("ch01"));
    EXPECT_EQ(SafeFileName("jp.tokyo.cam-1_a"), QStringLiteral("jp.tokyo.cam-1_a"));
    EXPECT_EQ(SafeFileName(QStringLiteral("放送局")), QStringLiteral("放送局"));
    EXPECT_EQ(SafeFileName("."), QStringLiteral("_"));
    EXPECT_EQ(SafeFileName(".."), QStringLiteral("__"));
    EXPECT_EQ(SafeFileName("../x"), QStringLiteral(".._x"));
    EXPECT_EQ(SafeFileName("/etc/x"), QStringLiteral("_etc_x"));
    EXPECT_EQ(SafeFileName("a/../../b"), QStringLiteral("a_.._.._b"));
    EXPECT_EQ(SafeFileName("a\\b"), QStringLiteral("a_b"));
    EXPECT_EQ(SafeFileName(QStringLiteral("a\nb\u0000c")), QStringLiteral("a_b_c"));
    const QString longName(5000, QChar(u'x'));
    const QString shortened = SafeFileName(longName);
    EXPECT_LE(shortened.toUtf8().size(), 200);
    EXPECT_NE(shortened, SafeFileName(longName + "y"));  // still unique
}

TEST(WriteFileAtomically, AFailedWriteLeavesTheOldFileWhole) {
    TempProgramDir dir;
    const QString path = dir.file("Favorite.txt");
    ASSERT_TRUE(WriteFileAtomically(path, "old contents\r\n"));
    for (bool durable : {true, false}) {
        SafeFileTesting::SetWriteFault([](const QString& p) { return p.endsWith("Favorite.txt"); });
        EXPECT_FALSE(WriteFileAtomically(path, QByteArray(100000, 'n'), durable));
        SafeFileTesting::SetWriteFault(nullptr);
        EXPECT_EQ(dir.read("Favorite.txt"), QByteArray("old contents\r\n"));
        EXPECT_EQ(dir.allFiles(), QStringList{"Favorite.txt"});  // no temporary left behind
    }
    ASSERT_TRUE(WriteFileAtomically(path, "new", false));
    EXPECT_EQ(dir.read("Favorite.txt"), QByteArray("new"));
    EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/dir/x.txt"), "x"));
}

}  // namespace
