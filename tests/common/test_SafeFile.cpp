#include "Rows.h"
#include "TempProgramDir.h"
#include "common/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <sys/resource.h>
#include <csignal>

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
        EXPECT_EQ(dir.allFiles(), QStringList{"Favorite.txt"});  // neither temporary nor spare
    }
    ASSERT_TRUE(WriteFileAtomically(path, "new", false));
    EXPECT_EQ(dir.read("Favorite.txt"), QByteArray("new"));
    EXPECT_FALSE(WriteFileAtomically(dir.file("no/such/dir/x.txt"), "x"));
}

// A disk that fills in the middle of a picture (a file-size limit below its
// size): the write reports failure, the old picture stays whole, and nothing
// of the new one is left, neither under its name nor beside it.
struct CutRow {
    const char* name;
    bool saved;     // a saved picture (made once) rather than the cache
    bool oldFile;   // a picture is there already
    bool oldSpare;  // and its spare, from the exchange before
};
class CutWriteTest : public ::testing::TestWithParam<CutRow> {};

TEST_P(CutWriteTest, FailsAndLeavesNoShortFile) {
    const CutRow& row = GetParam();
    TempProgramDir dir;
    const QString path = dir.file("ch01.jpg");
    const QByteArray old(3000, 'o');
    if (row.oldFile) dir.write("ch01.jpg", old);
    if (row.oldSpare) dir.write(".ch01.jpg.spare", QByteArray(2000, 's'));
    QStringList before = dir.allFiles();
    before.removeOne(".ch01.jpg.spare");

    struct Limit {
        rlimit saved{};
        sighandler_t handler = ::signal(SIGXFSZ, SIG_IGN);
        Limit() {
            ::getrlimit(RLIMIT_FSIZE, &saved);
            const rlimit cut{40000, saved.rlim_max};
            ::setrlimit(RLIMIT_FSIZE, &cut);
        }
        ~Limit() {
            ::setrlimit(RLIMIT_FSIZE, &saved);
            ::signal(SIGXFSZ, handler);
        }
    };
    QString error;
    bool written = true;
    {
        const Limit limit;
        const QByteArray picture(100000, 'n');
        written = row.saved ? WriteNewFile(path, picture, &error) : WriteFileAtomically(path, picture, false, &error);
    }
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dir.allFiles(), before);
    EXPECT_EQ(dir.read("ch01.jpg"), row.oldFile ? old : QByteArray());
}

const CutRow kCuts[] = {{"cache_first_picture", false, false, false},
                        {"cache_over_a_picture", false, true, false},
                        {"cache_over_a_picture_and_its_spare", false, true, true},
                        {"saved_picture", true, false, false}};
VANTORA_ROWS(CutWriteTest, kCuts);

TEST(WriteNewFile, MakesTheFileReadableLikeAnyOtherAndLeavesNothingElse) {
    TempProgramDir dir;
    ASSERT_TRUE(WriteNewFile(dir.file("20240102_030405.jpg"), "picture"));
    EXPECT_EQ(dir.read("20240102_030405.jpg"), "picture");
    EXPECT_EQ(dir.allFiles(), QStringList{"20240102_030405.jpg"});
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(QFileInfo(dir.file("20240102_030405.jpg")).permissions() & QFile::ReadOther,
              (mask & 0004) ? QFile::Permissions() : QFile::ReadOther);
    EXPECT_FALSE(WriteNewFile(dir.file("no/such/folder/x.jpg"), "x"));
}

// Folder (and cache file) names of IDs: today's name wherever every file
// system takes it, or where a folder of that name was made before; else one
// every file system takes, distinct per ID.
struct FolderRow {
    const char* name;
    QString id;
    QString suffix;
    QString existing;  // an entry in the folder before
    QString expected;  // exactly, or the part before "~" and a 12-digit hash
};
class FolderNameTest : public ::testing::TestWithParam<FolderRow> {};

QString folderName(const FolderRow& row, const TempProgramDir& dir) {
    return FileNameIn(dir.path(), row.id, row.suffix);
}

TEST_P(FolderNameTest, LegalEverywhereAndKeptWhereItWorks) {
    const FolderRow& row = GetParam();
    TempProgramDir dir;
    if (!row.existing.isEmpty()) {
        ASSERT_TRUE(QDir(dir.path()).mkdir(row.existing));
    }
    const QString name = folderName(row, dir);
    if (row.expected.endsWith('~')) {
        EXPECT_TRUE(name.startsWith(row.expected)) << name.toStdString();
        EXPECT_TRUE(QRegularExpression("^[0-9a-f]{12}" + QRegularExpression::escape(row.suffix) + "$")
                        .match(name.mid(row.expected.size()))
                        .hasMatch())
            << name.toStdString();
        EXPECT_FALSE(name.contains(QRegularExpression(R"([:?*<>"|])"))) << name.toStdString();
    } else {
        EXPECT_EQ(name, row.expected);
    }
    EXPECT_TRUE(QDir(dir.path()).mkdir(name) || name == row.existing);
}

// "x" and a byte that did not decode, as the list reader keeps it.
QString undecodable(char16_t byte) { return QStringLiteral("x") + QChar(char16_t(0xDC00 + byte)); }

const FolderRow kFolders[] = {
    {"plain", "ch01", "", "", "ch01"},
    {"dotted", "jp.tokyo.cam-1", "", "", "jp.tokyo.cam-1"},
    {"japanese", "放送局", "", "", "放送局"},
    {"unsafe_as_before", "../x", "", "", ".._x"},
    {"colon", "jp:cam", "", "", "jp_cam~"},
    {"every_refused_character", R"(a:b?c*d<e>f"g|h)", "", "", "a_b_c_d_e_f_g_h~"},
    {"colon_whose_folder_exists", "jp:cam", "", "jp:cam", "jp:cam"},
    {"final_dot", "cam.", "", "", "cam.~"},
    {"final_space", "cam ", "", "", "cam ~"},
    {"final_dot_with_a_suffix", "cam.", "_thumbnail.jpg", "", "cam._thumbnail.jpg"},
    {"colon_with_a_suffix", "jp:cam", ".jpg", "", "jp_cam~"},
    {"undecodable_80", undecodable(0x80), "", "", "x_~"},
    {"undecodable_FD", undecodable(0xFD), "", "", "x_~"},
    {"undecodable_where_the_shared_folder_exists", undecodable(0x80), "", QStringLiteral("x\uFFFD"), "x_~"},
};
VANTORA_ROWS(FolderNameTest, kFolders);

TEST(FolderName, EveryIDOfTheTableGetsItsOwnFolder) {
    TempProgramDir dir;
    QSet<QString> names;
    QSet<QString> ids;
    for (const FolderRow& row : kFolders) {
        if (!row.existing.isEmpty() || ids.contains(row.id + row.suffix)) continue;
        ids.insert(row.id + row.suffix);
        names.insert(folderName(row, dir));
    }
    EXPECT_EQ(names.size(), ids.size());
}

}  // namespace
