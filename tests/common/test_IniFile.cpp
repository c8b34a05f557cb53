#include "Rows.h"
#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/IniFile.h"
#include "common/mdlFunction.h"

using namespace mdlFunction;

namespace {

TEST(Ini, UpdatingOneKeyKeepsEverythingElse) {
    TempProgramDir dir;
    const QString ini = dir.file("Vantomon.ini");
    const QString jp = QStringLiteral("C:\\画像\\保存先～①\\");
    EXPECT_TRUE(SetIniTo(ini, "General", "PictureSaveDirctory", jp));  // the first write creates the file
    EXPECT_EQ(dir.read("Vantomon.ini"), "[General]\r\nPictureSaveDirctory=" + Cp932::encode(jp) + "\r\n");
    EXPECT_EQ(GetIniFrom(ini, "General", "PictureSaveDirctory", IniText).toString(), jp);
    const QByteArray original =
        "; written by hand\r\n[MainWindow]\r\nWidth=9630\r\nHeight=6015 ; not a comment for the reader\r\n\r\n"
        "[General]\r\n; the proxy\r\nProxy=proxy:8080\r\nTimeout=60\r\n\r\n"
        "[Other]\r\nx=\x82\xA0\x80\r\n";  // a byte that is not CP932 must survive untouched
    dir.write("Vantomon.ini", original);
    EXPECT_TRUE(SetIniTo(ini, "general", "TIMEOUT", 30));
    EXPECT_EQ(dir.read("Vantomon.ini"), QByteArray(original).replace("Timeout=60", "TIMEOUT=30"));
    // A new key goes after the last entry of its section, a new section at the end.
    EXPECT_TRUE(SetIniTo(ini, "MainWindow", "Style", 2));
    EXPECT_TRUE(SetIniTo(ini, "Extra", "Flag", true));
    const QByteArray raw = dir.read("Vantomon.ini");
    EXPECT_TRUE(raw.contains("Height=6015 ; not a comment for the reader\r\nStyle=2\r\n\r\n[General]"));
    EXPECT_TRUE(raw.endsWith("x=\x82\xA0\x80\r\n\r\n[Extra]\r\nFlag=True\r\n"));
}

// A lookup: section, key, type and default, and the value read. Sections and
// keys ignore case and quotes; what does not convert gives the default, and
// without one the zero of the type.
struct LookupRow {
    const char *name, *section, *key;
    int type;
    QVariant fallback, expected;
};
class IniLookupTest : public ::testing::TestWithParam<LookupRow> {};

TEST_P(IniLookupTest, ReadsConvertsOrGivesTheDefault) {
    const LookupRow& r = GetParam();
    TempProgramDir dir;
    dir.write("Vantomon.ini",
              "[GENERAL]\r\n  proxy  =  \"host:80\"  \r\nTimeout=\r\nOther=1\r\nTrueText=tRUE\r\n"
              "Letters=abc\r\nDbl=12.25\r\n");
    EXPECT_EQ(GetIniFrom(dir.file("Vantomon.ini"), r.section, r.key, r.type, r.fallback), r.expected);
}

// clang-format off
const LookupRow kLookups[] = {
    {"quoted_text", "general", "PROXY", IniText, {}, QStringLiteral("host:80")},
    {"boolean_word", "General", "TrueText", IniBoolean, {}, true},
    {"double", "General", "Dbl", IniDouble, {}, 12.25},
    {"empty_value", "General", "Timeout", IniInteger, 60, 60}, {"no_section", "Nowhere", "Other", IniInteger, 60, 60},
    {"letters_as_integer", "General", "Letters", IniInteger, 60, 60},
    {"integer_zero", "General", "Missing", IniInteger, {}, 0},
    {"text_zero", "General", "Missing", IniText, {}, QString()},
    {"unknown_type", "General", "Other", 7, {}, 0}};
// clang-format on
VANTORA_ROWS(IniLookupTest, kLookups);

TEST(Ini, UnreadableFilesAreNeverReplacedAndUtf8FilesStayUtf8) {
    TempProgramDir dir;
    const QString ini = dir.file("Vantomon.ini");
    EXPECT_EQ(GetIniFrom(ini, "General", "Timeout", IniInteger, 60).toInt(), 60);  // no file
    // A directory where the file should be: reading fails, so writing must too.
    QDir().mkpath(ini);
    EXPECT_FALSE(SetIniTo(ini, "General", "Timeout", 5));
    EXPECT_TRUE(QFileInfo(ini).isDir());
    QDir(ini).removeRecursively();

    dir.write("Vantomon.ini", QStringLiteral("[General]\nPictureSaveDirctory=/home/ユーザー/保存/\n").toUtf8());
    EXPECT_EQ(GetIniFrom(ini, "General", "PictureSaveDirctory", IniText).toString(),
              QStringLiteral("/home/ユーザー/保存/"));
    SetIniTo(ini, "General", "Timeout", 5);
    EXPECT_EQ(dir.read("Vantomon.ini"),
              QStringLiteral("[General]\r\nPictureSaveDirctory=/home/ユーザー/保存/\r\nTimeout=5\r\n").toUtf8());
}

}  // namespace
