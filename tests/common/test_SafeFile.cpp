#include "Rows.h"
#include "TempProgramDir.h"
#include "common/SafeFile.h"

#include <QFile>

#include <atomic>
#include <thread>

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

// A reader of a cache file being replaced over and over finds one whole
// version or none, never part of one.
TEST(WriteFileAtomically, AReaderNeverSeesPartOfACacheFile) {
    TempProgramDir dir;
    const QString path = dir.file("ch01.jpg");
    const QByteArray versions[] = {QByteArray(1000, 'a'), QByteArray(300000, 'b')};
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 400; ++i) WriteFileAtomically(path, versions[i % 2], /*durable=*/false);
        done = true;
    });
    int whole = 0;
    while (!done) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = f.readAll();
        ASSERT_TRUE(bytes == versions[0] || bytes == versions[1]) << bytes.size() << " bytes";
        ++whole;
    }
    writer.join();
    EXPECT_GT(whole, 0);
}

}  // namespace
