// The channel search on the tree model: what matches (case, width and kana
// aside, texts and channel IDs), what is shown around a match, and that the
// results follow the tree. No window.

#include "Rows.h"
#include "common/SearchText.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeSearch.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// マルチモニター > 監視 > カメラ1, お気に入り > ＡＢＣ放送, and the list 東京リスト
// under 日本 with four channels.
struct Tree {
    ChannelTreeModel model;
    TreeNode* list;
    Tree() {
        TreeNode* folders = model.AddNode(nullptr, NodeKind::MultiMonitorRoot, QStringLiteral("マルチモニター"));
        TreeNode* folder = model.AddNode(folders, NodeKind::MultiMonitorFolder, QStringLiteral("監視"), "1");
        model.AddNode(folder, NodeKind::MultiMonitorChannel, QStringLiteral("カメラ1"), "jp.Tokyo.CAM1");
        TreeNode* favorites = model.AddNode(nullptr, NodeKind::FavariteRoot, QStringLiteral("お気に入り"));
        model.AddNode(favorites, NodeKind::FavariteChannel, QStringLiteral("ＡＢＣ放送"), "abc.tv");
        TreeNode* group = model.AddNode(nullptr, NodeKind::Node, QStringLiteral("日本"));
        list =
            model.AddNode(group, NodeKind::ChannelList, QStringLiteral("東京リスト"), "http://lists.example/tokyo.txt");
        model.AddNode(list, NodeKind::Channel, QStringLiteral("カメラ1"), "jp.Tokyo.CAM1");
        model.AddNode(list, NodeKind::Channel, QStringLiteral("ｶﾒﾗ2"), "jp.tokyo.cam2");
        model.AddNode(list, NodeKind::Channel, QStringLiteral("かめら3"), "jp.osaka.cam3");
        model.AddNode(list, NodeKind::Channel, QStringLiteral("ＡＢＣ放送"), "abc.tv");
    }
};

// The shown rows as "depth|text", a match marked with "*".
QStringList shown(const ChannelTreeSearchModel& search) {
    QStringList out;
    std::vector<std::pair<QModelIndex, int>> todo{{QModelIndex(), -1}};
    while (!todo.empty()) {
        const auto [parent, depth] = todo.back();
        todo.pop_back();
        if (parent.isValid())
            out << QString::number(depth) + "|" + parent.data().toString() +
                       (search.IsMatch(ChannelTreeModel::NodeOf(parent)) ? "*" : "");
        for (int row = search.rowCount(parent) - 1; row >= 0; --row)
            todo.emplace_back(search.index(row, 0, parent), depth + 1);
    }
    return out;
}

struct Query {
    const char* name;
    QString query;
    QStringList shown;
};
class Matching : public ::testing::TestWithParam<Query> {};

TEST_P(Matching, ShowsTheMatchesWithTheirAncestors) {
    Tree tree;
    ChannelTreeSearchModel search(&tree.model);
    search.SetQuery(GetParam().query);
    EXPECT_EQ(shown(search), GetParam().shown);
    EXPECT_EQ(search.MatchCount(), shown(search).filter("*").size());
}

const QStringList kCameras{"0|マルチモニター", "1|監視",     "2|カメラ1*", "0|日本",
                           "1|東京リスト",     "2|カメラ1*", "2|ｶﾒﾗ2*",    "2|かめら3*"};
const Query kQueries[] = {
    {"AnEmptyQueryShowsNothing", "", {}},
    {"NothingMatches", "zzz", {}},
    {"LetterCaseOfAnID",
     "TOKYO.cam",
     {"0|マルチモニター", "1|監視", "2|カメラ1*", "0|日本", "1|東京リスト", "2|カメラ1*", "2|ｶﾒﾗ2*"}},
    {"WidthOfLatinLetters", "abc放送", {"0|お気に入り", "1|ＡＢＣ放送*", "0|日本", "1|東京リスト", "2|ＡＢＣ放送*"}},
    {"FullWidthQuery", "ＡＢＣ.ＴＶ", {"0|お気に入り", "1|ＡＢＣ放送*", "0|日本", "1|東京リスト", "2|ＡＢＣ放送*"}},
    {"KatakanaFindsHalfWidthAndHiragana", "カメラ", kCameras},
    {"HiraganaFindsKatakana", "かめら", kCameras},
    {"HalfWidthKatakanaFindsBoth", "ｶﾒﾗ", kCameras},
    {"OnlyTheChannelIDMatches", "osaka", {"0|日本", "1|東京リスト", "2|かめら3*"}},
    {"AListsAddressIsNoChannelID", "lists.example", {}},
    {"AGroupAndAFolderMatchByText", "監視", {"0|マルチモニター", "1|監視*"}},
    {"AnAncestorThatMatchesToo", "リ", {"0|お気に入り*", "0|日本", "1|東京リスト*"}},
};
VANTORA_ROWS(Matching, kQueries);

TEST(SearchKey, FoldsWidthCaseAndKana) {
    EXPECT_EQ(SearchKey(QStringLiteral("ＡＢＣ ｶﾞｲﾄﾞ かめら Ⅳ")), QStringLiteral("abc ガイド カメラ iv"));
    EXPECT_EQ(SearchKey(QStringLiteral("ゝゞゟ")), QStringLiteral("ヽヾヨリ"));
    EXPECT_EQ(SearchKey("Jp.Tokyo.CH01"), "jp.tokyo.ch01");
}

// The first channel to open in tree order, and the matches of a shown
// updater tree, where a list shows its address and a channel its ID.
TEST(Search, FindsTheFirstChannelAndWhatTheUpdaterShows) {
    Tree tree;
    ChannelTreeSearchModel search(&tree.model);
    search.SetQuery(QStringLiteral("かめら"));
    ASSERT_NE(search.FirstChannel(), nullptr);
    EXPECT_EQ(search.FirstChannel()->Kind(), NodeKind::MultiMonitorChannel);
    search.SetQuery("3");
    EXPECT_EQ(search.FirstChannel()->Text(), QStringLiteral("かめら3"));
    search.SetQuery(QStringLiteral("監視"));
    EXPECT_EQ(search.FirstChannel(), nullptr);

    tree.model.SetShowIdentityInText(true);
    search.SetQuery("lists.example");
    EXPECT_EQ(shown(search), (QStringList{"0|日本", "1|東京リスト(http://lists.example/tokyo.txt)*"}));
}

// While a query is set the results follow the tree: nodes added, renamed,
// removed and many changed at once; a changed look alone keeps them.
TEST(Search, FollowsTheTree) {
    Tree tree;
    ChannelTreeSearchModel search(&tree.model);
    QAbstractItemModelTester tester(&search, QAbstractItemModelTester::FailureReportingMode::Fatal);
    search.SetQuery("cam");
    EXPECT_EQ(search.MatchCount(), 4);
    TreeNode* added = tree.model.AddNode(tree.list, NodeKind::Channel, QStringLiteral("新局"), "jp.new.cam9");
    const QStringList rows = shown(search);
    EXPECT_EQ(rows.value(rows.size() - 1), QStringLiteral("2|新局*"));
    tree.model.SetIdentity(added, NodeKind::Channel, "jp.new.ch9");
    EXPECT_EQ(search.MatchCount(), 4);
    tree.model.SetText(added, QStringLiteral("新しいcam"));
    EXPECT_EQ(search.MatchCount(), 5);
    tree.model.RemoveNode(tree.list);
    EXPECT_EQ(shown(search), (QStringList{"0|マルチモニター", "1|監視", "2|カメラ1*"}));
    tree.model.BeginBatch();
    tree.model.AddNode(nullptr, NodeKind::Node, "camera group");
    tree.model.EndBatch();
    EXPECT_EQ(search.MatchCount(), 2);
    QSignalSpy reset(&search, &QAbstractItemModel::modelReset);
    tree.model.ChannelLookChanged("jp.Tokyo.CAM1");
    EXPECT_EQ(reset.size(), 0);
    search.SetQuery("");
    EXPECT_EQ(search.rowCount(), 0);
}

}  // namespace
