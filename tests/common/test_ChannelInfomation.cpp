#include <gtest/gtest.h>

#include "JpegFactory.h"
#include "channel/ChannelInfomation.h"

namespace {

const QString kInfo = QStringLiteral(
    "ProtocolSignature=VNT1\nChannelID=ch01\nChannelName=テスト局\nChannelNumber=12\nURL=http://h/ch01.jpg\n"
    "ThumbnailURL=http://h/ch01_s.jpg\nReloadTime=30\nCommentforChannel=a=b comment\nStatusFlag=1\n"
    "BroadCastStartTime=2002/10/05 12:00:00\nLast-Modified=2002/10/05 12:34:56\n");
const QString kRequired = QStringLiteral("ProtocolSignature=P\nChannelID=c\nURL=u\nLast-Modified=t\n");

// Every field in one line, so one comparison shows all differences.
std::string fields(const ChannelInfomation& i) {
    // clang-format off
    return QStringList{i.ProtocolSignature, i.ChannelID, i.ChannelName, i.ChannelNumber, i.URL, i.ThumbnailURL,
                       QString::number(i.ReloadTime), i.CommentforChannel, QString::number(i.StatusFlag),
                       i.BroadCastStartTime, i.LastModified}.join('|').toStdString();
    // clang-format on
}
std::string fields(const PictureInfomation& p) {
    return QStringLiteral("%1|%2|%3|%4").arg(p.Status).arg(p.ReloadTime).arg(p.Stamp, p.Comment).toStdString();
}

TEST(AnalyzeInfomationFile, LineEndsCaseAndSpacesAroundTheEqualsSign) {
    const std::string expected =
        ("VNT1|ch01|テスト局|12|http://h/ch01.jpg|http://h/ch01_s.jpg|30|a=b comment|1|2002/10/05 12:00:00|"
         "2002/10/05 12:34:56");  // the comment keeps its later "="
    // LF, CR LF with blank lines and lines of spaces give the same fields.
    for (const QString& text : {kInfo, QString(kInfo).replace("\n", "\r\n\r\n   \r\n")}) {
        ChannelInfomation info;
        EXPECT_TRUE(AnalyzeInfomationFile(text, info));
        EXPECT_EQ(fields(info), expected);
    }
    ChannelInfomation info;
    EXPECT_TRUE(AnalyzeInfomationFile(QStringLiteral("protocolsignature=P\r\n  channelid   =x\r\nurl  = http://h/a.jpg"
                                                     "\r\nRELOADTIME=5\r\nlast-modified=t\r\n"),
                                      info));
    EXPECT_EQ(fields(info), "P|x||| http://h/a.jpg||5||0||t");  // a space after "=" belongs to the value
    // A lone CR does not end a line: the first line swallows the next key.
    ChannelInfomation cr;
    EXPECT_FALSE(AnalyzeInfomationFile("ProtocolSignature=P\rChannelID=x\nURL=u\nReloadTime=1\nLast-Modified=t", cr));
    EXPECT_EQ(cr.ProtocolSignature, "P\rChannelID=x");
}

TEST(AnalyzeInfomationFile, NonNumericValuesAndMissingKeysKeepEarlierValues) {
    ChannelInfomation info;
    ASSERT_TRUE(AnalyzeInfomationFile(kInfo, info));
    // Letters in ReloadTime still count as present; the old value stays, as
    // does ThumbnailURL, which the second file lacks.
    EXPECT_TRUE(AnalyzeInfomationFile(kRequired + "ReloadTime=soon\nStatusFlag=x\n", info));
    EXPECT_EQ(fields(info), "P|c|テスト局|12|u|http://h/ch01_s.jpg|30|a=b comment|1|2002/10/05 12:00:00|t");
    // A file that fails still leaves what it carried; beyond 32 bits is not a number.
    EXPECT_FALSE(AnalyzeInfomationFile("URL=v\nStatusFlag=2\nReloadTime=99999999999\n", info));
    EXPECT_EQ(fields(info), "P|c|テスト局|12|v|http://h/ch01_s.jpg|30|a=b comment|2|2002/10/05 12:00:00|t");
    EXPECT_FALSE(AnalyzeInfomationFile(QString(), info));
    EXPECT_FALSE(AnalyzeInfomationFile(QString(100000, QChar(u'x')), info));
}

TEST(AnalyzeInfomationFile, StatusRoundsHalvesToEvenAndTheLastOccurrenceWins) {
    for (const char* status : {"", "StatusFlag=1.5\n", "StatusFlag=2.5\n", "StatusFlag=9\nStatusFlag=2\n"}) {
        SCOPED_TRACE(status);
        ChannelInfomation info;
        EXPECT_TRUE(AnalyzeInfomationFile(kRequired + "ReloadTime=1\n" + status, info));
        EXPECT_EQ(info.StatusFlag, *status ? 2 : 0);
    }
}

TEST(AnalyzePicture, TheRecordOfFiveFieldsIsTakenAndAnyOtherIgnored) {
    const QByteArray plain = JpegFactory::make(32, 24);
    PictureInfomation p;
    EXPECT_EQ(
        AnalyzePicture(JpegFactory::withRecord(plain, 1, 30, "2002/10/05 12:34:56", QStringLiteral("休止中です")), p),
        ".jpg");
    EXPECT_EQ(fields(p), "1|30|2002/10/05 12:34:56|休止中です");
    // Spaces around fields are trimmed; empty fields are kept.
    EXPECT_EQ(AnalyzePicture(JpegFactory::withApp5(plain, " a , 0 , 2.5 , , c "), p), ".jpg");
    EXPECT_EQ(fields(p), "0|2||c");
    // Four or six fields, a non-numeric or too large number, an empty
    // record, or no APP5 at all: the picture is accepted with reset values.
    for (const char* payload : {"a,1,30,stamp", "a,x,30,s,c", "a,1,30,s,c,extra", "", "a,1,99999999999,s,c", "-"}) {
        SCOPED_TRACE(payload);
        p = PictureInfomation{0, 7, "old", "old"};
        EXPECT_EQ(AnalyzePicture(*payload == '-' ? plain : JpegFactory::withApp5(plain, payload), p), ".jpg");
        EXPECT_EQ(fields(p), "3|-1||");
    }
}

// A rejected stream leaves the record of the last accepted one.
TEST(AnalyzePicture, WhatIsNotAWholeJpegStreamOrRunsOffTheBodyIsRejected) {
    const QByteArray good = JpegFactory::make(32, 24);
    const QByteArray eoi = QByteArray::fromHex("FFD9");
    const PictureInfomation accepted{1, 30, "stamp", "comment"};
    PictureInfomation p = accepted;
    // Empty, a single NUL (the body of a response without pieces), not ending
    // in FF D9, not starting with FF D8, a truncated scan.
    for (const QByteArray& body :
         {QByteArray(), QByteArray(1, '\0'), good + "x", good.mid(1), good.left(good.size() / 2) + eoi})
        EXPECT_EQ(AnalyzePicture(body, p), "") << body.size();
    // A segment length far past the end, an APP5 length past the end or
    // below 2, a zero length, a length that walks onto the final byte alone.
    for (const char* hex :
         {"FFD8FFE0FFF000FFD9", "FFD8FFE5400061FFD9", "FFD8FFE50001FFD9", "FFD8FFE00000FFD9", "FFD8FFE10003FFD9"})
        EXPECT_EQ(AnalyzePicture(QByteArray::fromHex(hex), p), "") << hex;
    EXPECT_EQ(fields(p), fields(accepted));
    // The smallest stream; scans that reach no marker before the end, where
    // FF D9 at the very last byte pair ends them.
    for (const char* hex : {"FFD8FFD9", "FFD8FFDA12FF00FFD9", "FFD8FFDA12FFD9"})
        EXPECT_EQ(AnalyzePicture(QByteArray::fromHex(hex), p), ".jpg") << hex;
    // Every prefix of a real picture with FF D9 appended: no crash.
    const QByteArray real = JpegFactory::withRecord(JpegFactory::make(40, 30), 0, 5, "s", "c");
    for (qsizetype cut = 2; cut < real.size(); cut += 7) AnalyzePicture(real.left(cut) + eoi, p);
}

}  // namespace
