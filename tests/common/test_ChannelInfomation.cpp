#include "JpegFactory.h"
#include "Rows.h"
#include "channel/ChannelInfomation.h"

namespace {

const QString kInfo = QStringLiteral(
    "ProtocolSignature=VNT1\nChannelID=ch01\nChannelName=テスト局\nChannelNumber=12\nURL=http://h/ch01.jpg\n"
    "ThumbnailURL=http://h/ch01_s.jpg\nReloadTime=30\nCommentforChannel=a=b comment\nStatusFlag=1\n"
    "BroadCastStartTime=2002/10/05 12:00:00\nLast-Modified=2002/10/05 12:34:56\n");
const QString kRequired = QStringLiteral("ProtocolSignature=P\nChannelID=c\nURL=u\nLast-Modified=t\n");

// Every field in one line, so one comparison shows all differences.
std::string fields(const ChannelInfomation& i) {
    QStringList f{i.ProtocolSignature, i.ChannelID, i.ChannelName, i.ChannelNumber, i.URL, i.ThumbnailURL};
    f << QString::number(i.ReloadTime) << i.CommentforChannel << QString::number(i.StatusFlag);
    return (f << i.BroadCastStartTime << i.LastModified).join('|').toStdString();
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
                                                     "\r\nRELOADTIME=5\r\nlast-modified=t\r\nStatusFlag=2.5\r\n"),
                                      info));
    EXPECT_EQ(fields(info), "P|x||| http://h/a.jpg||5||2||t");  // a space after "=" belongs to the value
    // A lone CR does not end a line: the first line swallows the next key.
    ChannelInfomation cr;
    EXPECT_FALSE(AnalyzeInfomationFile("ProtocolSignature=P\rChannelID=x\nURL=u\nReloadTime=1\nLast-Modified=t", cr));
    EXPECT_EQ(cr.ProtocolSignature, "P\rChannelID=x");
}

TEST(AnalyzeInfomationFile, NonNumericValuesAndMissingKeysKeepEarlierValues) {
    ChannelInfomation info;
    ASSERT_TRUE(AnalyzeInfomationFile(kInfo, info));
    // Letters in ReloadTime still count as present; the old value stays, as
    // does ThumbnailURL, which the second file lacks. The last StatusFlag wins.
    EXPECT_TRUE(AnalyzeInfomationFile(kRequired + "ReloadTime=soon\nStatusFlag=x\nStatusFlag=1.5\n", info));
    EXPECT_EQ(fields(info), "P|c|テスト局|12|u|http://h/ch01_s.jpg|30|a=b comment|2|2002/10/05 12:00:00|t");
    // A file that fails still leaves what it carried; beyond 32 bits is not a number.
    EXPECT_FALSE(AnalyzeInfomationFile("URL=v\nStatusFlag=3\nReloadTime=99999999999\n", info));
    EXPECT_EQ(fields(info), "P|c|テスト局|12|v|http://h/ch01_s.jpg|30|a=b comment|3|2002/10/05 12:00:00|t");
    EXPECT_FALSE(AnalyzeInfomationFile(QString(), info));
    EXPECT_FALSE(AnalyzeInfomationFile(QString(100000, QChar(u'x')), info));
}

// AnalyzePicture after a picture with the record 1|30|stamp|comment: a
// rejected body ("") keeps it; an accepted one takes its five-field APP5
// record, or reset values.
struct PictureRow {
    const char* name;
    QByteArray (*body)();
    const char *extension, *record;
};
class AnalyzePictureTest : public ::testing::TestWithParam<PictureRow> {};

TEST_P(AnalyzePictureTest, TakesTheRecordOrRejects) {
    PictureInfomation p{1, 30, "stamp", "comment"};
    EXPECT_EQ(AnalyzePicture(GetParam().body(), p).toStdString(), GetParam().extension);
    EXPECT_EQ(fields(p), GetParam().record);
}

QByteArray plain() { return JpegFactory::make(32, 24); }
QByteArray app5(const char* payload) { return JpegFactory::withApp5(plain(), QString::fromUtf8(payload)); }
QByteArray hex(const char* h) { return QByteArray::fromHex(h); }
constexpr const char* kKept = "1|30|stamp|comment";
constexpr const char* kReset = "3|-1||";

// clang-format off
const PictureRow kPictures[] = {
    {"record", [] { return JpegFactory::withRecord(plain(), 0, 9, "2002/10/05 12:34:56", "休止中です"); }, ".jpg",
     "0|9|2002/10/05 12:34:56|休止中です"},
    {"spaces_trimmed_empty_kept", [] { return app5(" a , 0 , 2.5 , , c "); }, ".jpg", "0|2||c"},
    {"four_fields", [] { return app5("a,1,30,stamp"); }, ".jpg", kReset},
    {"six_fields", [] { return app5("a,1,30,s,c,extra"); }, ".jpg", kReset},
    {"status_not_a_number", [] { return app5("a,x,30,s,c"); }, ".jpg", kReset},
    {"reload_past_32_bits", [] { return app5("a,1,99999999999,s,c"); }, ".jpg", kReset},
    {"empty_record", [] { return app5(""); }, ".jpg", kReset}, {"no_app5", plain, ".jpg", kReset},
    {"smallest_stream", [] { return hex("FFD8FFD9"); }, ".jpg", kReset},
    {"scan_to_the_end", [] { return hex("FFD8FFDA12FF00FFD9"); }, ".jpg", kReset},
    {"one_nul", [] { return QByteArray(1, '\0'); }, "", kKept},  // an empty answer's body
    {"not_ending_in_eoi", [] { return plain() + "x"; }, "", kKept},
    {"not_starting_with_soi", [] { return plain().mid(1); }, "", kKept},
    {"cut_scan", [] { return plain().left(plain().size() / 2) + hex("FFD9"); }, "", kKept},
    {"app5_past_the_end", [] { return hex("FFD8FFE5400061FFD9"); }, "", kKept},
    {"app5_length_below_2", [] { return hex("FFD8FFE50001FFD9"); }, "", kKept},
    {"length_onto_the_last_byte", [] { return hex("FFD8FFE10003FFD9"); }, "", kKept}};
// clang-format on
VANTORA_ROWS(AnalyzePictureTest, kPictures);

}  // namespace
