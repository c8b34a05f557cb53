#include "navigation/ChannelTreeModel.h"

#include "common/SearchText.h"
#include "common/TextCompare.h"
#include "navigation/TreeIcons.h"

namespace {

bool isChannelKind(NodeKind kind) {
    return kind == NodeKind::Channel || kind == NodeKind::FavariteChannel || kind == NodeKind::MultiMonitorChannel;
}

}  // namespace

int TreeNode::Depth() const {
    int depth = 0;
    for (const TreeNode* p = Parent(); p; p = p->Parent()) ++depth;
    return depth;
}

ChannelTreeModel::ChannelTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

ChannelTreeModel::~ChannelTreeModel() {
    for (TreeNode* root : mRoot.mChildren) destroy(root);
}

// ---- Nodes -----------------------------------------------------------------

TreeNode* ChannelTreeModel::AddNode(TreeNode* parent, NodeKind kind, const QString& text, const QString& id,
                                    const QStringList& fields) {
    TreeNode* owner = parentOf(parent);
    auto* node = new TreeNode;
    node->mParent = owner;
    node->mKind = kind;
    node->mText = text;
    node->mID = id;
    node->mFields = fields;
    node->mSerial = mNextSerial++;
    node->mRow = owner->ChildCount();
    const bool signal = mBatch == 0;
    if (signal) beginInsertRows(IndexOf(parent), node->mRow, node->mRow);
    owner->mChildren.push_back(node);
    ++mNodeCount;
    if (mSerialIndex) mBySerial.insert(node->mSerial, node);
    keepChannelNode(node, true);
    mLastAdded = node;
    if (signal) endInsertRows();
    return node;
}

void ChannelTreeModel::detach(TreeNode* node) {
    TreeNode* owner = node->mParent;
    const int row = node->mRow;
    const bool signal = mBatch == 0;
    if (signal) beginRemoveRows(IndexOf(node->Parent()), row, row);
    owner->mChildren.erase(owner->mChildren.begin() + row);
    for (size_t i = size_t(row); i < owner->mChildren.size(); ++i) owner->mChildren[i]->mRow = int(i);
    if (signal) endRemoveRows();
}

void ChannelTreeModel::destroy(TreeNode* node) {
    // With an explicit stack: a deep tree must not exhaust the real one.
    std::vector<TreeNode*> stack{node};
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        stack.insert(stack.end(), n->mChildren.begin(), n->mChildren.end());
        if (mSerialIndex) mBySerial.remove(n->mSerial);
        keepChannelNode(n, false);
        if (mLastAdded == n) mLastAdded = nullptr;
        --mNodeCount;
        delete n;
    }
}

void ChannelTreeModel::RemoveNode(TreeNode* node) {
    if (!node) return;
    for (auto it = mKeys.begin(); it != mKeys.end();) {
        bool under = false;
        for (const TreeNode* n = it.value(); n && !under; n = n->Parent()) under = n == node;
        it = under ? mKeys.erase(it) : std::next(it);
    }
    detach(node);
    destroy(node);
}

void ChannelTreeModel::RemoveChildren(TreeNode* node) {
    if (!node || node->mChildren.empty()) return;
    for (auto it = mKeys.begin(); it != mKeys.end();) {
        bool under = false;
        for (const TreeNode* n = it.value()->Parent(); n && !under; n = n->Parent()) under = n == node;
        it = under ? mKeys.erase(it) : std::next(it);
    }
    const bool signal = mBatch == 0;
    if (signal) beginRemoveRows(IndexOf(node), 0, node->ChildCount() - 1);
    std::vector<TreeNode*> children;
    children.swap(node->mChildren);
    if (signal) endRemoveRows();
    for (TreeNode* child : children) destroy(child);
}

void ChannelTreeModel::MoveNode(TreeNode* node, int row) {
    TreeNode* owner = node->mParent;
    row = qBound(0, row, owner->ChildCount() - 1);
    const int from = node->mRow;
    if (row == from) return;
    const QModelIndex parent = IndexOf(node->Parent());
    const bool signal = mBatch == 0;
    // Qt counts the destination before the move: one past the row when moving down.
    if (signal) beginMoveRows(parent, from, from, parent, row > from ? row + 1 : row);
    owner->mChildren.erase(owner->mChildren.begin() + from);
    owner->mChildren.insert(owner->mChildren.begin() + row, node);
    for (int i = qMin(from, row); i <= qMax(from, row); ++i) owner->mChildren[size_t(i)]->mRow = i;
    if (signal) endMoveRows();
}

void ChannelTreeModel::changed(TreeNode* node) {
    if (mBatch > 0) return;
    const QModelIndex index = IndexOf(node);
    emit dataChanged(index, index);
}

void ChannelTreeModel::SetText(TreeNode* node, const QString& text) {
    if (!node || node->mText == text) return;
    node->mText = text;
    changed(node);
}

void ChannelTreeModel::SetExpanded(TreeNode* node, bool expanded) {
    if (!node || node->mExpanded == expanded) return;
    node->mExpanded = expanded;
    if (mBatch == 0) emit ExpandedChanged(IndexOf(node), expanded);
}

void ChannelTreeModel::SetIdentity(TreeNode* node, NodeKind kind, const QString& id) {
    if (!node) return;
    keepChannelNode(node, false);
    node->mKind = kind;
    node->mID = id;
    keepChannelNode(node, true);
    changed(node);
}

void ChannelTreeModel::SetNode(TreeNode* node, NodeKind kind, const QString& text, const QString& id,
                               const QStringList& fields) {
    if (!node) return;
    keepChannelNode(node, false);
    node->mKind = kind;
    node->mText = text;
    node->mID = id;
    node->mFields = fields;
    keepChannelNode(node, true);
    changed(node);
}

void ChannelTreeModel::SetKey(TreeNode* node, const QString& key) {
    if (node)
        mKeys.insert(key, node);
    else
        mKeys.remove(key);
}

void ChannelTreeModel::KeepSerialIndex() {
    if (mSerialIndex) return;
    mSerialIndex = true;
    Walk([this](TreeNode* n) {
        mBySerial.insert(n->mSerial, n);
        return true;
    });
}

void ChannelTreeModel::Walk(const std::function<bool(TreeNode*)>& visit, TreeNode* from) const {
    std::vector<TreeNode*> stack;
    const TreeNode* start = from ? from : &mRoot;
    if (from) {
        stack.push_back(from);
    } else {
        stack.assign(start->mChildren.rbegin(), start->mChildren.rend());
    }
    while (!stack.empty()) {
        TreeNode* n = stack.back();
        stack.pop_back();
        if (visit(n)) stack.insert(stack.end(), n->mChildren.rbegin(), n->mChildren.rend());
    }
}

void ChannelTreeModel::BeginBatch() {
    if (mBatch++ == 0) beginResetModel();
}

void ChannelTreeModel::EndBatch() {
    if (mBatch > 0 && --mBatch == 0) endResetModel();
}

// ---- Looks -------------------------------------------------------------------

void ChannelTreeModel::SetShowIdentityInText(bool show) {
    if (show == mShowIdentity) return;
    beginResetModel();
    mShowIdentity = show;
    endResetModel();
}

QString ChannelTreeModel::DisplayText(const TreeNode* node) const {
    if (!node) return QString();
    if (mShowIdentity && (node->mKind == NodeKind::Channel || node->mKind == NodeKind::ChannelList))
        return node->mText + QLatin1Char('(') + node->mID + QLatin1Char(')');
    return node->mText;
}

QString ChannelTreeModel::SearchKeyOf(const TreeNode* node) const {
    const QString text = DisplayText(node);
    const bool channel = isChannelKind(node->mKind);
    QString key;
    key.reserve(text.size() + (channel ? node->mID.size() + 1 : 0));
    AppendSearchKey(key, text);
    if (channel) {
        key += QChar(u'\u0001');
        AppendSearchKey(key, node->mID);
    }
    return key;
}

void ChannelTreeModel::SetChannelLook(ChannelLook look) {
    beginResetModel();
    mChannelLook = std::move(look);
    endResetModel();
}

void ChannelTreeModel::keepChannelNode(TreeNode* node, bool add) {
    if (!mChannelNodesKept || !isChannelKind(node->mKind)) return;
    if (add)
        mChannelNodes.insert(CaseKey(node->mID), node);
    else
        mChannelNodes.remove(CaseKey(node->mID), node);
}

void ChannelTreeModel::ChannelLookChanged(const QString& ChannelID) {
    if (mBatch > 0) return;
    // Looks change often while channels are watched: their nodes are
    // found by ID, not by walking the tree each time.
    if (!mChannelNodesKept) {
        mChannelNodesKept = true;
        Walk([this](TreeNode* n) {
            keepChannelNode(n, true);
            return true;
        });
    }
    for (TreeNode* n : mChannelNodes.values(CaseKey(ChannelID))) {
        const QModelIndex index = IndexOf(n);
        emit dataChanged(index, index, {Qt::DecorationRole, Qt::ToolTipRole});
    }
}

// ---- Item model ----------------------------------------------------------------

QModelIndex ChannelTreeModel::IndexOf(const TreeNode* node) const {
    if (!node || node == &mRoot) return QModelIndex();
    return createIndex(node->mRow, 0, const_cast<TreeNode*>(node));
}

QModelIndex ChannelTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const TreeNode* owner = parent.isValid() ? NodeOf(parent) : &mRoot;
    if (column != 0 || row < 0 || row >= owner->ChildCount()) return QModelIndex();
    return createIndex(row, 0, owner->Child(row));
}

QModelIndex ChannelTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) return QModelIndex();
    return IndexOf(NodeOf(child)->Parent());
}

int ChannelTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) return 0;
    return parent.isValid() ? NodeOf(parent)->ChildCount() : mRoot.ChildCount();
}

int ChannelTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool ChannelTreeModel::hasChildren(const QModelIndex& parent) const { return rowCount(parent) > 0; }

QVariant ChannelTreeModel::data(const QModelIndex& index, int role) const {
    const TreeNode* node = NodeOf(index);
    if (!node) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return DisplayText(node);
        case Qt::DecorationRole:
            if (isChannelKind(node->mKind) && mChannelLook.Icon) {
                const QIcon icon = mChannelLook.Icon(node->mID);
                if (!icon.isNull()) return icon;
            }
            return NodeIcon(node->mKind);
        case Qt::ToolTipRole:
            if (isChannelKind(node->mKind) && mChannelLook.ToolTip) return mChannelLook.ToolTip(node->mID);
            return QVariant();
        case TagRole:
            return node->Tag();
        case KindRole:
            return int(node->mKind);
        case IDRole:
            return node->mID;
        default:
            return QVariant();
    }
}

Qt::ItemFlags ChannelTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
