#include "Rows.h"
#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"

using namespace mdlFunction;

namespace {

TEST(ReadLines, EveryLineEndAndAMissingFile) {
    TempProgramDir dir;
    EXPECT_EQ(ReadLines(dir.file("missing.txt"), false), (QStringList{""}));
    // Lines of spaces are not empty; a final line end adds no line.
    dir.write("mixed.txt", "a\r\nb\rc\nd\r\n\r\n  \r\ne\r\n");
    EXPECT_EQ(ReadLines(dir.file("mixed.txt"), false), (QStringList{"", "a", "b", "c", "d", "", "  ", "e"}));
    EXPECT_EQ(ReadLines(dir.file("mixed.txt"), true), (QStringList{"", "a", "b", "c", "d", "  ", "e"}));
    dir.write("empty.txt", "");
    TextFileInfo info;
    EXPECT_EQ(ReadLines(dir.file("empty.txt"), true, &info), (QStringList{""}));
    EXPECT_TRUE(info.exists && info.readable);
}

// The encoding a file is read in, the text it gives, and that every byte of
// it comes back when the text is written in that encoding: bytes that do
// not decode (or CP932 codes that would be written differently) included.
const QString kLine = QStringLiteral("FavariteRoot\t\tお気に入り");
const QByteArray kUtf8 = kLine.toUtf8(), kSjis = Cp932::encode(kLine);
struct EncodingRow {
    const char* name;
    QByteArray bytes;
    TextEncoding encoding;
};
class EncodingTest : public ::testing::TestWithParam<EncodingRow> {};

TEST_P(EncodingTest, TextAndEveryByteBack) {
    const EncodingRow& r = GetParam();
    TempProgramDir dir;
    dir.write("list.txt", r.bytes);
    TextFileInfo info;
    const QStringList lines = ReadLines(dir.file("list.txt"), true, &info);
    EXPECT_EQ(info.encoding, r.encoding);
    // The characters around the stray bytes read as themselves.
    if (r.bytes.contains(kSjis) || r.bytes.contains(kUtf8)) {
        EXPECT_TRUE(lines.join('|').contains(kLine)) << lines.join('|').toStdString();
    }
    EXPECT_EQ(EncodeText(DecodeText(r.bytes, info.encoding), info.encoding), r.bytes);
    // Lines written one by one give the bytes of their joined text.
    const QStringList split = SplitTextLines(DecodeText(r.bytes, info.encoding)) << QString(QChar(0xD83D));
    EXPECT_EQ(EncodeLines(split, info.encoding), EncodeText(split.join("\r\n") + "\r\n", info.encoding));
}

const EncodingRow kEncodings[] = {
    {"cp932", kSjis + "\r\n", TextEncoding::Cp932},
    {"utf8_lf", kUtf8 + "\n", TextEncoding::Utf8},
    {"utf8_bom", "\xEF\xBB\xBF" + kUtf8 + "\r\n", TextEncoding::Utf8Bom},
    {"utf8_bom_twice", "\xEF\xBB\xBF\xEF\xBB\xBF" + kUtf8 + "\r\n", TextEncoding::Utf8Bom},
    {"utf8_latin1_byte_and_cut_sequence", kUtf8 + "\tcaf\xE9\r\n" + kUtf8 + "\xE3\x81", TextEncoding::Utf8},
    {"cp932_unassigned_and_cut_leads", kSjis + "\x80\xA0\xFD\xFF\x85\x40\x82\t\r\n\x82", TextEncoding::Cp932},
    {"cp932_codes_written_differently", kSjis + "\x87\x90\xED\x40\xFA\x4A\r\n", TextEncoding::Cp932},
    // UTF-8 needs twice as many whole sequences as stray bytes.
    {"one_stray_byte_per_sequence", "caf\xC3\xA9 \xE9\r\n", TextEncoding::Cp932},
    {"two_sequences_per_stray_byte", "caf\xC3\xA9 \xC3\xA9 \xE9\r\n", TextEncoding::Utf8},
    {"stray_bytes_around_cp932", "\xC3\xBD\xC4\r\n" + kSjis, TextEncoding::Cp932},
    {"latin1_only", "caf\xE9\r\n", TextEncoding::Cp932},
    {"ascii_only", "Node\tA\r\n", TextEncoding::Cp932}};
VANTORA_ROWS(EncodingTest, kEncodings);

// CP932 text is written as the codec writes it, character by character:
// those the table holds, those it leaves to the codec (NEC and IBM codes that
// read back differently, "?" for what CP932 lacks) and a surrogate pair.
TEST(EncodeText, Cp932AsTheCodecWritesEveryCharacter) {
    QString all;
    for (char16_t c = 1; c != 0; ++c)
        if (!QChar::isSurrogate(c)) all += QChar(c);
    all.insert(0x3000, QStringLiteral("\U0001F600"));
    EXPECT_EQ(EncodeText(all, TextEncoding::Cp932), Cp932::encode(all));
}

}  // namespace
