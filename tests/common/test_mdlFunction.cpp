#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"

using namespace mdlFunction;

namespace {

const QString kTab = QStringLiteral("\t");

TEST(SplitString, RunsOfDelimitersCollapseOnlyWhenSkippingEmpty) {
    const QString text = QStringLiteral("one\t\t\ttwo");
    EXPECT_EQ(SplitString(text, kTab, false, true), (QStringList{"one", "two"}));
    EXPECT_EQ(SplitString(text, kTab, false, false), (QStringList{"one", "", "", "two"}));
    // A delimiter at the very start or end still gives an empty piece.
    EXPECT_EQ(SplitString(QStringLiteral("\t\ta\t\t"), kTab, false, true), (QStringList{"", "a", ""}));
    EXPECT_EQ(SplitString(QStringLiteral("\t"), kTab, false, true), (QStringList{"", ""}));
    EXPECT_TRUE(SplitString(QString(), kTab, true, true).isEmpty());
    EXPECT_EQ(SplitString(QStringLiteral("a"), kTab, false, false), (QStringList{"a"}));
}

TEST(SplitString, TrimRemovesSpacesOnly) {
    const QStringList pieces =
        SplitString(QStringLiteral("  a b ,\tc\t,　d　, "), QStringLiteral(","), true, false);
    EXPECT_EQ(pieces, (QStringList{"a b", "\tc\t", "　d　", ""}));
    EXPECT_EQ(SplitString(QStringLiteral("x,,y"), QStringLiteral(","), true, false), (QStringList{"x", "", "y"}));
    // A delimiter of several characters.
    EXPECT_EQ(SplitString(QStringLiteral("a::::b::c"), QStringLiteral("::"), false, true), (QStringList{"a", "b", "c"}));
}

TEST(Counting, LeadingCopiesAndOccurrences) {
    EXPECT_EQ(CountLeading(QStringLiteral("\t\tabc\t"), kTab), 2);
    EXPECT_EQ(CountLeading(QStringLiteral("abc"), kTab), 0);
    EXPECT_EQ(CountLeading(QStringLiteral("ababx"), QStringLiteral("ab")), 2);
    EXPECT_EQ(CountLeading(QStringLiteral("\t\t\t"), QChar(u'\t')), 3);
    EXPECT_EQ(CountString(QStringLiteral("aaaa"), QStringLiteral("aa")), 2);
    EXPECT_EQ(CountString(QStringLiteral("aaa"), QStringLiteral("aa")), 1);
    EXPECT_EQ(CountString(QStringLiteral("a\u0001b\u0001c"), QStringLiteral("\u0001")), 2);
    EXPECT_EQ(CountString(QStringLiteral("abc"), QStringLiteral("x")), 0);
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

    // A file edited on Linux (LF only) reads as lines, not as one line.
    dir.write("lf.txt", "Node\tA\tTrue\n\tChannelList\t\tB\n");
    EXPECT_EQ(ReadLines(dir.file("lf.txt"), true).size(), 3);

    dir.write("empty.txt", "");
    TextFileInfo info;
    EXPECT_EQ(ReadLines(dir.file("empty.txt"), true, &info), (QStringList{""}));
    EXPECT_TRUE(info.exists);
    EXPECT_TRUE(info.readable);
}

TEST(ReadLines, JapaneseTextInCp932AndUtf8) {
    TempProgramDir dir;
    const QString name = QStringLiteral("お気に入り");
    dir.write("sjis.txt", Cp932::encode(QStringLiteral("FavariteRoot\t\t") + name + "\r\n"));
    TextFileInfo info;
    QStringList lines = ReadLines(dir.file("sjis.txt"), true, &info);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1], QStringLiteral("FavariteRoot\t\t") + name);
    EXPECT_EQ(info.encoding, TextEncoding::Cp932);

    dir.write("utf8.txt", (QStringLiteral("FavariteRoot\t\t") + name + "\n").toUtf8());
    lines = ReadLines(dir.file("utf8.txt"), true, &info);
    EXPECT_EQ(lines.value(1), QStringLiteral("FavariteRoot\t\t") + name);
    EXPECT_EQ(info.encoding, TextEncoding::Utf8);

    dir.write("bom.txt", QByteArray("\xEF\xBB\xBF") + "Node\tA\r\n");
    lines = ReadLines(dir.file("bom.txt"), true, &info);
    EXPECT_EQ(lines.value(1), QStringLiteral("Node\tA"));
    EXPECT_EQ(info.encoding, TextEncoding::Utf8Bom);

    // ASCII only stays CP932, so new and untouched files keep the code page.
    EXPECT_EQ(DetectTextEncoding("Node\tA\r\n"), TextEncoding::Cp932);
}

}  // namespace
