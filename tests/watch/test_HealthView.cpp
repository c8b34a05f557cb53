// The health view and the status bar's counts on a real viewer window.

#include "WatchWindowFixture.h"
#include "common/Cp932.h"
#include "watch/HealthView.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>

namespace {

class Health : public WatchWindowFixture {
protected:
    QStringList ids;

    void SetUp() override {
        for (int i = 1; i <= 30; ++i) {
            const QString id = QStringLiteral("cam%1").arg(i, 2, 10, QChar('0'));
            pub.add({id,
                     "Cam " + id,
                     QString::number(i),
                     i == 7 ? 1 : 0,
                     1,
                     QColor(20, 8 * i, 90),
                     {64, 48},
                     {64, 48},
                     {}});
            ids << id;
        }
        pub.add({"named", "本当の名前", "99", 0, 1, Qt::yellow, {64, 48}, {64, 48}, {}});
        pub.add({"fav", "Fav", "98", 1, 5, Qt::yellow, {64, 48}, {64, 48}, {}});
        writeLists(ids + QStringList{"named", "fav"}, {{"all", ids}}, {"fav"});
        // The updater's placeholder, as in a list whose names were never fetched.
        QByteArray list = f.dir.read("ChannelList.txt");
        list.replace(Cp932::encode("\t\t本当の名前\t\t"), Cp932::encode("\t\tチャンネル名 未取得\t\t"));
        f.dir.write("ChannelList.txt", list);
        load();
        w().OpenMultiMonitorTab("1");
        w().OpenChannelTab("named");
        ASSERT_TRUE(tickWhile([&] {
            for (const QString& id : ids + QStringList{"named"})
                if (w().Watcher()->Now(id).What == Condition::Waiting) return false;
            return true;
        }));
    }
    HealthView* view() { return w().ChannelHealthView(); }
    QTableView* table() { return view()->Table(); }
    QString idAt(int row) { return table()->model()->index(row, HealthModel::ID).data().toString(); }
    QString cell(const QString& id, int column) {
        for (int row = 0; row < table()->model()->rowCount(); ++row)
            if (idAt(row) == id) return table()->model()->index(row, column).data().toString();
        return "(no row)";
    }
};

TEST_F(Health, ListsTheShownChannelsAndTheFavouritesWithTheirState) {
    tick();  // the counts follow the answers of the last tick
    EXPECT_EQ(w().sbrMainMessage()->text(), QStringLiteral(" 放送中 30 · 休止中 1 · 失敗 0 · 更新なし 0"));
    EXPECT_EQ(w().mnuChannelHealth()->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
    QTest::mouseClick(w().sbrMainMessage(), Qt::LeftButton);
    ASSERT_TRUE(view() && view()->isVisible()) << "a click on the counts opens the view";
    EXPECT_EQ(view()->windowTitle(), QStringLiteral("チャンネルの状態"));
    EXPECT_EQ(table()->model()->rowCount(), 32);
    EXPECT_EQ(cell("named", HealthModel::Name), QStringLiteral("本当の名前"));
    EXPECT_EQ(cell("cam03", HealthModel::Name), QStringLiteral("Cam cam03"));
    EXPECT_EQ(cell("cam03", HealthModel::State), QStringLiteral("放送中"));
    EXPECT_EQ(cell("cam07", HealthModel::Status), QStringLiteral("休止中"));
    EXPECT_EQ(cell("fav", HealthModel::State), QStringLiteral("閲覧停止中"));
    EXPECT_EQ(cell("fav", HealthModel::Status), QString());  // never read: no view, no watch
    EXPECT_EQ(cell("cam03", HealthModel::LastPicture), QStringLiteral("13:23:20（0秒前）"));
    EXPECT_TRUE(QRegularExpression("^\\d+(\\.\\d)? K?B$").match(cell("cam03", HealthModel::Bytes)).hasMatch())
        << cell("cam03", HealthModel::Bytes).toStdString();

    pub.setMissing("cam05", true);
    ASSERT_TRUE(tickWhile([&] { return condition("cam05") == Condition::Failing; }));
    nowMs += 3'000;
    tick();
    EXPECT_EQ(cell("cam05", HealthModel::State), QStringLiteral("失敗"));
    EXPECT_NE(cell("cam05", HealthModel::Failures), QStringLiteral("0"));
    EXPECT_EQ(cell("cam05", HealthModel::LastFailure), QStringLiteral("13:23:20 HTTP/1.1 404 Not Found"));
    EXPECT_EQ(cell("cam05", HealthModel::LastPicture), QStringLiteral("13:23:20（3秒前）"));
    EXPECT_EQ(w().sbrMainMessage()->text(), QStringLiteral(" 放送中 29 · 休止中 1 · 失敗 1 · 更新なし 0"));

    view()->ProblemsOnly()->setChecked(true);
    EXPECT_EQ(table()->model()->rowCount(), 1);
    EXPECT_EQ(idAt(0), "cam05");
    view()->ProblemsOnly()->setChecked(false);
    EXPECT_EQ(table()->model()->rowCount(), 32);
}

// Once a tick the rows are refreshed in place: a row whose state changed
// moves to its place in the sort, the selection goes with it, and the scroll
// position stays where the user left it.
TEST_F(Health, ARefreshKeepsSortSelectionAndScrollAndADoubleClickOpensTheTab) {
    w().mnuChannelHealth()->trigger();
    view()->resize(700, 220);
    QTest::qWait(50);
    table()->sortByColumn(HealthModel::State, Qt::DescendingOrder);
    table()->selectRow(20);
    const QString chosen = idAt(20);
    ASSERT_NE(chosen, "cam02");
    QScrollBar* bar = table()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum() / 2);
    const int scrolled = bar->value();

    pub.setMissing("cam02", true);
    pub.setMissing(chosen, true);
    ASSERT_TRUE(
        tickWhile([&] { return condition("cam02") == Condition::Failing && condition(chosen) == Condition::Failing; }));
    nowMs += 3'000;
    tick();
    EXPECT_EQ(table()->horizontalHeader()->sortIndicatorSection(), int(HealthModel::State));
    EXPECT_EQ(QSet<QString>({idAt(0), idAt(1)}), QSet<QString>({"cam02", chosen}));
    EXPECT_EQ(cell(chosen, HealthModel::State), QStringLiteral("失敗"));
    ASSERT_EQ(table()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(idAt(table()->selectionModel()->selectedRows().constFirst().row()), chosen);
    EXPECT_EQ(bar->value(), scrolled);

    table()->sortByColumn(HealthModel::ID, Qt::DescendingOrder);
    EXPECT_EQ(idAt(0), "named");
    EXPECT_EQ(idAt(31), "cam01");
    EXPECT_EQ(idAt(table()->selectionModel()->selectedRows().constFirst().row()), chosen);

    const QModelIndex row = table()->model()->index(table()->selectionModel()->selectedRows().constFirst().row(), 0);
    table()->scrollTo(row);
    const QPoint at = table()->visualRect(row).center();
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, at);  // the press of the double click
    QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(tabs().last(), "*" + channelTab(chosen));
}

}  // namespace
