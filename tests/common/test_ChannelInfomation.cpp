#include <gtest/gtest.h>

#include "JpegFactory.h"
#include "channel/ChannelInfomation.h"

namespace {

const char* kInfo =
    "ProtocolSignature=VNT1\n"
    "ChannelID=ch01\n"
    "ChannelName=テスト局\n"
    "ChannelNumber=12\n"
    "URL=http://h/ch01.jpg\n"
    "ThumbnailURL=http://h/ch01_s.jpg\n"
    "ReloadTime=30\n"
    "CommentforChannel=a=b comment\n"
    "StatusFlag=1\n"
    "BroadCastStartTime=2002/10/05 12:00:00\n"
    "Last-Modified=2002/10/05 12:34:56\n";

TEST(AnalyzeInfomationFile, LfAndCrLfGiveTheSameFields) {
    ChannelInfomation lf, crlf;
    EXPECT_TRUE(AnalyzeInfomationFile(QString::fromUtf8(kInfo), lf));
    QString text = QString::fromUtf8(kInfo);
    text.replace("\n", "\r\n\r\n   \r\n");  // blank lines and lines of spaces too
    EXPECT_TRUE(AnalyzeInfomationFile(text, crlf));
    for (const ChannelInfomation* i : {&lf, &crlf}) {
        EXPECT_EQ(i->ProtocolSignature, "VNT1");
        EXPECT_EQ(i->ChannelID, "ch01");
        EXPECT_EQ(i->ChannelName, QStringLiteral("テスト局"));
        EXPECT_EQ(i->ChannelNumber, "12");
        EXPECT_EQ(i->URL, "http://h/ch01.jpg");
        EXPECT_EQ(i->ThumbnailURL, "http://h/ch01_s.jpg");
        EXPECT_EQ(i->ReloadTime, 30);
        EXPECT_EQ(i->CommentforChannel, "a=b comment");  // value keeps later "="
        EXPECT_EQ(i->StatusFlag, 1);
        EXPECT_EQ(i->BroadCastStartTime, "2002/10/05 12:00:00");
        EXPECT_EQ(i->LastModified, "2002/10/05 12:34:56");
    }
}

TEST(AnalyzeInfomationFile, KeysIgnoreCaseAndSpacesBeforeTheEqualsSign) {
    ChannelInfomation info;
    const QString text = QStringLiteral(
        "protocolsignature=P\r\n  channelid   =x\r\nurl  = http://h/a.jpg\r\nRELOADTIME=5\r\nlast-modified=t\r\n");
    EXPECT_TRUE(AnalyzeInfomationFile(text, info));
    EXPECT_EQ(info.URL, " http://h/a.jpg");  // a space after "=" belongs to the value
    EXPECT_EQ(info.ChannelID, "x");
    // A lone CR does not end a line: the URL line swallows the next key.
    ChannelInfomation cr;
    EXPECT_FALSE(AnalyzeInfomationFile(QStringLiteral("ProtocolSignature=P\rChannelID=x\nURL=u\nReloadTime=1\nLast-Modified=t"), cr));
    EXPECT_EQ(cr.ProtocolSignature, "P\rChannelID=x");
}

TEST(AnalyzeInfomationFile, NonNumericValuesAndMissingKeysKeepEarlierValues) {
    ChannelInfomation info;
    ASSERT_TRUE(AnalyzeInfomationFile(QString::fromUtf8(kInfo), info));
    // Letters in ReloadTime still count as present; the old value stays.
    EXPECT_TRUE(AnalyzeInfomationFile(
        "ProtocolSignature=P\nChannelID=c\nURL=u\nReloadTime=soon\nLast-Modified=t\nStatusFlag=x\n", info));
    EXPECT_EQ(info.ReloadTime, 30);
    EXPECT_EQ(info.StatusFlag, 1);
    EXPECT_EQ(info.ThumbnailURL, "http://h/ch01_s.jpg");  // not in the second file
    // A file that fails still leaves what it carried.
    EXPECT_FALSE(AnalyzeInfomationFile("URL=v\nStatusFlag=2\nReloadTime=99999999999\n", info));
    EXPECT_EQ(info.URL, "v");
    EXPECT_EQ(info.StatusFlag, 2);
    EXPECT_EQ(info.ReloadTime, 30);  // out of the 32-bit range is not a number
}

TEST(AnalyzeInfomationFile, StatusRoundsHalvesToEvenAndDefaultsToZero) {
    ChannelInfomation fresh;
    EXPECT_TRUE(AnalyzeInfomationFile("ProtocolSignature=P\nChannelID=c\nURL=u\nReloadTime=1\nLast-Modified=t\n", fresh));
    EXPECT_EQ(fresh.StatusFlag, 0);
    ChannelInfomation a, b;
    AnalyzeInfomationFile("StatusFlag=1.5", a);
    AnalyzeInfomationFile("StatusFlag=2.5", b);
    EXPECT_EQ(a.StatusFlag, 2);
    EXPECT_EQ(b.StatusFlag, 2);
    // The last of two occurrences wins; a file without "=" lines fails.
    ChannelInfomation twice;
    AnalyzeInfomationFile("URL=first\nURL=second", twice);
    EXPECT_EQ(twice.URL, "second");
    EXPECT_FALSE(AnalyzeInfomationFile(QString(), twice));
    EXPECT_FALSE(AnalyzeInfomationFile(QString(100000, QChar(u'x')), twice));
}

// ---------------------------------------------------------------------------

QByteArray bytes(std::initializer_list<int> list) {
    QByteArray b;
    for (int v : list) b.append(char(v));
    return b;
}

TEST(AnalyzePicture, RecordOfFiveFieldsIsTaken) {
    const QByteArray jpeg = JpegFactory::withRecord(JpegFactory::make(64, 48), 1, 30,
                                                    QStringLiteral("2002/10/05 12:34:56"), QStringLiteral("休止中です"));
    PictureInfomation p;
    EXPECT_EQ(AnalyzePicture(jpeg, p), ".jpg");
    EXPECT_EQ(p.Status, 1);
    EXPECT_EQ(p.ReloadTime, 30);
    EXPECT_EQ(p.Stamp, "2002/10/05 12:34:56");
    EXPECT_EQ(p.Comment, QStringLiteral("休止中です"));
}

TEST(AnalyzePicture, OtherRecordsLeaveTheResetValues) {
    const QByteArray plain = JpegFactory::make(32, 24);
    for (const QString& payload : {QStringLiteral("a,1,30,stamp"), QStringLiteral("a,x,30,s,c"),
                                   QStringLiteral("a,1,30,s,c,extra"), QString(),
                                   QStringLiteral("a,1,99999999999,s,c")}) {
        PictureInfomation p{0, 7, "old", "old"};
        EXPECT_EQ(AnalyzePicture(JpegFactory::withApp5(plain, payload), p), ".jpg") << payload.toStdString();
        EXPECT_EQ(p.Status, 3);
        EXPECT_EQ(p.ReloadTime, -1);
        EXPECT_TRUE(p.Stamp.isEmpty());
        EXPECT_TRUE(p.Comment.isEmpty());
    }
    PictureInfomation none;
    EXPECT_EQ(AnalyzePicture(plain, none), ".jpg");  // no APP5: accepted at FF D9
    EXPECT_EQ(none.Status, 3);
    EXPECT_EQ(none.ReloadTime, -1);
    // Spaces around fields are trimmed; empty fields are kept.
    PictureInfomation spaced;
    AnalyzePicture(JpegFactory::withApp5(plain, QStringLiteral(" a , 0 , 2.5 , , c ")), spaced);
    EXPECT_EQ(spaced.Status, 0);
    EXPECT_EQ(spaced.ReloadTime, 2);
    EXPECT_EQ(spaced.Stamp, "");
    EXPECT_EQ(spaced.Comment, "c");
}

TEST(AnalyzePicture, RejectsWhatIsNotAWholeJpegStream) {
    const QByteArray good = JpegFactory::make(32, 24);
    PictureInfomation p;
    EXPECT_EQ(AnalyzePicture(QByteArray(), p), "");
    EXPECT_EQ(AnalyzePicture(QByteArray(1, '\0'), p), "");  // the body of a response without pieces
    EXPECT_EQ(AnalyzePicture(good + "x", p), "");            // does not end in FF D9
    EXPECT_EQ(AnalyzePicture(good.mid(1), p), "");           // does not start with FF D8
    EXPECT_EQ(AnalyzePicture(good.left(good.size() / 2) + bytes({0xFF, 0xD9}), p), "");  // truncated scan
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xD9}), p), ".jpg");
}

TEST(AnalyzePicture, LyingLengthsAndEndlessScansNeverReadPastTheBody) {
    PictureInfomation p;
    // A segment length pointing far past the end.
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xF0, 0x00, 0xFF, 0xD9}), p), "");
    // An APP5 length past the end, and one below 2.
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xE5, 0x40, 0x00, 'a', 0xFF, 0xD9}), p), "");
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xE5, 0x00, 0x01, 0xFF, 0xD9}), p), "");
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00, 0xFF, 0xD9}), p), "");
    // A start of scan whose data never reaches a marker before the end:
    // FF D9 at the end sits at the very last byte pair and ends the scan.
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xDA, 0x12, 0xFF, 0x00, 0xFF, 0xD9}), p), ".jpg");
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xDA, 0x12, 0xFF, 0xD9}), p), ".jpg");
    // A length that walks onto the final byte alone.
    EXPECT_EQ(AnalyzePicture(bytes({0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x03, 0xFF, 0xD9}), p), "");
    // Every prefix of a real picture with FF D9 appended: no crash.
    const QByteArray good = JpegFactory::withRecord(JpegFactory::make(40, 30), 0, 5, "s", "c");
    for (qsizetype cut = 2; cut < good.size(); cut += 7) AnalyzePicture(good.left(cut) + bytes({0xFF, 0xD9}), p);
}

}  // namespace
