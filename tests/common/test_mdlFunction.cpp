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

TEST(ReadLines, JapaneseTextInCp932AndUtf8) {
    TempProgramDir dir;
    const QString line = QStringLiteral("FavariteRoot\t\tお気に入り");
    const struct {
        QByteArray bytes;
        TextEncoding encoding;
    } cases[] = {{Cp932::encode(line + "\r\n"), TextEncoding::Cp932},
                 {(line + "\n").toUtf8(), TextEncoding::Utf8},
                 {"\xEF\xBB\xBF" + line.toUtf8() + "\r\n", TextEncoding::Utf8Bom}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.encoding));
        dir.write("list.txt", c.bytes);
        TextFileInfo info;
        EXPECT_EQ(ReadLines(dir.file("list.txt"), true, &info), (QStringList{"", line}));
        EXPECT_EQ(info.encoding, c.encoding);
    }
    // ASCII only stays CP932, so new and untouched files keep the code page.
    EXPECT_EQ(DetectTextEncoding("Node\tA\r\n"), TextEncoding::Cp932);
}

}  // namespace
