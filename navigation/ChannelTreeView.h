#pragma once
// The channel tree as both programs show it: a search field above the tree
// (filters as the user types; its keys find it, open the first matching
// channel, move into the results, give the tree back as it was), and the
// tree's keys: open a node as a left click does, its popup at the node,
// rename, remove, undo a removal. The keys are the key table's. The whole tree and the search's results are two
// views of one model, so clearing a search finds the tree's expanded
// nodes, selection and scrolling untouched. The window decides what each
// key does with a node through the signals.

#include <QPoint>
#include <QWidget>

class ChannelTreeModel;
class ChannelTreeSearchModel;
class QAbstractItemModel;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QModelIndex;
class QTreeView;
class TreeNode;

class ChannelTreeView : public QWidget {
    Q_OBJECT
public:
    explicit ChannelTreeView(ChannelTreeModel* model, QWidget* parent = nullptr);

    ChannelTreeModel* Model() const { return mModel; }
    ChannelTreeSearchModel* SearchModel() const { return mSearch; }
    QTreeView* Tree() const { return mTree; }
    QTreeView* Results() const { return mResults; }
    // The view shown now: the results while a query is set.
    QTreeView* ShownView() const;
    QLineEdit* SearchField() const { return mField; }
    QLabel* MatchLabel() const { return mCount; }
    bool Searching() const;

    // The selected node of the shown view; setting it scrolls it into view.
    TreeNode* CurrentNode() const;
    void SetCurrentNode(TreeNode* node);
    // The node under a point of a view's viewport, and whether the point is
    // on the node's expand decoration.
    TreeNode* NodeAt(const QTreeView* view, const QPoint& pos, bool* onDecoration = nullptr) const;
    // Where a popup for the node opens when asked for by key: at the node.
    QPoint PopupPosition(TreeNode* node) const;

    void FocusSearch();
    // Clears the query and shows the whole tree as it was.
    void ClearSearch();

signals:
    void NodeActivated(TreeNode* node);                            // Enter, Space
    void NodeMenuRequested(TreeNode* node, const QPoint& global);  // Menu, Shift+F10
    void RenameRequested(TreeNode* node);                          // F2
    void RemoveRequested(TreeNode* node);                          // Delete
    void UndoRequested();                                          // Ctrl+Z
    // Enter in the search field: the first matching channel, now selected.
    void SearchActivated(TreeNode* node);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeView* makeView(QAbstractItemModel* model);
    void queryChanged(const QString& text);
    void resultsRebuilt();
    void followModel();
    void openFlagged(TreeNode* from);
    bool treeKey(QTreeView* view, QKeyEvent* key);
    bool fieldKey(QKeyEvent* key);

    ChannelTreeModel* mModel;
    ChannelTreeSearchModel* mSearch;
    QLineEdit* mField = nullptr;
    QLabel* mCount = nullptr;
    QTreeView* mTree = nullptr;
    QTreeView* mResults = nullptr;
    quint32 mResultSerial = 0;  // the results' selected node, found again after a rebuild
    quint32 mTreeSerial = 0;    // the tree's, after a reset
    int mTreeScroll = 0;
    bool mOpeningFlagged = false;
};
