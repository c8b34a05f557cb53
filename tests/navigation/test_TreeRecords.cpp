// The record rules of the list files on the tree model alone, in both
// programs' dialects, and the model's own bookkeeping. No window.

#include "Rows.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/TreeIcons.h"
#include "storage/TreeListRecords.h"

#include <QAbstractItemModelTester>
#include <QPixmap>
#include <QSet>
#include <QSignalSpy>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// A loader that only says what the rules handed it: folders become nodes
// under the keyed root, as the viewer's folder handler makes them.
class Recorder : public TreeListLoader {
public:
    explicit Recorder(ChannelTreeModel& tree) : tree_(tree) {}
    void ChannelRead(TreeNode* node, const QStringList& record) override {
        calls << "channel " + record.mid(1).join('|') + " as " + node->Text();
    }
    TreeNode* FolderRead(const QString& name, bool expanded) override {
        calls << "folder " + name;
        TreeNode* node = tree_.AddNode(tree_.NodeByKey("tvwKey_MULTIMONITOR_ROOT"), NodeKind::MultiMonitorFolder, name,
                                       QString::number(++folders_));
        tree_.SetExpanded(node, expanded);
        return node;
    }
    void FavoriteRead(const QString& id) override { calls << "favourite " + id; }
    void MemberRead(TreeNode* folder, const QString& id) override { calls << "member " + id + " of " + folder->Text(); }
    QStringList calls;

private:
    ChannelTreeModel& tree_;
    int folders_ = 0;
};

// The tree as "depth|tag|text|+" lines, + for an expanded node.
QStringList shape(const ChannelTreeModel& tree) {
    QStringList out;
    tree.Walk([&out](TreeNode* n) {
        out << QStringLiteral("%1|%2|%3%4").arg(n->Depth()).arg(n->Tag(), n->Text(), n->Expanded() ? "|+" : "");
        return true;
    });
    return out;
}

QStringList written(const ChannelTreeModel& tree) {
    TreeListLines lines;
    WriteTreeListRecords(tree, lines, [](const TreeNode* n) -> std::optional<QString> {
        return "P\t\t" + n->ID() + "\t\t" + n->Text() + "\t\ti\t\tFalse";
    });
    return lines.Channels + lines.Favorites + lines.Folders;
}

// A Channel record at depth, of signature P, address i and saving off.
QString C(int depth, const QString& id, const QString& name = "n") {
    return QString(depth, u'\t') + "Channel\t\tP\t\t" + id + "\t\t" + name + "\t\ti\t\tFalse";
}

struct Rule {
    const char* name;
    bool viewer;           // the viewer's dialect, with its two keyed roots; else the updater's
    QStringList in;        // the file's lines
    QStringList tree;      // shape() after reading
    QStringList calls;     // what the loader was handed
    QStringList out = {};  // written back (empty: the lines read)
};
class RecordRules : public ::testing::TestWithParam<Rule> {};

TEST_P(RecordRules, PlaceEachRecordAndWriteItBack) {
    const Rule& r = GetParam();
    ChannelTreeModel tree;
    if (r.viewer) {
        tree.SetKey(tree.AddNode(nullptr, NodeKind::MultiMonitorRoot, "M"), "tvwKey_MULTIMONITOR_ROOT");
        tree.SetKey(tree.AddNode(nullptr, NodeKind::FavariteRoot, "F"), "tvwKey_FAIVARIT_ROOT");
    }
    Recorder loader(tree);
    ReadTreeListRecords(tree, QStringList{QString()} + r.in, r.viewer ? kViewerRecords : kUpdaterRecords, loader);
    EXPECT_EQ(shape(tree), r.tree);
    EXPECT_EQ(loader.calls, r.calls);
    EXPECT_EQ(written(tree), r.out.isEmpty() ? r.in : r.out);
}

const QString kF = "FavariteRoot\t\tF\t\tFalse", kM = "MultiMonitorRoot\t\tM\t\tFalse";  // the roots as made
const Rule kRules[] = {
    {"EachRecordTakesTheSlotOfItsDepth",
     true,
     {"Node\tA\tTrue", "\tChannelList\t\tL\t\tFalse\t\tu", C(2, "c1", "n1"), "\tNode\tB\tFalse", C(2, "c2", "n2")},
     {"0|MultiMonitorRoot_|M", "0|FavariteRoot_|F", "0|Node_|A|+", "1|ChannelList_u|L", "2|Channel_c1|n1", "1|Node_|B",
      "2|Channel_c2|n2"},
     {"channel P|c1|n1|i|False as n1", "channel P|c2|n2|i|False as n2"},
     {"Node\tA\tTrue", "\tChannelList\t\tL\t\tFalse\t\tu", C(2, "c1", "n1"), "\tNode\tB\tFalse", C(2, "c2", "n2"), kF,
      kM}},
    {"AChannelEndsNoSlotButANodeEndsTheDeeperOnes",
     false,
     {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", C(1, "x"), C(3, "y"), "\tNode\td\tTrue", C(3, "stale")},
     {"0|Node_|a|+", "1|Node_|b|+", "2|Node_|c|+", "3|Channel_y|n", "1|Channel_x|n", "1|Node_|d|+"},
     {"channel P|x|n|i|False as n", "channel P|y|n|i|False as n"},
     {"Node\ta\tTrue", "\tNode\tb\tTrue", "\t\tNode\tc\tTrue", C(3, "y"), C(1, "x"), "\tNode\td\tTrue"}},
    {"WhatSitsUnderASkippedRecordGoesWithIt",
     true,
     {"Node\tA\tTrue", "\tNode\tB\tTrue", "\tNode\t \tTrue", C(2, "lost"), "\t\tNode\tdeeper\tTrue", C(0, "atTheTop"),
      "\tChannelList\t\tL\t\tTrue\t\tu", C(2, "kept")},
     {"0|MultiMonitorRoot_|M", "0|FavariteRoot_|F", "0|Node_|A|+", "1|Node_|B|+", "1|ChannelList_u|L|+",
      "2|Channel_kept|n"},
     {"channel P|kept|n|i|False as n"},
     {"Node\tA\tTrue", "\tNode\tB\tTrue", "\tChannelList\t\tL\t\tTrue\t\tu", C(2, "kept"), kF, kM}},
    // Record types: any letter case for the viewer, exactly for the updater,
    // which reads only the channel list's three.
    {"TheViewerReadsRecordTypesInAnyCase",
     true,
     {"node\tg\tTRUE", "\tCHANNEL\t\tP\t\tc\t\tn\t\ti\t\tFalse", "FavariteRoot\t\tお気に入り\t\tFalse",
      "\tfavaritechannel\t\tc"},
     {"0|MultiMonitorRoot_|M", "0|FavariteRoot_|お気に入り", "0|Node_|g|+", "1|Channel_c|n"},
     {"channel P|c|n|i|False as n", "favourite c"},
     {"Node\tg\tTrue", C(1, "c"), "FavariteRoot\t\tお気に入り\t\tFalse", kM}},
    {"TheUpdaterReadsItsThreeTypesSpelledExactly",
     false,
     {"node\tg\tTrue", "Node\th\tTrue", "\tCHANNEL\t\tP\t\tc\t\tn\t\ti\t\tFalse", C(1, "d"),
      "FavariteRoot\t\tお気に入り\t\tFalse"},
     {"0|Node_|h|+", "1|Channel_d|n"},
     {"channel P|d|n|i|False as n"},
     {"Node\th\tTrue", C(1, "d")}},
    {"TheUpdaterCleansWhatWouldBreakItsTags",
     false,
     {"Node\tg\x01h\tTrue", "\tChannel\t\tP\x01\t\tc\t\tna\x01me\t\ti\t\tTrue", "\tChannel\t\t\x01\t\td\t\tn\t\ti"},
     {"0|Node_|g h|+", "1|Channel_c|na me"},
     {"channel P|c|na me|i|True as na me"},
     {"Node\tg h\tTrue", C(1, "c", "na me")}},
    {"MissingFlagsReadFalseAndAListsAddressMovesUp",
     true,
     {"Node\tA", "\tChannelList\t\tL\t\thttp://l/", "\tChannelList\t\tM\t\tyes\t\tu", C(2, "c")},
     {"0|MultiMonitorRoot_|M", "0|FavariteRoot_|F", "0|Node_|A", "1|ChannelList_http://l/|L", "1|ChannelList_u|M",
      "2|Channel_c|n"},
     {"channel P|c|n|i|False as n"},
     {"Node\tA\tFalse", "\tChannelList\t\tL\t\tFalse\t\thttp://l/", "\tChannelList\t\tM\t\tFalse\t\tu", C(2, "c"), kF,
      kM}},
    {"FoldersMembersAndFavouritesGoToTheProgram",
     true,
     {"MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue", "\t\tMultiMonitorChannel\t\ta",
      "\tMultiMonitorFolder\t\t \t\tTrue", "\t\tMultiMonitorChannel\t\tlost", "MultiMonitorChannel\t\tatTheTop",
      "\t\t\tFavariteChannel\t\tanywhere"},
     {"0|MultiMonitorRoot_|マルチモニター|+", "1|MultiMonitorFolder_1|X|+", "0|FavariteRoot_|F"},
     {"folder X", "member a of X", "favourite anywhere"},
     {kF, "MultiMonitorRoot\t\tマルチモニター\t\tTrue", "\tMultiMonitorFolder\t\tX\t\tTrue"}},
    {"ARootRecordWithoutTextKeepsTheRootAndEndsItsSlot",
     true,
     {"FavariteRoot\t\t  \t\tTrue", "\tFavariteChannel\t\ta", "MultiMonitorRoot\t\tN\t\tyes",
      "\tMultiMonitorFolder\t\tX\t\tFalse"},
     {"0|MultiMonitorRoot_|N", "1|MultiMonitorFolder_1|X", "0|FavariteRoot_|F"},
     {"favourite a", "folder X"},
     {kF, "MultiMonitorRoot\t\tN\t\tFalse", "\tMultiMonitorFolder\t\tX\t\tFalse"}},
};
VANTORA_ROWS(RecordRules, kRules);

// One bound for both programs: records down to 1000 levels are read and
// written back, deeper ones skipped, without recursion on either side.
TEST(DepthBound, ADepthOfAThousandIsReadAndWrittenDeeperIsSkipped) {
    for (const TreeListDialect& dialect : {kViewerRecords, kUpdaterRecords}) {
        QStringList lines{QString()};
        for (int d = 0; d < kDeepestTreeNode; ++d) lines << QString(d, u'\t') + "Node\tg\tTrue";
        lines << QString(kDeepestTreeNode, u'\t') + "Channel\t\tP\t\tdeepest\t\tn\t\ti\t\tFalse"
              << QString(kDeepestTreeNode, u'\t') + "Node\tlast\tTrue"
              << QString(kDeepestTreeNode + 1, u'\t') + "Channel\t\tP\t\ttooDeep\t\tn\t\ti\t\tFalse";
        ChannelTreeModel tree;
        Recorder loader(tree);
        ReadTreeListRecords(tree, lines, dialect, loader);
        EXPECT_EQ(tree.NodeCount(), kDeepestTreeNode + 2);
        EXPECT_EQ(tree.LastAddedNode()->Depth(), kDeepestTreeNode);
        EXPECT_EQ(written(tree), lines.mid(1, kDeepestTreeNode + 2)) << dialect.ExactRecordTypes;
    }
}

// ---- The model ---------------------------------------------------------------

// Qt's model tester checks every signal and index while the tree changes.
TEST(TreeModel, KeepsItsIndexesWholeThroughEveryChange) {
    ChannelTreeModel tree;
    QAbstractItemModelTester tester(&tree, QAbstractItemModelTester::FailureReportingMode::Fatal);
    TreeNode* a = tree.AddNode(nullptr, NodeKind::Node, "a");
    TreeNode* b = tree.AddNode(nullptr, NodeKind::Node, "b");
    QList<TreeNode*> children;
    for (const char* id : {"c1", "c2", "c3", "c4"}) children << tree.AddNode(a, NodeKind::Channel, id, id);
    tree.AddNode(children[1], NodeKind::Node, "under c2");
    tree.MoveNode(children[0], 3);
    tree.MoveNode(children[3], 0);
    EXPECT_EQ(QStringList({a->Child(0)->Text(), a->Child(1)->Text(), a->Child(2)->Text(), a->Child(3)->Text()}),
              QStringList({"c4", "c2", "c3", "c1"}));
    tree.RemoveNode(children[1]);
    for (int i = 0; i < a->ChildCount(); ++i) EXPECT_EQ(a->Child(i)->Row(), i);
    EXPECT_EQ(tree.IndexOf(children[0]).row(), 2);
    tree.SetText(b, "B");
    tree.RemoveChildren(a);
    tree.BeginBatch();
    for (int i = 0; i < 3; ++i) tree.AddNode(b, NodeKind::Channel, "x");
    tree.RemoveNode(a);
    tree.EndBatch();
    EXPECT_EQ(shape(tree), (QStringList{"0|Node_|B", "1|Channel_|x", "1|Channel_|x", "1|Channel_|x"}));
    EXPECT_EQ(tree.NodeCount(), 4);
}

TEST(TreeModel, KeysAndSerialsForgetRemovedNodes) {
    ChannelTreeModel tree;
    tree.KeepSerialIndex();
    TreeNode* root = tree.AddNode(nullptr, NodeKind::Node, "root");
    TreeNode* kept = tree.AddNode(nullptr, NodeKind::Node, "kept");
    TreeNode* inner = tree.AddNode(root, NodeKind::Node, "inner");
    tree.SetKey(inner, "inner");
    tree.SetKey(kept, "kept");
    const quint32 innerSerial = inner->Serial();
    EXPECT_EQ(tree.NodeBySerial(innerSerial), inner);
    tree.RemoveChildren(root);
    EXPECT_EQ(tree.NodeByKey("inner"), nullptr);
    EXPECT_EQ(tree.NodeBySerial(innerSerial), nullptr);
    EXPECT_EQ(tree.NodeByKey("kept"), kept);
    // A new node never takes a removed one's serial.
    TreeNode* added = tree.AddNode(root, NodeKind::Node, "new");
    EXPECT_GT(added->Serial(), innerSerial);
    tree.SetKey(tree.AddNode(added, NodeKind::Node, "deep"), "deep");
    tree.RemoveNode(root);
    EXPECT_EQ(tree.NodeByKey("deep"), nullptr);
    EXPECT_EQ(tree.LastAddedNode(), nullptr);
    EXPECT_EQ(tree.NodeByKey("kept"), kept);
}

// Views hear of the program's expanding, never of a batch's one by one.
TEST(TreeModel, TellsViewsOfExpandingAndOfABatchOnce) {
    ChannelTreeModel tree;
    QSignalSpy expanded(&tree, &ChannelTreeModel::ExpandedChanged);
    QSignalSpy inserted(&tree, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&tree, &QAbstractItemModel::modelReset);
    TreeNode* node = tree.AddNode(nullptr, NodeKind::Node, "n");
    tree.SetExpanded(node, true);
    tree.SetExpanded(node, true);
    ASSERT_EQ(expanded.size(), 1);
    EXPECT_EQ(expanded[0][1].toBool(), true);
    tree.BeginBatch();
    tree.BeginBatch();
    tree.SetExpanded(tree.AddNode(node, NodeKind::Node, "m"), true);
    tree.EndBatch();
    EXPECT_EQ(reset.size(), 0);
    tree.EndBatch();
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(inserted.size(), 1);
    EXPECT_EQ(expanded.size(), 1);
    EXPECT_TRUE(node->Child(0)->Expanded());
}

// Each kind of node has an icon of its own, a channel's nodes share one;
// the program's look of a channel (its icon and tool tip) reaches all of its
// nodes, which are drawn again when it changes.
TEST(TreeModel, IconsOfEachKindAndTheLookOfAChannel) {
    ChannelTreeModel tree;
    auto iconOf = [&](const TreeNode* n) { return tree.IndexOf(n).data(Qt::DecorationRole).value<QIcon>(); };
    for (NodeKind kind : {NodeKind::Node, NodeKind::ChannelList, NodeKind::FavariteRoot, NodeKind::MultiMonitorRoot,
                          NodeKind::MultiMonitorFolder, NodeKind::Channel})
        EXPECT_EQ(iconOf(tree.AddNode(nullptr, kind, "n")).cacheKey(), NodeIcon(kind).cacheKey())
            << MakeTag(kind).toStdString();
    TreeNode* list = tree.Root(1);
    TreeNode* channel = tree.AddNode(list, NodeKind::Channel, "c", "Cam");
    TreeNode* favorite = tree.AddNode(tree.Root(2), NodeKind::FavariteChannel, "c", "cam");
    TreeNode* other = tree.AddNode(list, NodeKind::Channel, "o", "other");
    EXPECT_EQ(iconOf(favorite).cacheKey(), iconOf(channel).cacheKey());
    EXPECT_TRUE(tree.IndexOf(channel).data(Qt::ToolTipRole).toString().isEmpty());

    QPixmap red(16, 16);
    red.fill(Qt::red);
    const QIcon live(red);
    auto cam = [](const QString& id) { return id.compare("cam", Qt::CaseInsensitive) == 0; };
    tree.SetChannelLook({[&](const QString& id) { return cam(id) ? live : QIcon(); },
                         [&](const QString& id) { return cam(id) ? QStringLiteral("放送中") : QString(); }});
    EXPECT_EQ(iconOf(favorite).cacheKey(), live.cacheKey());
    EXPECT_EQ(tree.IndexOf(channel).data(Qt::ToolTipRole).toString(), QStringLiteral("放送中"));
    EXPECT_EQ(iconOf(other).cacheKey(), NodeIcon(NodeKind::Channel).cacheKey());

    QSignalSpy changed(&tree, &QAbstractItemModel::dataChanged);
    auto redrawn = [&](const QString& id) {
        changed.clear();
        tree.ChannelLookChanged(id);
        QSet<const TreeNode*> nodes;
        for (const QList<QVariant>& args : changed) {
            nodes.insert(ChannelTreeModel::NodeOf(args[0].toModelIndex()));
            EXPECT_EQ(args[2].value<QList<int>>(), (QList<int>{Qt::DecorationRole, Qt::ToolTipRole}));
        }
        return nodes;
    };
    EXPECT_EQ(redrawn("CAM"), (QSet<const TreeNode*>{channel, favorite}));
    TreeNode* member = tree.AddNode(tree.Root(4), NodeKind::MultiMonitorChannel, "c", "cAm");
    tree.RemoveNode(favorite);
    tree.SetIdentity(other, NodeKind::Channel, "CAM");
    EXPECT_EQ(redrawn("cam"), (QSet<const TreeNode*>{channel, member, other}));
}

}  // namespace
