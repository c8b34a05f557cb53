#include "Rows.h"
#include "TempProgramDir.h"
#include "common/SafeFile.h"

#include <QFile>

namespace {

struct NameRow {
    const char* name;
    QString given, expected;
};
class SafeFileNameTest : public ::testing::TestWithParam<NameRow> {};

TEST_P(SafeFileNameTest, StaysOneComponent) { EXPECT_EQ(SafeFileName(GetParam().given), GetParam().expected); }

const NameRow kNames[] = {
    {"plain", "ch01", "ch01"},        {"dotted", "jp.tokyo.cam-1_a", "jp.tokyo.cam-1_a"},
    {"japanese", "放送局", "放送局"}, {"dot", ".", "_"},
    {"dot_dot", "..", "__"},          {"up", "../x", ".._x"},
    {"absolute", "/etc/x", "_etc_x"}, {"up_twice", "a/../../b", "a_.._.._b"},
    {"backslash", "a\\b", "a_b"},     {"controls", QStringLiteral("a\nb\u0000c"), "a_b_c"},
};
VANTORA_ROWS(SafeFileNameTest, kNames);

TEST(SafeFileName, LongNamesAreCutAndStayUnique) {
    const QString longName(5000, QChar(u'x'));
    EXPECT_LE(SafeFileName(longName).toUtf8().size(), 200);
    EXPECT_NE(SafeFileName(longName), SafeFileName(longName + "y"));
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
        // No temporary left behind; the cache path keeps its hidden spare.
        QStringList files = dir.allFiles();
        if (!durable) files.removeOne(".Favorite.txt.spare");
        EXPECT_EQ(files, QStringList{"Favorite.txt"});
    }
    ASSERT_TRUE(WriteFileAtomically(path, "new", false));
    EXPECT_EQ(dir.read("Favorite.txt"), QByteArray("new"));
    EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/dir/x.txt"), "x"));
}

}  // namespace
