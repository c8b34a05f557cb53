#include "navigation/ChannelTreeSearch.h"

#include "common/SearchText.h"
#include "navigation/ChannelTreeModel.h"

#include <algorithm>

namespace {

bool isChannelKind(NodeKind kind) {
    return kind == NodeKind::Channel || kind == NodeKind::FavariteChannel || kind == NodeKind::MultiMonitorChannel;
}

}  // namespace

ChannelTreeSearchModel::ChannelTreeSearchModel(ChannelTreeModel* tree, QObject* parent)
    : QAbstractItemModel(parent), mTree(tree) {
    // Nodes are held by pointer: the shown ones are dropped before the tree
    // removes any, and found again once it has.
    auto before = [this] { beginChange(true); };
    auto after = [this] { endChange(); };
    auto whole = [this] {
        beginChange(true);
        endChange();
    };
    connect(tree, &QAbstractItemModel::rowsAboutToBeRemoved, this, before);
    connect(tree, &QAbstractItemModel::rowsRemoved, this, after);
    connect(tree, &QAbstractItemModel::rowsAboutToBeMoved, this, before);
    connect(tree, &QAbstractItemModel::rowsMoved, this, after);
    connect(tree, &QAbstractItemModel::modelAboutToBeReset, this, before);
    connect(tree, &QAbstractItemModel::modelReset, this, after);
    connect(tree, &QAbstractItemModel::layoutAboutToBeChanged, this, before);
    connect(tree, &QAbstractItemModel::layoutChanged, this, after);
    connect(tree, &QAbstractItemModel::rowsInserted, this, whole);
    connect(tree, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                // A look changes nothing a query matches; a text may.
                const bool look = !roles.isEmpty() && !roles.contains(Qt::DisplayRole);
                if (!look) mIndexed = false;
                if (mKey.isEmpty()) return;
                if (!look) {
                    beginChange(true);
                    endChange();
                    return;
                }
                for (int row = from.row(); row <= to.row(); ++row) {
                    const QModelIndex at = IndexOf(ChannelTreeModel::NodeOf(from.siblingAtRow(row)));
                    if (at.isValid()) emit dataChanged(at, at, roles);
                }
            });
}

void ChannelTreeSearchModel::SetQuery(const QString& query) {
    // Control characters cannot be typed into a name; U+0001 parts a key's text from its ID.
    QString key = SearchKey(query);
    key.removeIf([](QChar c) { return c.unicode() < 0x20; });
    mQuery = query;
    if (key == mKey) return;
    mKey = key;
    beginChange(false);
    endChange();
}

void ChannelTreeSearchModel::beginChange(bool treeChanged) {
    // The keys of a changed tree are made again when next needed.
    if (treeChanged) mIndexed = false;
    if (mResetting) return;
    mResetting = true;
    beginResetModel();
    mShown.clear();
    mMatchCount = 0;
    mFirstChannel = nullptr;
}

void ChannelTreeSearchModel::endChange() {
    if (!mResetting) return;
    rebuild();
    mResetting = false;
    endResetModel();
    emit Rebuilt();
}

void ChannelTreeSearchModel::Prepare() { index(); }

void ChannelTreeSearchModel::index() {
    if (mIndexed) return;
    mIndex.clear();
    mIndex.reserve(size_t(mTree->NodeCount()));
    mTree->Walk([this](TreeNode* node) {
        mIndex.push_back({node, node->Parent(), mTree->SearchKeyOf(node)});
        return true;
    });
    mIndexed = true;
    mMatchedKey.clear();
}

void ChannelTreeSearchModel::rebuild() {
    mShown.clear();
    mShown[nullptr];
    mMatchCount = 0;
    mFirstChannel = nullptr;
    if (mKey.isEmpty()) return;
    index();
    const bool narrowing = !mMatchedKey.isEmpty() && mKey.contains(mMatchedKey);
    std::vector<size_t> matched;
    if (narrowing) {
        for (const size_t i : mMatched)
            if (mIndex[i].Key.contains(mKey)) matched.push_back(i);
    } else {
        for (size_t i = 0; i < mIndex.size(); ++i)
            if (mIndex[i].Key.contains(mKey)) matched.push_back(i);
    }
    mMatched.swap(matched);
    mMatchedKey = mKey;
    // A node's entry is made when its first shown child is added; in
    // pre-order the node is then the last shown child of its own parent.
    auto entryFor = [this](const TreeNode* node) -> Shown& {
        auto it = mShown.find(node);
        if (it != mShown.end()) return it->second;
        Shown& entry = mShown[node];
        entry.Row = int(mShown[node->Parent()].Children.size()) - 1;
        return entry;
    };
    const TreeNode* lastParent = nullptr;
    Shown* lastShown = nullptr;  // the entry of lastParent, whose children matches mostly are
    std::vector<TreeNode*> chain;
    mMatchCount = int(mMatched.size());
    for (const size_t i : mMatched) {
        TreeNode* node = mIndex[i].Node;
        if (!mFirstChannel && isChannelKind(node->Kind())) mFirstChannel = node;
        TreeNode* parent = mIndex[i].Parent;
        if (lastShown && parent == lastParent) {
            lastShown->Children.push_back(node);
            continue;
        }
        // The node and its ancestors not shown yet, added from the top.
        chain.clear();
        for (TreeNode* n = node; n; n = n->Parent()) {
            const auto it = mShown.find(n->Parent());
            if (it != mShown.end() && !it->second.Children.empty() && it->second.Children.back() == n) break;
            chain.push_back(n);
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) entryFor((*it)->Parent()).Children.push_back(*it);
        lastParent = parent;
        lastShown = &entryFor(parent);
    }
}

const ChannelTreeSearchModel::Shown* ChannelTreeSearchModel::shown(const TreeNode* node) const {
    const auto it = mShown.find(node);
    return it == mShown.end() ? nullptr : &it->second;
}

bool ChannelTreeSearchModel::IsMatch(const TreeNode* node) const {
    return node && !mKey.isEmpty() && mTree->SearchKeyOf(node).contains(mKey);
}

QModelIndex ChannelTreeSearchModel::IndexOf(const TreeNode* node) const {
    if (!node) return QModelIndex();
    const Shown* siblings = shown(node->Parent());
    if (!siblings) return QModelIndex();
    // The shown children are in the order of the tree's rows.
    const auto& c = siblings->Children;
    const auto it =
        std::lower_bound(c.begin(), c.end(), node->Row(), [](const TreeNode* n, int row) { return n->Row() < row; });
    if (it == c.end() || *it != node) return QModelIndex();
    return createIndex(int(it - c.begin()), 0, const_cast<TreeNode*>(node));
}

QModelIndex ChannelTreeSearchModel::index(int row, int column, const QModelIndex& parent) const {
    const Shown* owner = shown(ChannelTreeModel::NodeOf(parent));
    if (!owner || column != 0 || row < 0 || row >= int(owner->Children.size())) return QModelIndex();
    return createIndex(row, 0, owner->Children[size_t(row)]);
}

QModelIndex ChannelTreeSearchModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return QModelIndex();
    const TreeNode* parent = ChannelTreeModel::NodeOf(child)->Parent();
    if (!parent) return QModelIndex();
    const Shown* entry = shown(parent);
    return entry ? createIndex(entry->Row, 0, const_cast<TreeNode*>(parent)) : QModelIndex();
}

int ChannelTreeSearchModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    const Shown* owner = shown(ChannelTreeModel::NodeOf(parent));
    return owner ? int(owner->Children.size()) : 0;
}

int ChannelTreeSearchModel::columnCount(const QModelIndex&) const { return 1; }

bool ChannelTreeSearchModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant ChannelTreeSearchModel::data(const QModelIndex& index, int role) const {
    return index.isValid() ? mTree->data(mTree->IndexOf(ChannelTreeModel::NodeOf(index)), role) : QVariant();
}

Qt::ItemFlags ChannelTreeSearchModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // Lets a view that expands everything skip the leaves at once.
    if (!hasChildren(index)) f |= Qt::ItemNeverHasChildren;
    return f;
}
