#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/IniFile.h"
#include "common/mdlFunction.h"

using namespace mdlFunction;

namespace {

TEST(Ini, JapaneseValuesAndLongPathsRoundTripInCp932) {
    TempProgramDir dir;
    const QString jp = QStringLiteral("C:\\画像\\保存先～①\\");
    QString longPath = QStringLiteral("/home/user");
    while (longPath.size() < 600) longPath += QStringLiteral("/長いフォルダー名");
    EXPECT_TRUE(SetIni("General", "PictureSaveDirctory", jp));  // the first write creates the file
    EXPECT_TRUE(SetIni("General", "ChachDirctory", longPath));
    EXPECT_EQ(GetIni("General", "PictureSaveDirctory", IniText).toString(), jp);
    EXPECT_EQ(GetIni("General", "ChachDirctory", IniText).toString(), longPath);
    const QByteArray raw = dir.read("Vantomon.ini");
    EXPECT_TRUE(raw.startsWith("[General]\r\n"));
    EXPECT_TRUE(raw.contains(Cp932::encode(jp)));
}

TEST(Ini, UpdatingOneKeyKeepsEverythingElse) {
    TempProgramDir dir;
    const QByteArray original =
        "; written by hand\r\n[MainWindow]\r\nWidth=9630\r\nHeight=6015 ; not a comment for the reader\r\n\r\n"
        "[General]\r\n; the proxy\r\nProxy=proxy:8080\r\nTimeout=60\r\n\r\n"
        "[Other]\r\nx=\x82\xA0\x80\r\n";  // a byte that is not CP932 must survive untouched
    dir.write("Vantomon.ini", original);
    EXPECT_TRUE(SetIni("general", "TIMEOUT", 30));
    EXPECT_EQ(dir.read("Vantomon.ini"), QByteArray(original).replace("Timeout=60", "TIMEOUT=30"));
    // A new key goes after the last entry of its section, a new section at the end.
    EXPECT_TRUE(SetIni("MainWindow", "Style", 2));
    EXPECT_TRUE(SetIni("Extra", "Flag", true));
    const QByteArray raw = dir.read("Vantomon.ini");
    EXPECT_TRUE(raw.contains("Height=6015 ; not a comment for the reader\r\nStyle=2\r\n\r\n[General]"));
    EXPECT_TRUE(raw.endsWith("x=\x82\xA0\x80\r\n\r\n[Extra]\r\nFlag=True\r\n"));
}

// The lenient numeric reading itself is tested with Numeric; here GetIni must
// use it for each type and fall back to the default.
TEST(Ini, LookupIgnoresCaseAndQuotesConvertsAndGivesDefaults) {
    TempProgramDir dir;
    EXPECT_EQ(GetIni("General", "Timeout", IniInteger, 60).toInt(), 60);  // no file
    dir.write("Vantomon.ini",
              "[GENERAL]\r\n  proxy  =  \"host:80\"  \r\nTimeout=\r\nOther=1\r\nTrueText=tRUE\r\nZero=0\r\n"
              "Half=2.5\r\nOdd=3.5\r\nLetters=abc\r\nHuge=99999999999\r\nDbl=12.25\r\n");
    EXPECT_EQ(GetIni("general", "PROXY", IniText).toString(), QStringLiteral("host:80"));
    EXPECT_TRUE(GetIni("General", "TrueText", IniBoolean).toBool());
    EXPECT_FALSE(GetIni("General", "Zero", IniBoolean, true).toBool());
    EXPECT_EQ(GetIni("General", "Half", IniInteger).toInt(), 2);  // halves to even
    EXPECT_EQ(GetIni("General", "Odd", IniInteger).toInt(), 4);
    EXPECT_DOUBLE_EQ(GetIni("General", "Dbl", IniDouble).toDouble(), 12.25);
    EXPECT_EQ(GetIni("General", "Letters", IniText, "x").toString(), QStringLiteral("abc"));
    // An empty value, no key, no section, or a value that does not convert
    // gives the key's default...
    EXPECT_EQ(GetIni("General", "Timeout", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIni("General", "Missing", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIni("Nowhere", "Other", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIni("General", "Letters", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIni("General", "Huge", IniInteger, 60).toInt(), 60);
    EXPECT_TRUE(GetIni("General", "Letters", IniBoolean, true).toBool());
    // ...and without one the zero of each type.
    EXPECT_EQ(GetIni("General", "Missing", IniInteger).toInt(), 0);
    EXPECT_EQ(GetIni("General", "Missing", IniDouble).toDouble(), 0.0);
    EXPECT_EQ(GetIni("General", "Missing", IniText).toString(), QString());
    EXPECT_EQ(GetIni("General", "Missing", IniBoolean).toBool(), false);
    EXPECT_EQ(GetIni("General", "Other", 7).toInt(), 0);  // unknown type
}

TEST(Ini, UnreadableFilesAreNeverReplacedAndUtf8FilesStayUtf8) {
    TempProgramDir dir;
    // A directory where the file should be: reading fails, so writing must too.
    QDir().mkpath(dir.file("Vantomon.ini"));
    EXPECT_FALSE(SetIni("General", "Timeout", 5));
    EXPECT_TRUE(QFileInfo(dir.file("Vantomon.ini")).isDir());
    QDir(dir.file("Vantomon.ini")).removeRecursively();

    dir.write("Vantomon.ini", QStringLiteral("[General]\nPictureSaveDirctory=/home/ユーザー/保存/\n").toUtf8());
    EXPECT_EQ(GetIni("General", "PictureSaveDirctory", IniText).toString(), QStringLiteral("/home/ユーザー/保存/"));
    SetIni("General", "Timeout", 5);
    EXPECT_EQ(dir.read("Vantomon.ini"),
              QStringLiteral("[General]\r\nPictureSaveDirctory=/home/ユーザー/保存/\r\nTimeout=5\r\n").toUtf8());
}

}  // namespace
