#pragma once
// The channel tree's nodes: what the list files are read into and written
// from, in both programs, and the item model their tree views show. A node
// holds its kind, text, identifier (ChannelID, ChannelListURL or
// MultiMonitorID), the fields the updater keeps beside them, and its
// expanded flag, which is the one the files get: a view follows it and
// tells it the user's expanding and collapsing. Widget-free.
//
// Many changes at once (a file read, a list parsed) go between BeginBatch
// and EndBatch: the views then hear of them as one reset.

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "navigation/NodeTag.h"

class TreeNode {
public:
    NodeKind Kind() const { return mKind; }
    const QString& Text() const { return mText; }
    // ChannelID of channels, favourites and members; ChannelListURL of a
    // list; MultiMonitorID of a folder; empty for groups and roots.
    const QString& ID() const { return mID; }
    // The updater's channel fields besides ID and name: protocol, information
    // file address, saving switch.
    const QStringList& Fields() const { return mFields; }
    bool Expanded() const { return mExpanded; }
    // The viewer's identity tag: the kind's prefix, "_" and the identifier.
    QString Tag() const { return MakeTag(mKind, mID); }

    TreeNode* Parent() const { return mParent && mParent->mParent ? mParent : nullptr; }
    int ChildCount() const { return int(mChildren.size()); }
    TreeNode* Child(int i) const { return mChildren[size_t(i)]; }
    int Row() const { return mRow; }
    int Depth() const;
    // Unique within the model for its whole life; never reused.
    quint32 Serial() const { return mSerial; }

private:
    friend class ChannelTreeModel;
    TreeNode* mParent = nullptr;  // the model's hidden root for the roots
    std::vector<TreeNode*> mChildren;
    QString mText;
    QString mID;
    QStringList mFields;
    int mRow = 0;
    quint32 mSerial = 0;
    NodeKind mKind = NodeKind::None;
    bool mExpanded = false;
};

// How a channel's nodes look, asked by ChannelID when a view draws a node
// or shows its tool tip: a null icon (or no function) gives the plain
// channel image.
struct ChannelLook {
    std::function<QIcon(const QString& ChannelID)> Icon;
    std::function<QString(const QString& ChannelID)> ToolTip;
};

class ChannelTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role {
        TagRole = Qt::UserRole,  // TreeNode::Tag
        KindRole,                // NodeKind as int
        IDRole,
    };

    explicit ChannelTreeModel(QObject* parent = nullptr);
    ~ChannelTreeModel() override;

    // ---- Nodes --------------------------------------------------------
    // Adds a node as the last child of parent (nullptr: the last root); it
    // becomes the most recently added node.
    TreeNode* AddNode(TreeNode* parent, NodeKind kind, const QString& text, const QString& id = QString(),
                      const QStringList& fields = QStringList());
    // Removes the node with everything under it.
    void RemoveNode(TreeNode* node);
    void RemoveChildren(TreeNode* node);
    // Moves the node to row among its siblings.
    void MoveNode(TreeNode* node, int row);
    void SetText(TreeNode* node, const QString& text);
    void SetExpanded(TreeNode* node, bool expanded);
    void SetIdentity(TreeNode* node, NodeKind kind, const QString& id);
    // Kind, text, identifier and fields at once.
    void SetNode(TreeNode* node, NodeKind kind, const QString& text, const QString& id, const QStringList& fields);

    int RootCount() const { return mRoot.ChildCount(); }
    TreeNode* Root(int i) const { return mRoot.Child(i); }
    int ChildCount(const TreeNode* parent) const { return parent ? parent->ChildCount() : RootCount(); }
    TreeNode* Child(const TreeNode* parent, int i) const { return parent ? parent->Child(i) : Root(i); }
    int NodeCount() const { return mNodeCount; }
    TreeNode* LastAddedNode() const { return mLastAdded; }

    // Keys name a few nodes (the viewer's two roots, the updater's 分類なし).
    void SetKey(TreeNode* node, const QString& key);
    TreeNode* NodeByKey(const QString& key) const { return mKeys.value(key, nullptr); }
    QString KeyOf(const TreeNode* node) const { return mKeys.key(const_cast<TreeNode*>(node)); }

    // Lookup by serial, for holders that must survive removals (the
    // updater's running downloads); kept only once asked for.
    void KeepSerialIndex();
    TreeNode* NodeBySerial(quint32 serial) const { return mBySerial.value(serial, nullptr); }

    // Every node under from (nullptr: the whole tree) in pre-order, as the
    // tree shows them; visit(node) returns false to skip a node's children.
    void Walk(const std::function<bool(TreeNode*)>& visit, TreeNode* from = nullptr) const;

    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return mBatch > 0; }

    // ---- Looks ----------------------------------------------------------
    // The updater shows a list as "name(address)" and a channel as
    // "name(ChannelID)"; the viewer shows the text alone.
    void SetShowIdentityInText(bool show);
    QString DisplayText(const TreeNode* node) const;
    // What a search matches: the text as shown, and a channel's ID
    // (SearchKey of both, U+0001 between them).
    QString SearchKeyOf(const TreeNode* node) const;
    // The icon and tool tip of each channel's nodes.
    void SetChannelLook(ChannelLook look);
    // The look of a channel changed: its nodes are drawn again.
    void ChannelLookChanged(const QString& ChannelID);

    // ---- Item model ---------------------------------------------------
    QModelIndex IndexOf(const TreeNode* node) const;
    static TreeNode* NodeOf(const QModelIndex& index) { return static_cast<TreeNode*>(index.internalPointer()); }

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A node's flag was set by the program (not by a view): views follow it.
    void ExpandedChanged(const QModelIndex& index, bool expanded);

private:
    void changed(TreeNode* node);
    void detach(TreeNode* node);
    void destroy(TreeNode* node);
    TreeNode* parentOf(TreeNode* parent) { return parent ? parent : &mRoot; }

    TreeNode mRoot;
    int mNodeCount = 0;
    quint32 mNextSerial = 1;
    int mBatch = 0;
    bool mShowIdentity = false;
    bool mSerialIndex = false;
    TreeNode* mLastAdded = nullptr;
    QHash<QString, TreeNode*> mKeys;
    QHash<quint32, TreeNode*> mBySerial;
    ChannelLook mChannelLook;
    // The nodes of each channel by CaseKey, made when a look first changes.
    QMultiHash<QString, TreeNode*> mChannelNodes;
    bool mChannelNodesKept = false;
    void keepChannelNode(TreeNode* node, bool add);
};
