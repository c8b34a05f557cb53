// The tree view follows the nodes' expanded flags (the files' Expanded)
// without walking what it does not show: nodes under a closed node take
// their flags when it opens, however deep they lie; the flags themselves
// only change by the user's opening and closing.

#include <gtest/gtest.h>

#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"

#include <QTreeView>

namespace {

struct Tree {
    ChannelTreeModel model;
    TreeNode *closedGroup, *openList, *closedList, *deepest, *openRoot, *openFolder;

    Tree() {
        model.BeginBatch();
        closedGroup = model.AddNode(nullptr, NodeKind::Node, "group");
        openList = model.AddNode(closedGroup, NodeKind::ChannelList, "open list", "http://a/");
        model.AddNode(openList, NodeKind::Channel, "a", "a");
        closedList = model.AddNode(closedGroup, NodeKind::ChannelList, "closed list", "http://b/");
        model.AddNode(closedList, NodeKind::Channel, "b", "b");
        // A chain 1 000 levels deep, every level open.
        TreeNode* chain = model.AddNode(closedGroup, NodeKind::Node, "chain");
        model.SetExpanded(chain, true);
        for (int depth = 0; depth < 1000; ++depth) {
            chain = model.AddNode(chain, NodeKind::Node, "level");
            model.SetExpanded(chain, true);
        }
        deepest = model.AddNode(chain, NodeKind::Channel, "deep", "deep");
        openRoot = model.AddNode(nullptr, NodeKind::MultiMonitorRoot, "root");
        openFolder = model.AddNode(openRoot, NodeKind::MultiMonitorFolder, "folder", "1");
        model.AddNode(openFolder, NodeKind::MultiMonitorChannel, "a", "a");
        for (TreeNode* open : {openList, openRoot, openFolder}) model.SetExpanded(open, true);
        model.EndBatch();
    }
};

TEST(TreeOpening, NodesUnderAClosedNodeOpenAsTheirFlagsSayWhenItOpens) {
    Tree t;
    ChannelTreeView view(&t.model);
    view.resize(300, 400);
    view.show();
    QTreeView* tree = view.Tree();
    auto shown = [&](TreeNode* n) { return tree->isExpanded(t.model.IndexOf(n)); };
    // What shows at once: the open root and the open folder in it.
    EXPECT_TRUE(shown(t.openRoot) && shown(t.openFolder));
    EXPECT_FALSE(shown(t.closedGroup));

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first opening" : "opened again");
        tree->expand(t.model.IndexOf(t.closedGroup));
        EXPECT_TRUE(shown(t.openList));
        EXPECT_FALSE(shown(t.closedList));
        EXPECT_EQ(t.deepest->Depth(), 1002);
        EXPECT_TRUE(shown(t.deepest->Parent()));
        EXPECT_TRUE(t.closedGroup->Expanded());  // the user's opening is the file's
        EXPECT_TRUE(t.openList->Expanded() && !t.closedList->Expanded());
        tree->collapse(t.model.IndexOf(t.closedGroup));
        EXPECT_FALSE(t.closedGroup->Expanded());
        EXPECT_TRUE(t.openList->Expanded());  // closing a parent keeps its children's flags
    }
}

}  // namespace
