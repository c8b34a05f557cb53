#pragma once
// The channel tree as a search shows it: every node whose text or channel
// ID holds the query (SearchKey: case, width and kana aside) and the
// ancestors that show where it is, in tree order. The nodes are the tree
// model's own; it follows the tree's changes while a query is set. An empty
// query shows nothing. Widget-free.

#include <QAbstractItemModel>
#include <QString>

#include <unordered_map>
#include <vector>

class ChannelTreeModel;
class TreeNode;

class ChannelTreeSearchModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit ChannelTreeSearchModel(ChannelTreeModel* tree, QObject* parent = nullptr);

    void SetQuery(const QString& query);
    // Makes every node's search key now (when the search field gets the
    // focus), so the first keystroke is as quick as the others.
    void Prepare();
    const QString& Query() const { return mQuery; }
    // Nodes that match, ancestors shown only for them not counted.
    int MatchCount() const { return mMatchCount; }
    bool IsMatch(const TreeNode* node) const;
    // The first channel, favourite or folder member that matches, in tree order.
    TreeNode* FirstChannel() const { return mFirstChannel; }
    // Whether a node is shown, and where.
    QModelIndex IndexOf(const TreeNode* node) const;
    ChannelTreeModel* Tree() const { return mTree; }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The shown nodes were made anew (a new query, or the tree changed).
    void Rebuilt();

private:
    struct Shown {
        int Row = 0;                      // among the shown children of its parent
        std::vector<TreeNode*> Children;  // the shown ones, in order
    };
    void rebuild();
    void index();
    void beginChange(bool treeChanged);
    void endChange();
    const Shown* shown(const TreeNode* node) const;

    // Every node's search key in tree order, made at the first search and
    // again after the tree changed: a keystroke is one pass over it.
    struct Entry {
        TreeNode* Node;
        TreeNode* Parent;  // kept here: a pass need not visit the nodes
        QString Key;
    };
    std::vector<Entry> mIndex;
    bool mIndexed = false;
    // The index positions that matched the last key: a key that holds it
    // (the user typed on) can only match among them.
    std::vector<size_t> mMatched;
    QString mMatchedKey;

    ChannelTreeModel* mTree;
    QString mQuery;  // as typed
    QString mKey;    // its SearchKey
    int mMatchCount = 0;
    TreeNode* mFirstChannel = nullptr;
    // Nodes with shown children, the roots' list under nullptr; a shown
    // leaf is only in its parent's list. Entries stay where they are while
    // others are added.
    std::unordered_map<const TreeNode*, Shown> mShown;
    bool mResetting = false;
};
