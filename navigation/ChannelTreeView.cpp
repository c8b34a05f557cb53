#include "navigation/ChannelTreeView.h"

#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeSearch.h"
#include "view/KeyboardShortcuts.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// Matches whose ancestors a search opens at most; a great many more would
// make every keystroke lay them all out.
constexpr int kOpenedMatches = 2000;

// The same frame width with and without focus, so rows do not move when
// the focus comes; with it the frame takes the highlight colour.
const char* const kFocusFrame =
    "QTreeView { border: 1px solid palette(mid); padding: 1px; }"
    "QTreeView:focus { border: 2px solid palette(highlight); padding: 0px; }";

}  // namespace

ChannelTreeView::ChannelTreeView(ChannelTreeModel* model, QWidget* parent)
    : QWidget(parent), mModel(model), mSearch(new ChannelTreeSearchModel(model, this)) {
    mField = new QLineEdit(this);
    mField->setObjectName(QStringLiteral("txtChannelSearch"));
    mField->setPlaceholderText(QStringLiteral("チャンネルを検索"));
    mField->setClearButtonEnabled(true);
    mField->installEventFilter(this);
    mCount = new QLabel(this);
    mCount->setObjectName(QStringLiteral("lblChannelSearchCount"));
    mCount->setVisible(false);

    mTree = makeView(model);
    mTree->setObjectName(QStringLiteral("tvwChannelTree"));
    mResults = makeView(mSearch);
    mResults->setObjectName(QStringLiteral("tvwChannelSearchResults"));
    mResults->setVisible(false);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(mField, 1);
    row->addWidget(mCount);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addLayout(row);
    column->addWidget(mTree, 1);
    column->addWidget(mResults, 1);
    // The tree comes first, and has the focus when the window opens; the
    // search field after it.
    setTabOrder(mTree, mResults);
    setTabOrder(mResults, mField);
    mTree->setFocus();

    connect(mField, &QLineEdit::textChanged, this, &ChannelTreeView::queryChanged);
    connect(mSearch, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const TreeNode* current = ChannelTreeModel::NodeOf(mResults->currentIndex());
        if (current) mResultSerial = current->Serial();
    });
    connect(mSearch, &ChannelTreeSearchModel::Rebuilt, this, &ChannelTreeView::resultsRebuilt);
    followModel();
    openFlagged(nullptr);  // a model that holds nodes already

    auto* find = new QAction(this);
    find->setShortcuts(ShortcutKeys(KeyCommand::FindChannel));
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, &ChannelTreeView::FocusSearch);
    addAction(find);
    // In the search field Ctrl+Z undoes typing: the field takes it first.
    auto* undo = new QAction(this);
    undo->setShortcuts(ShortcutKeys(KeyCommand::UndoRemoval));
    undo->setShortcutContext(Qt::WindowShortcut);
    connect(undo, &QAction::triggered, this, &ChannelTreeView::UndoRequested);
    addAction(undo);
}

QTreeView* ChannelTreeView::makeView(QAbstractItemModel* model) {
    auto* view = new QTreeView(this);
    view->setModel(model);
    view->setHeaderHidden(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setUniformRowHeights(true);
    view->setStyleSheet(QLatin1String(kFocusFrame));
    view->installEventFilter(this);
    return view;
}

void ChannelTreeView::followModel() {
    // The model's flags are the expanded state the files keep: the whole
    // tree shows them and gives the user's changes back. The results' own
    // expanding never reaches them.
    connect(mModel, &ChannelTreeModel::ExpandedChanged, mTree,
            [this](const QModelIndex& index, bool expanded) { mTree->setExpanded(index, expanded); });
    connect(mTree, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        TreeNode* node = ChannelTreeModel::NodeOf(index);
        mModel->SetExpanded(node, true);
        if (!mOpeningFlagged) openFlagged(node);
    });
    connect(mTree, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { mModel->SetExpanded(ChannelTreeModel::NodeOf(index), false); });
    // Many changes at once reach the views as a reset: the selected node
    // and the scrolling stay where they were.
    connect(mModel, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        const TreeNode* current = ChannelTreeModel::NodeOf(mTree->currentIndex());
        mTreeSerial = current ? current->Serial() : 0;
        mTreeScroll = mTree->verticalScrollBar()->value();
    });
    connect(mModel, &QAbstractItemModel::modelReset, this, [this] {
        openFlagged(nullptr);
        if (mTreeSerial == 0) return;
        TreeNode* current = nullptr;
        mModel->Walk([this, &current](TreeNode* node) {
            if (node->Serial() == mTreeSerial) current = node;
            return !current;
        });
        if (!current) return;
        mTree->setCurrentIndex(mModel->IndexOf(current));
        mTree->doItemsLayout();
        mTree->verticalScrollBar()->setValue(mTreeScroll);
    });
}

void ChannelTreeView::openFlagged(TreeNode* from) {
    // Only what shows: the nodes under a closed node take their flags when
    // it opens, so a tree of 100 000 channels in closed lists opens in the
    // time its few open nodes take. Opening a node from here tells the view
    // once, not again for what lies below it (no recursion, however deep).
    mOpeningFlagged = true;
    mModel->Walk(
        [this, from](TreeNode* node) {
            if (node == from) return true;
            if (!node->Expanded()) return false;
            mTree->expand(mModel->IndexOf(node));
            return true;
        },
        from);
    mOpeningFlagged = false;
}

QTreeView* ChannelTreeView::ShownView() const { return Searching() ? mResults : mTree; }

bool ChannelTreeView::Searching() const { return !mSearch->Query().isEmpty(); }

TreeNode* ChannelTreeView::CurrentNode() const { return ChannelTreeModel::NodeOf(ShownView()->currentIndex()); }

namespace {

// Whether every ancestor is expanded in the view: scrolling to a node would
// expand them, and the whole tree's expanded flags are the files'.
bool rowShown(const QTreeView* view, const QModelIndex& index) {
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        if (!view->isExpanded(p)) return false;
    return index.isValid();
}

}  // namespace

void ChannelTreeView::SetCurrentNode(TreeNode* node) {
    QTreeView* view = ShownView();
    const QModelIndex index = view == mResults ? mSearch->IndexOf(node) : mModel->IndexOf(node);
    view->setCurrentIndex(index);
    if (rowShown(view, index)) view->scrollTo(index);
}

TreeNode* ChannelTreeView::NodeAt(const QTreeView* view, const QPoint& pos, bool* onDecoration) const {
    const QModelIndex index = view->indexAt(pos);
    if (onDecoration) *onDecoration = index.isValid() && pos.x() < view->visualRect(index).x();
    return ChannelTreeModel::NodeOf(index);
}

QPoint ChannelTreeView::PopupPosition(TreeNode* node) const {
    QTreeView* view = ShownView();
    const QModelIndex index = view == mResults ? mSearch->IndexOf(node) : mModel->IndexOf(node);
    if (!rowShown(view, index)) return view->viewport()->mapToGlobal(QPoint(0, 0));
    view->scrollTo(index);
    const QRect r = view->visualRect(index);
    return view->viewport()->mapToGlobal(QPoint(r.left() + r.height(), r.bottom()));
}

void ChannelTreeView::FocusSearch() {
    mField->setFocus(Qt::ShortcutFocusReason);
    mField->selectAll();
}

void ChannelTreeView::ClearSearch() { mField->clear(); }

void ChannelTreeView::queryChanged(const QString& text) {
    const bool had = Searching();
    mSearch->SetQuery(text);
    const bool searching = Searching();
    mCount->setVisible(searching);
    if (searching == had) return;
    // Only the view changes: the whole tree keeps its state while hidden.
    const bool focused = mTree->hasFocus() || mResults->hasFocus();
    mResults->setVisible(searching);
    mTree->setVisible(!searching);
    if (focused) ShownView()->setFocus();
}

void ChannelTreeView::resultsRebuilt() {
    mCount->setText(QStringLiteral("%1 件").arg(mSearch->MatchCount()));
    // The ancestors of the matches are open, so each shows where it is; of
    // a great many, those of the first few thousand, so a keystroke stays
    // quick (the others are shown closed, ready to open).
    int budget = kOpenedMatches;
    std::vector<QModelIndex> open{QModelIndex()};
    while (!open.empty() && budget > 0) {
        const QModelIndex parent = open.back();
        open.pop_back();
        if (parent.isValid()) mResults->expand(parent);
        const int rows = mSearch->rowCount(parent);
        for (int row = rows - 1; row >= 0; --row) {
            const QModelIndex child = mSearch->index(row, 0, parent);
            if (mSearch->hasChildren(child)) open.push_back(child);
        }
        budget -= rows;
    }
    if (mResultSerial == 0) return;
    // The selected node is kept if it is still shown.
    const quint32 serial = mResultSerial;
    mResultSerial = 0;
    std::vector<QModelIndex> todo{QModelIndex()};
    while (!todo.empty()) {
        const QModelIndex parent = todo.back();
        todo.pop_back();
        for (int row = 0; row < mSearch->rowCount(parent); ++row) {
            const QModelIndex index = mSearch->index(row, 0, parent);
            if (ChannelTreeModel::NodeOf(index)->Serial() == serial) return mResults->setCurrentIndex(index);
            todo.push_back(index);
        }
    }
}

bool ChannelTreeView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && watched == mField) {
        mSearch->Prepare();
    } else if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == mField) return fieldKey(key);
        if (watched == mTree || watched == mResults) return treeKey(static_cast<QTreeView*>(watched), key);
    } else if (event->type() == QEvent::ContextMenu && (watched == mTree || watched == mResults)) {
        // The keyboard's menu request, where the platform sends one.
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            if (TreeNode* node = CurrentNode()) emit NodeMenuRequested(node, PopupPosition(node));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ChannelTreeView::fieldKey(QKeyEvent* key) {
    if (IsShortcutKey(KeyCommand::OpenFirstMatch, key)) {
        if (TreeNode* node = mSearch->FirstChannel()) {
            SetCurrentNode(node);
            emit SearchActivated(node);
        }
        return true;
    }
    if (IsShortcutKey(KeyCommand::IntoResults, key)) {
        if (!Searching() || mSearch->rowCount() == 0) return false;
        mResults->setFocus(Qt::TabFocusReason);
        if (!mResults->currentIndex().isValid()) {
            TreeNode* first = mSearch->FirstChannel();
            mResults->setCurrentIndex(first ? mSearch->IndexOf(first) : mSearch->index(0, 0));
        }
        return true;
    }
    if (IsShortcutKey(KeyCommand::EndSearch, key)) {
        if (Searching())
            ClearSearch();
        else
            mTree->setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}

bool ChannelTreeView::treeKey(QTreeView* view, QKeyEvent* key) {
    TreeNode* node = ChannelTreeModel::NodeOf(view->currentIndex());
    if (IsShortcutKey(KeyCommand::OpenNode, key)) {
        if (node) emit NodeActivated(node);
        return true;
    }
    if (IsShortcutKey(KeyCommand::NodePopup, key)) {
        if (node) emit NodeMenuRequested(node, PopupPosition(node));
        return true;
    }
    if (IsShortcutKey(KeyCommand::RenameFolder, key)) {
        if (node) emit RenameRequested(node);
        return true;
    }
    if (IsShortcutKey(KeyCommand::RemoveNode, key)) {
        if (node) emit RemoveRequested(node);
        return true;
    }
    if (IsShortcutKey(KeyCommand::EndSearch, key) && Searching()) {
        ClearSearch();
        return true;
    }
    // Typing in the tree is typing into the search: the view's own
    // type-ahead only finds the start of rows already shown.
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    const QString text = key->text();
    if ((mods == Qt::NoModifier || mods == Qt::ShiftModifier) && !text.isEmpty() && text.at(0).isPrint()) {
        mField->setFocus(Qt::OtherFocusReason);
        mField->insert(text);
        return true;
    }
    return false;
}
