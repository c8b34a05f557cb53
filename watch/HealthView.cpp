#include "watch/HealthView.h"

#include "channel/ChannelState.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

#include <limits>

namespace {

// A column's value that decides whether its cell must be drawn again.
QVariant cellKey(const ChannelHealth& h, int column) {
    switch (column) {
        case HealthModel::Name:
            return h.Name;
        case HealthModel::ID:
            return h.ChannelID;
        case HealthModel::Status:
            return h.Now.Status;
        case HealthModel::State:
            return int(h.Now.What);
        case HealthModel::LastPicture:
            return h.Now.PictureAgeMs < 0 ? qint64(-1) : h.Now.PictureAgeMs / 1000;
        case HealthModel::Failures:
            return h.ConsecutiveFailures;
        case HealthModel::LastFailure:
            return h.LastFailureAt.toString(Qt::ISODate) + h.Now.FailureText;
        case HealthModel::Bytes:
            return h.BytesReceived;
        case HealthModel::Saved:
            return h.PicturesSaved;
    }
    return QVariant();
}

}  // namespace

QString ByteText(qint64 bytes) {
    if (bytes < 1024) return QStringLiteral("%1 B").arg(bytes);
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

HealthModel::HealthModel(const ChannelWatch& watch, QObject* parent) : QAbstractTableModel(parent), mWatch(watch) {}

int HealthModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(mRows.size()); }

int HealthModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

void HealthModel::Refresh() {
    const QStringList& tracked = mWatch.Tracked();
    const QSet<QString> wanted(tracked.cbegin(), tracked.cend());
    for (int row = int(mRows.size()) - 1; row >= 0; --row) {
        if (wanted.contains(mRows[row].ChannelID)) continue;
        beginRemoveRows(QModelIndex(), row, row);
        mRows.removeAt(row);
        endRemoveRows();
    }
    QSet<QString> present;
    for (const ChannelHealth& h : mRows) present.insert(h.ChannelID);
    QStringList added;
    for (const QString& id : tracked)
        if (!present.contains(id)) added << id;
    if (!added.isEmpty()) {
        beginInsertRows(QModelIndex(), int(mRows.size()), int(mRows.size() + added.size()) - 1);
        for (const QString& id : added) mRows << mWatch.Health(id);
        endInsertRows();
    }
    // One signal per changed column, over the rows it changed in: a
    // refresh of hundreds of rows stays a handful of signals.
    int first[ColumnCount], last[ColumnCount];
    std::fill(std::begin(first), std::end(first), std::numeric_limits<int>::max());
    std::fill(std::begin(last), std::end(last), -1);
    for (int row = 0; row < mRows.size(); ++row) {
        ChannelHealth now = mWatch.Health(mRows[row].ChannelID);
        for (int c = 0; c < ColumnCount; ++c) {
            if (cellKey(now, c) == cellKey(mRows[row], c)) continue;
            first[c] = std::min(first[c], row);
            last[c] = row;
        }
        mRows[row] = std::move(now);
    }
    for (int c = 0; c < ColumnCount; ++c)
        if (last[c] >= 0) emit dataChanged(index(first[c], c), index(last[c], c), {Qt::DisplayRole});
}

QVariant HealthModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= mRows.size()) return QVariant();
    const ChannelHealth& h = mRows[index.row()];
    const ConditionNow& now = h.Now;
    if (role == ConditionRole) return int(now.What);
    if (role == ChannelIDRole) return h.ChannelID;
    if (role == Qt::TextAlignmentRole) {
        const int c = index.column();
        const bool number = c == Failures || c == Bytes || c == Saved;
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    const bool sort = role == SortRole;
    if (!sort && role != Qt::DisplayRole) return QVariant();
    switch (index.column()) {
        case Name:
            return h.Name;
        case ID:
            return h.ChannelID;
        case Status:
            if (sort) return now.Status;
            return now.Status < 0 ? QString() : StatusWord(now.Status);
        case State:
            if (sort) return int(now.What);
            return ConditionWord(now.What);
        case LastPicture:
            // Never a picture sorts after the oldest one.
            if (sort) return now.PictureAgeMs < 0 ? std::numeric_limits<qint64>::max() : now.PictureAgeMs;
            if (now.PictureAgeMs < 0) return QString();
            return h.LastNewPicture.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("（") +
                   DurationText(now.PictureAgeMs) + QStringLiteral("前）");
        case Failures:
            return h.ConsecutiveFailures;
        case LastFailure:
            if (sort) return h.LastFailureAt;
            if (now.FailureText.isEmpty()) return QString();
            return h.LastFailureAt.toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') + now.FailureText;
        case Bytes:
            if (sort) return h.BytesReceived;
            return ByteText(h.BytesReceived);
        case Saved:
            return h.PicturesSaved;
    }
    return QVariant();
}

QVariant HealthModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const kHeaders[ColumnCount] = {"名前",     "ID",         "放送状態", "状態",    "最終更新",
                                                      "連続失敗", "最後の失敗", "受信量",   "保存枚数"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

void HealthFilter::setProblemsOnly(bool on) {
    if (mProblemsOnly == on) return;
    mProblemsOnly = on;
    invalidateFilter();
}

bool HealthFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!mProblemsOnly) return true;
    const auto what =
        Condition(sourceModel()->index(sourceRow, 0, sourceParent).data(HealthModel::ConditionRole).toInt());
    return what == Condition::Failing || what == Condition::Stale;
}

HealthView::HealthView(const ChannelWatch& watch, QWidget* parent)
    : QWidget(parent, Qt::Window),
      mModel(new HealthModel(watch, this)),
      mFilter(new HealthFilter(this)),
      mTable(new QTableView(this)),
      mProblemsOnly(new QCheckBox(QStringLiteral("問題のみ"), this)) {
    setObjectName(QStringLiteral("HealthView"));
    setWindowTitle(QStringLiteral("チャンネルの状態"));
    mFilter->setSourceModel(mModel);
    mFilter->setSortRole(HealthModel::SortRole);
    mFilter->setSortCaseSensitivity(Qt::CaseInsensitive);
    mTable->setModel(mFilter);
    mTable->setSortingEnabled(true);
    mTable->sortByColumn(-1, Qt::AscendingOrder);  // the watch's order until a header is clicked
    mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    mTable->setSelectionMode(QAbstractItemView::SingleSelection);
    mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mTable->setAlternatingRowColors(true);
    mTable->verticalHeader()->hide();
    mTable->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = mTable->horizontalHeader();
    const int widths[HealthModel::ColumnCount] = {150, 130, 70, 70, 150, 64, 250, 70, 64};
    for (int c = 0; c < HealthModel::ColumnCount; ++c) header->resizeSection(c, widths[c]);
    header->setSectionResizeMode(HealthModel::LastFailure, QHeaderView::Stretch);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mProblemsOnly);
    layout->addWidget(mTable);
    connect(mProblemsOnly, &QCheckBox::toggled, mFilter, &HealthFilter::setProblemsOnly);
    connect(mTable, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { emit OpenChannel(index.data(HealthModel::ChannelIDRole).toString()); });
    resize(980, 380);
}

void HealthView::Refresh() {
    if (isVisible()) mModel->Refresh();
}

void HealthView::showEvent(QShowEvent* event) {
    mModel->Refresh();
    QWidget::showEvent(event);
}
