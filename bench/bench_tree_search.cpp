// The channel search and the tree's expanding in the viewer's window at
// 100 000 channels: each keystroke of a query typed into the search field,
// filtered and drawn, beside a plain scan of the same normalised names for
// the same query in the same run; and expanding a list of 10 000 channels,
// beside drawing the tree with it closed.

#include "BenchUtil.h"

#include "common/SearchText.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeSearch.h"
#include "navigation/ChannelTreeView.h"
#include "storage/TreeListFormat.h"
#include "storage/frmSetting.h"
#include "view/frmMain.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>

#include <memory>

namespace {

constexpr int kLists = 900;
constexpr int kPerList = 100;
constexpr int kBigList = 10000;

// 90 000 channels in 900 lists under ten groups, and one list of 10 000.
void writeFiles(const QString& dir) {
    QStringList channels = bench::groupedChannelLines(kLists, kPerList);
    channels << QStringLiteral("ChannelList\t\t大きなリスト\t\tFalse\t\thttp://lists.example/big.txt");
    for (int n = 0; n < kBigList; ++n)
        channels
            << QStringLiteral("\tChannel\t\tVNT1\t\tbig.ch%1\t\t大局 %1\t\thttp://h.example/big%1.txt\t\tFalse").arg(n);
    WriteTreeListFile(dir + "/ChannelList.txt", channels, TextEncoding::Cp932);
    QStringList favorites{QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue")};
    for (int i = 0; i < 1000; ++i)
        favorites << QStringLiteral("\tFavariteChannel\t\t%1").arg(bench::channelId(i % kLists, i % kPerList));
    WriteTreeListFile(dir + "/Favorite.txt", favorites, TextEncoding::Cp932);
}

// A key press that types text, as the keyboard sends it.
void type(QWidget* field, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(field, &release);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    writeFiles(dir.path());
    frmMain window(dir.path(), std::make_unique<frmSetting>());
    window.MessageBoxFunction = [](const QString&, const QString&, bool) {};
    window.resize(900, 700);
    window.show();
    window.LoadSetting();
    // Focus events reach an active window only.
    window.activateWindow();
    for (int i = 0; i < 100 && QApplication::activeWindow() != &window; ++i) QApplication::processEvents();
    ChannelTreeView* tree = window.tvwChannelSelect();
    ChannelTreeModel* model = window.TreeModel();
    QLineEdit* field = tree->SearchField();
    auto drawn = [&] {
        QApplication::processEvents();
        tree->repaint();
    };

    // The search field's focus makes every node's search key.
    const double focus = bench::timeMs([&] {
        tree->FocusSearch();
        QApplication::processEvents();
    });

    QStringList keys;  // the same normalised names, as a plain list
    int channels = 0;
    model->Walk([&](TreeNode* n) {
        keys << model->SearchKeyOf(n);
        channels += n->Kind() == NodeKind::Channel ? 1 : 0;
        return true;
    });

    const int runs = 9;
    const QStringList queries{QStringLiteral("list423.ch7"), QStringLiteral("放送局 42-7"), QStringLiteral("big.ch99")};
    std::printf("channel search, %d channels, %d nodes (median of %d per keystroke)\n", channels, model->NodeCount(),
                runs);
    if (!field->hasFocus()) return 3;
    bench::row("focusing the search field (the search keys made)", focus, "ms");
    double worstRatio = 0, worstTime = 0;
    for (const QString& query : queries) {
        for (int len = 1; len <= query.size(); ++len) {
            const QString typed = query.left(len);
            std::vector<double> filtered, scanned;
            int matches = 0;
            for (int r = 0; r < runs; ++r) {
                field->setText(typed.chopped(1));
                drawn();
                filtered.push_back(bench::timeMs([&] {
                    type(field, typed.right(1));
                    drawn();
                }));
                const QString key = SearchKey(typed);
                scanned.push_back(bench::timeMs([&] {
                    matches = 0;
                    for (const QString& k : keys) matches += k.contains(key) ? 1 : 0;
                }));
            }
            if (matches != tree->SearchModel()->MatchCount()) return 2;
            const double t = bench::median(filtered), base = bench::median(scanned);
            worstRatio = std::max(worstRatio, t / base);
            worstTime = std::max(worstTime, t);
            const QByteArray label = QStringLiteral("  \"%1\" (%2 matches)").arg(typed).arg(matches).toUtf8();
            bench::row(label.constData(), t, "ms", base);
        }
        field->clear();
        drawn();
    }
    bench::row("slowest keystroke", worstTime, "ms", 0, "target <= 30 ms");
    bench::row("highest ratio to the plain scan", worstRatio, "x", 0, "target <= 3x");

    // Expanding the list of 10 000, beside drawing the tree with it closed.
    TreeNode* big = model->Root(model->RootCount() - 1);
    QTreeView* view = tree->Tree();
    std::vector<double> expand, closed;
    for (int r = 0; r < runs; ++r) {
        view->collapse(model->IndexOf(big));
        view->scrollTo(model->IndexOf(big));
        drawn();
        closed.push_back(bench::timeMs([&] { tree->repaint(); }));
        expand.push_back(bench::timeMs([&] {
            view->expand(model->IndexOf(big));
            drawn();
        }));
    }
    bench::row("expanding a list of 10 000 channels, drawn", bench::median(expand), "ms", bench::median(closed),
               "target <= 20 ms");
    window.close();
    return 0;
}
