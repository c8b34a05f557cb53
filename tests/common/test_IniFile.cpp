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
    EXPECT_TRUE(SetIni("General", "PictureSaveDirctory", jp));
    EXPECT_TRUE(SetIni("General", "ChachDirctory", longPath));
    EXPECT_EQ(GetIni("General", "PictureSaveDirctory", IniText).toString(), jp);
    EXPECT_EQ(GetIni("General", "ChachDirctory", IniText).toString(), longPath);
    const QByteArray raw = dir.read("Vantomon.ini");
    EXPECT_TRUE(raw.contains(Cp932::encode(jp)));
    EXPECT_TRUE(raw.contains("\r\n"));
    EXPECT_TRUE(raw.startsWith("[General]\r\n"));
}

TEST(Ini, UpdatingOneKeyKeepsEverythingElse) {
    TempProgramDir dir;
    const QByteArray original =
        "; written by hand\r\n"
        "[MainWindow]\r\n"
        "Width=9630\r\n"
        "Height=6015 ; not a comment for the reader\r\n"
        "\r\n"
        "[General]\r\n"
        "; the proxy\r\n"
        "Proxy=proxy:8080\r\n"
        "Timeout=60\r\n"
        "\r\n"
        "[Other]\r\n"
        "x=\x82\xA0\x80\r\n";  // a byte that is not CP932 must survive untouched
    dir.write("Vantomon.ini", original);
    EXPECT_TRUE(SetIni("general", "TIMEOUT", 30));
    QByteArray expected = original;
    expected.replace("Timeout=60", "TIMEOUT=30");
    EXPECT_EQ(dir.read("Vantomon.ini"), expected);

    // A new key goes after the last entry of its section, a new section at the end.
    EXPECT_TRUE(SetIni("MainWindow", "Style", 2));
    EXPECT_TRUE(SetIni("Extra", "Flag", true));
    const QString text = Cp932::decode(dir.read("Vantomon.ini"));
    EXPECT_TRUE(text.contains("Height=6015 ; not a comment for the reader\r\nStyle=2\r\n\r\n[General]"));
    EXPECT_TRUE(dir.read("Vantomon.ini").endsWith("x=\x82\xA0\x80\r\n\r\n[Extra]\r\nFlag=True\r\n"));
}

TEST(Ini, LookupIgnoresCaseAndQuotes) {
    TempProgramDir dir;
    dir.write("Vantomon.ini", "[GENERAL]\r\n  proxy  =  \"host:80\"  \r\nEmpty=\r\n");
    EXPECT_EQ(GetIni("General", "Proxy", IniText).toString(), QStringLiteral("host:80"));
    EXPECT_EQ(GetIni("general", "PROXY", IniText).toString(), QStringLiteral("host:80"));
}

TEST(Ini, DefaultsForMissingFileSectionKeyAndEmptyValue) {
    TempProgramDir dir;
    EXPECT_EQ(GetIni("General", "Timeout", IniInteger, 60).toInt(), 60);  // no file
    dir.write("Vantomon.ini", "[General]\r\nTimeout=\r\nOther=1\r\n");
    EXPECT_EQ(GetIni("General", "Timeout", IniInteger, 60).toInt(), 60);  // empty value
    EXPECT_EQ(GetIni("General", "Missing", IniInteger, 60).toInt(), 60);  // no key
    EXPECT_EQ(GetIni("Nowhere", "Other", IniInteger, 60).toInt(), 60);    // no section
    // Without a default: the zero of each type.
    EXPECT_EQ(GetIni("General", "Missing", IniInteger).toInt(), 0);
    EXPECT_EQ(GetIni("General", "Missing", IniDouble).toDouble(), 0.0);
    EXPECT_EQ(GetIni("General", "Missing", IniText).toString(), QString());
    EXPECT_EQ(GetIni("General", "Missing", IniBoolean).toBool(), false);
    EXPECT_EQ(GetIni("General", "Missing", IniText, QString()).toString(), QString());
    EXPECT_EQ(GetIni("General", "Other", 7).toInt(), 0);  // unknown type
}

TEST(Ini, ConversionsOfStoredTexts) {
    TempProgramDir dir;
    dir.write("Vantomon.ini",
              "[G]\r\nMinus=-1\r\nTrueText=tRUE\r\nZero=0\r\nHalf=2.5\r\nOdd=3.5\r\nLetters=abc\r\n"
              "Huge=99999999999\r\nDbl=12.25\r\n");
    EXPECT_TRUE(GetIni("G", "Minus", IniBoolean).toBool());
    EXPECT_TRUE(GetIni("G", "TrueText", IniBoolean).toBool());
    EXPECT_FALSE(GetIni("G", "Zero", IniBoolean, true).toBool());
    EXPECT_EQ(GetIni("G", "Half", IniInteger).toInt(), 2);
    EXPECT_EQ(GetIni("G", "Odd", IniInteger).toInt(), 4);
    EXPECT_DOUBLE_EQ(GetIni("G", "Dbl", IniDouble).toDouble(), 12.25);
    // A value that does not convert gives the key's default.
    EXPECT_EQ(GetIni("G", "Letters", IniInteger, 60).toInt(), 60);
    EXPECT_EQ(GetIni("G", "Huge", IniInteger, 60).toInt(), 60);
    EXPECT_TRUE(GetIni("G", "Letters", IniBoolean, true).toBool());
    EXPECT_EQ(GetIni("G", "Letters", IniText, "x").toString(), QStringLiteral("abc"));
}

TEST(Ini, UnreadableFileIsNeverReplaced) {
    TempProgramDir dir;
    // A directory where the file should be: reading fails, so writing must too.
    QDir().mkpath(dir.file("Vantomon.ini"));
    EXPECT_FALSE(SetIni("General", "Timeout", 5));
    EXPECT_TRUE(QFileInfo(dir.file("Vantomon.ini")).isDir());
}

TEST(Ini, Utf8FileStaysUtf8) {
    TempProgramDir dir;
    dir.write("Vantomon.ini", QStringLiteral("[General]\nPictureSaveDirctory=/home/ユーザー/保存/\n").toUtf8());
    EXPECT_EQ(GetIni("General", "PictureSaveDirctory", IniText).toString(), QStringLiteral("/home/ユーザー/保存/"));
    SetIni("General", "Timeout", 5);
    EXPECT_EQ(dir.read("Vantomon.ini"),
              QStringLiteral("[General]\r\nPictureSaveDirctory=/home/ユーザー/保存/\r\nTimeout=5\r\n").toUtf8());
}

}  // namespace
