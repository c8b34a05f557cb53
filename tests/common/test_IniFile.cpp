#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/IniFile.h"
#include "common/mdlFunction.h"

using namespace mdlFunction;

namespace {

TEST(Ini, JapaneseValuesAndLongPathsRoundTripInCp932) {
    TempProgramDir dir;
    const QString ini = dir.file("Vantomon.ini");
    const QString jp = QStringLiteral("C:\\画像\\保存先～①\\");
    QString longPath = QStringLiteral("/home/user");
    while (longPath.size() < 600) longPath += QStringLiteral("/長いフォルダー名");
    EXPECT_TRUE(SetIniTo(ini, "General", "PictureSaveDirctory", jp));  // the first write creates the file
    EXPECT_TRUE(SetIniTo(ini, "General", "ChachDirctory", longPath));
    EXPECT_EQ(GetIniFrom(ini, "General", "PictureSaveDirctory", IniText).toString(), jp);
    EXPECT_EQ(GetIniFrom(ini, "General", "ChachDirctory", IniText).toString(), longPath);
    const QByteArray raw = dir.read("Vantomon.ini");
    EXPECT_TRUE(raw.startsWith("[General]\r\n"));
    EXPECT_TRUE(raw.contains(Cp932::encode(jp)));
}

TEST(Ini, UpdatingOneKeyKeepsEverythingElse) {
    TempProgramDir dir;
    const QString ini = dir.file("Vantomon.ini");
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

// The lenient numeric reading itself is tested with Numeric; here GetIniFrom must
// use it for each type and fall back to the default.
TEST(Ini, LookupIgnoresCaseAndQuotesConvertsAndGivesDefaults) {
    TempProgramDir dir;
    const QString ini = dir.file("Vantomon.ini");
    EXPECT_EQ(GetIniFrom(ini, "General", "Timeout", IniInteger, 60).toInt(), 60);  // no file
    dir.write("Vantomon.ini",
              "[GENERAL]\r\n  proxy  =  \"host:80\"  \r\nTimeout=\r\nOther=1\r\nTrueText=tRUE\r\nZero=0\r\n"
              "Half=2.5\r\nOdd=3.5\r\nLetters=abc\r\nHuge=99999999999\r\nDbl=12.25\r\n");
    EXPECT_EQ(GetIniFrom(ini, "general", "PROXY", IniText).toString(), QStringLiteral("host:80"));
    EXPECT_TRUE(GetIniFrom(ini, "General", "TrueText", IniBoolean).toBool());
    EXPECT_FALSE(GetIniFrom(ini, "General", "Zero", IniBoolean, true).toBool());
    EXPECT_EQ(GetIniFrom(ini, "General", "Half", IniInteger).toInt(), 2);  // halves to even
    EXPECT_EQ(GetIniFrom(ini, "General", "Odd", IniInteger).toInt(), 4);
    EXPECT_DOUBLE_EQ(GetIniFrom(ini, "General", "Dbl", IniDouble).toDouble(), 12.25);
    EXPECT_EQ(GetIniFrom(ini, "General", "Letters", IniText, "x").toString(), QStringLiteral("abc"));
    // An empty value, no key, no section, or a value that does not convert
    // gives the key's default...
    EXPECT_EQ(GetIniFrom(ini, "General", "Timeout", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIniFrom(ini, "General", "Missing", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIniFrom(ini, "Nowhere", "Other", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIniFrom(ini, "General", "Letters", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIniFrom(ini, "General", "Huge", IniInteger, 60).toInt(), 60);
    EXPECT_TRUE(GetIniFrom(ini, "General", "Letters", IniBoolean, true).toBool());
    // ...and without one the zero of each type.
    EXPECT_EQ(GetIniFrom(ini, "General", "Missing", IniInteger).toInt(), 0);
    EXPECT_EQ(GetIniFrom(ini, "General", "Missing", IniDouble).toDouble(), 0.0);
    EXPECT_EQ(GetIniFrom(ini, "General", "Missing", IniText).toString(), QString());
    EXPECT_EQ(GetIniFrom(ini, "General", "Missing", IniBoolean).toBool(), false);
    EXPECT_EQ(GetIniFrom(ini, "General", "Other", 7).toInt(), 0);  // unknown type
}

TEST(Ini, UnreadableFilesAreNeverReplacedAndUtf8FilesStayUtf8) {
    TempProgramDir dir;
    const QString ini = dir.file("Vantomon.ini");
    // A directory where the file should be: reading fails, so writing must too.
    QDir().mkpath(dir.file("Vantomon.ini"));
    EXPECT_FALSE(SetIniTo(ini, "General", "Timeout", 5));
    EXPECT_TRUE(QFileInfo(dir.file("Vantomon.ini")).isDir());
    QDir(dir.file("Vantomon.ini")).removeRecursively();

    dir.write("Vantomon.ini", QStringLiteral("[General]\nPictureSaveDirctory=/home/ユーザー/保存/\n").toUtf8());
    EXPECT_EQ(GetIniFrom(ini, "General", "PictureSaveDirctory", IniText).toString(),
              QStringLiteral("/home/ユーザー/保存/"));
    SetIniTo(ini, "General", "Timeout", 5);
    EXPECT_EQ(dir.read("Vantomon.ini"),
              QStringLiteral("[General]\r\nPictureSaveDirctory=/home/ユーザー/保存/\r\nTimeout=5\r\n").toUtf8());
}

}  // namespace
