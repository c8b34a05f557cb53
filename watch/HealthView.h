#pragma once
// The health view (表示 › チャンネルの状態): every channel that a view shows,
// and the favourites, as a sortable table of what the watch knows. It is
// refreshed once a tick while it is shown; rows keep their identity, so the
// sort, the selection and the scroll position survive a refresh.

#include <QAbstractTableModel>
#include <QList>
#include <QSortFilterProxyModel>
#include <QWidget>

#include "watch/ChannelWatch.h"

class QCheckBox;
class QTableView;

class HealthModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, ID, Status, State, LastPicture, Failures, LastFailure, Bytes, Saved, ColumnCount };
    enum Role { SortRole = Qt::UserRole + 1, ConditionRole, ChannelIDRole };

    explicit HealthModel(const ChannelWatch& watch, QObject* parent = nullptr);

    // Rows follow the watch's channels; only the cells that changed are announced.
    void Refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const ChannelWatch& mWatch;
    QList<ChannelHealth> mRows;
};

// "問題のみ": failing and stale channels only.
class HealthFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setProblemsOnly(bool on);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    bool mProblemsOnly = false;
};

class HealthView : public QWidget {
    Q_OBJECT
public:
    explicit HealthView(const ChannelWatch& watch, QWidget* parent = nullptr);

    // Once a tick; does nothing while the view is hidden.
    void Refresh();

    QTableView* Table() const { return mTable; }
    QCheckBox* ProblemsOnly() const { return mProblemsOnly; }
    HealthModel* Model() const { return mModel; }

signals:
    void OpenChannel(const QString& ChannelID);

protected:
    void showEvent(QShowEvent* event) override;

private:
    HealthModel* mModel;
    HealthFilter* mFilter;
    QTableView* mTable;
    QCheckBox* mProblemsOnly;
};

// "12.3 KB": bytes in the largest unit below 1024 of it.
QString ByteText(qint64 bytes);
