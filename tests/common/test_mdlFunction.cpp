#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"

using namespace mdlFunction;

namespace {

TEST(SplitString, EmptyPiecesTrimmingAndLongDelimiters) {
    const struct {
        QString text, delimiter;
        bool trim, skipEmpty;
        QStringList expected;
    } cases[] = {
        // Runs of delimiters collapse only when skipping empty pieces...
        {"one\t\t\ttwo", "\t", false, true, {"one", "two"}},
        {"one\t\t\ttwo", "\t", false, false, {"one", "", "", "two"}},
        // ...and a delimiter at the very start or end still gives an empty piece.
        {"\t\ta\t\t", "\t", false, true, {"", "a", ""}},
        {"\t", "\t", false, true, {"", ""}},
        {"", "\t", true, true, {}},
        {"a", "\t", false, false, {"a"}},
        // Trimming removes spaces (U+0020) only.
        {QStringLiteral("  a b ,\tc\t,　d　, "), ",", true, false, {"a b", "\tc\t", "　d　", ""}},
        {"x,,y", ",", true, false, {"x", "", "y"}},
        {"a::::b::c", "::", false, true, {"a", "b", "c"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(SplitString(c.text, c.delimiter, c.trim, c.skipEmpty), c.expected);
    }
}

TEST(Counting, LeadingCopiesAndOccurrences) {
    const struct {
        const char *text, *pattern;
        int leading, occurrences;  // occurrences do not overlap
    } cases[] = {{"\t\tabc\t", "\t", 2, 3}, {"abc", "\t", 0, 0},     {"ababx", "ab", 2, 2}, {"aaaa", "aa", 2, 2},
                 {"aaa", "aa", 1, 1},       {"a\1b\1c", "\1", 0, 2}, {"abc", "x", 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(CountLeading(c.text, c.pattern), c.leading) << c.text;
        EXPECT_EQ(CountString(c.text, c.pattern), c.occurrences) << c.text;
    }
    EXPECT_EQ(CountLeading(QStringLiteral("\t\t\t"), QChar(u'\t')), 3);
}

TEST(ReadLines, EveryLineEndAndAMissingFile) {
    TempProgramDir dir;
    EXPECT_EQ(ReadLines(dir.file("missing.txt"), false), (QStringList{""}));
    dir.write("mixed.txt", "a\r\nb\rc\nd\r\n\r\ne");
    EXPECT_EQ(ReadLines(dir.file("mixed.txt"), false), (QStringList{"", "a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(ReadLines(dir.file("mixed.txt"), true), (QStringList{"", "a", "b", "c", "d", "e"}));
    // Lines of spaces are not empty; a final line end adds no line.
    dir.write("spaces.txt", "  \r\nx\r\n");
    EXPECT_EQ(ReadLines(dir.file("spaces.txt"), true), (QStringList{"", "  ", "x"}));
    dir.write("empty.txt", "");
    TextFileInfo info;
    EXPECT_EQ(ReadLines(dir.file("empty.txt"), true, &info), (QStringList{""}));
    EXPECT_TRUE(info.exists && info.readable);
}

// The encoding a file is read in, the text it gives, and that every byte of
// it comes back when the text is written in that encoding: bytes that do
// not decode (or CP932 codes that would be written differently) included.
TEST(ReadLines, EncodingsTextAndEveryByteBack) {
    TempProgramDir dir;
    const QString line = QStringLiteral("FavariteRoot\t\tお気に入り");
    const QByteArray utf8 = line.toUtf8(), sjis = Cp932::encode(line);
    const struct {
        const char* name;
        QByteArray bytes;
        TextEncoding encoding;
    } cases[] = {
        {"CP932", sjis + "\r\n", TextEncoding::Cp932},
        {"UTF-8, LF", utf8 + "\n", TextEncoding::Utf8},
        {"UTF-8 with a BOM", "\xEF\xBB\xBF" + utf8 + "\r\n", TextEncoding::Utf8Bom},
        {"UTF-8 with a BOM twice", "\xEF\xBB\xBF\xEF\xBB\xBF" + utf8 + "\r\n", TextEncoding::Utf8Bom},
        {"UTF-8 with stray bytes (Latin-1 e acute, a cut sequence)", utf8 + "\tcaf\xE9\r\n" + utf8 + "\xE3\x81",
         TextEncoding::Utf8},
        {"CP932: unassigned bytes, an unassigned row, a lead before a tab, a cut lead at the end",
         sjis + "\x80\xA0\xFD\xFF\x85\x40\x82\t\r\n\x82", TextEncoding::Cp932},
        {"CP932: codes CP932 reads but writes differently", sjis + "\x87\x90\xED\x40\xFA\x4A\r\n", TextEncoding::Cp932},
        {"as many stray bytes as UTF-8 sequences: CP932", "\xC3\xBD\xC4\r\n" + sjis, TextEncoding::Cp932},
        {"Latin-1 only: CP932", "caf\xE9\r\n", TextEncoding::Cp932},
        {"ASCII only: CP932, as new files are", "Node\tA\r\n", TextEncoding::Cp932},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("list.txt", c.bytes);
        TextFileInfo info;
        const QStringList lines = ReadLines(dir.file("list.txt"), true, &info);
        EXPECT_EQ(info.encoding, c.encoding);
        // The characters around the stray bytes read as themselves.
        if (c.bytes.contains(sjis) || c.bytes.contains(utf8)) {
            EXPECT_TRUE(lines.join('|').contains(line)) << lines.join('|').toStdString();
        }
        EXPECT_EQ(EncodeText(DecodeText(c.bytes, info.encoding), info.encoding), c.bytes);
    }
}

}  // namespace
