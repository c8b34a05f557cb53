// The condition drawn on a folder's boxes (grabbed from a real window), the
// tree's images at device pixels, the channels' tool tips, and the
// condition on a channel's tree nodes as it changes.

#include "WatchWindowFixture.h"
#include "navigation/TreeIcons.h"
#include "view/ShowAreaWidget.h"
#include "view/ThumbnailGrid.h"
#include "watch/ConditionIcons.h"
#include "watch/ConditionOverlay.h"

#include <QLabel>
#include <QPixmap>
#include <QSignalSpy>

namespace {

// Pixels of image inside area that satisfy test, as a share of the area.
double share(const QImage& image, const QRect& area, const std::function<bool(QColor)>& test) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += test(image.pixelColor(x, y));
    return double(n) / (area.width() * area.height());
}
bool near(QColor a, QColor b, int tolerance = 12) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}
bool light(QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; }

const QColor kGreen(40, 200, 40);
const QColor kPlaceholder(48, 48, 54);
const QColor kAmber(232, 172, 30);

class Drawing : public WatchWindowFixture {
protected:
    void SetUp() override {
        // One frame over and over, so that the bytes never change.
        pub.add({"ok", "Good", "1", 0, 1, kGreen, {80, 60}, {120, 90}, "2026/12/06 12:00:00"});
        pub.add({"bad", "Bad", "2", 0, 1, Qt::blue, {80, 60}, {120, 90}, {}});
        pub.setMissing("bad", true);
        writeLists({"ok", "bad"}, {{"F", {"ok", "bad"}}});
        load();
        w().cntShowBox()->setGeometry(QRect(w().cntShowBox()->pos(), QSize(345, 153)));
        w().OpenMultiMonitorTab("1");
        ASSERT_TRUE(
            tickWhile([&] { return condition("ok") == Condition::Live && condition("bad") == Condition::Failing; }));
        ASSERT_EQ(folder("1")->ShowBox().size(), 3);
    }
    QRect boxOf(const QString& id) { return channel(id)->ThumbnailShowBox(1)->Rect(); }
    QImage grab() { return w().cntShowBox()->grab().toImage(); }
    QColor background() { return w().cntShowBox()->palette().color(QPalette::Window); }
};

TEST_F(Drawing, AFailingMemberGetsAPlaceholderWithItsReasonInsteadOfNothing) {
    const QRect bad = boxOf("bad");
    EXPECT_EQ(bad.size(),
              QSize(ChooseThumbnailGrid(2, 345, 153).CellWidth, ChooseThumbnailGrid(2, 345, 153).CellHeight));
    QImage shot = grab();
    EXPECT_GT(share(shot, bad, [](QColor c) { return near(c, kPlaceholder); }), 0.6);
    EXPECT_GT(share(shot, bad, light), 0.003) << "no words in the placeholder";
    EXPECT_EQ(LookFor(w().Watcher()->Now("bad"), false).Detail, QStringLiteral("HTTP/1.1 404 Not Found"));
    // The live member carries its picture's age in a badge.
    const QRect ok = boxOf("ok");
    const QRect badge(ok.left(), ok.bottom() - 18, 40, 18);
    EXPECT_GT(share(shot, badge, light), 0.02);
    // The red frame is still the selected member's own.
    EXPECT_EQ(shot.pixelColor(ok.topLeft()), QColor(255, 0, 0));
    const auto* overlay = static_cast<const ConditionOverlay*>(w().cntShowBox()->Overlay());
    const int drawn = overlay->Drawn();
    grab();
    EXPECT_EQ(overlay->Drawn(), drawn) << "drawn again though nothing changed";

    // 状態を表示 off: the box is as empty as it ever was, the badge gone.
    w().mnuShowStatusOverlay()->trigger();
    EXPECT_FALSE(w().Watch().StatusOverlay);
    shot = grab();
    EXPECT_GT(share(shot, bad, [&](QColor c) { return near(c, background(), 2); }), 0.99);
    EXPECT_EQ(share(shot, badge, light), 0);
    EXPECT_EQ(w().sbrMainMessage()->text(), QString());
    // As the settings dialog's OK brings it back.
    w().Watch().StatusOverlay = true;
    w().ApplyWatchSettings();
    EXPECT_TRUE(w().mnuShowStatusOverlay()->isChecked());
    EXPECT_GT(share(grab(), bad, [](QColor c) { return near(c, kPlaceholder); }), 0.6);
}

// Paint events the show area gets.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(Drawing, AFrozenPictureIsDimmedAndSaysForHowLong) {
    // Ages grow: the area is drawn again every tick while badges are on.
    PaintCounter counter;
    w().cntShowBox()->installEventFilter(&counter);
    for (bool on : {true, false}) {
        w().Watch().StatusOverlay = on;
        w().ApplyWatchSettings();
        QTest::qWait(50);
        counter.paints = 0;
        w().WatchTick();
        QTest::qWait(50);
        EXPECT_EQ(counter.paints > 0, on);
    }
    w().Watch().StatusOverlay = true;
    w().ApplyWatchSettings();

    const QRect ok = boxOf("ok");
    const double green = share(grab(), ok, [](QColor c) { return near(c, kGreen, 30); });
    EXPECT_GT(green, 0.5);
    nowMs += 31'000;
    const int before = pub.count("/ok/thumb.jpg");
    ASSERT_TRUE(tickWhile([&] { return pub.count("/ok/thumb.jpg") > before + 1; }));
    tick();
    ASSERT_EQ(word(condition("ok")), word(Condition::Stale));
    const QImage shot = grab();
    EXPECT_LT(share(shot, ok, [](QColor c) { return near(c, kGreen, 30); }), 0.05) << "not dimmed";
    EXPECT_GT(share(shot, ok, [](QColor c) { return near(c, kAmber, 10); }), 0.05) << "no 更新なし badge";
    EXPECT_EQ(LookFor(w().Watcher()->Now("ok"), true).Text, QStringLiteral("更新なし 31秒"));
    EXPECT_EQ(shot.pixelColor(ok.topLeft()), QColor(255, 0, 0));
}

// Device pixels: a mean spread inside aligned 2 x 2 blocks, 0 for an image
// drawn small and doubled.
double detail(const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_ARGB32);
    double spread = 0;
    for (int y = 0; y + 1 < grey.height(); y += 2)
        for (int x = 0; x + 1 < grey.width(); x += 2) {
            int lo = 255 * 4, hi = 0;
            for (QPoint p : {QPoint(x, y), QPoint(x + 1, y), QPoint(x, y + 1), QPoint(x + 1, y + 1)}) {
                const QRgb v = grey.pixel(p);
                const int sum = qRed(v) + qGreen(v) + qBlue(v) + qAlpha(v);
                lo = qMin(lo, sum);
                hi = qMax(hi, sum);
            }
            spread += hi - lo;
        }
    return spread / (grey.width() * grey.height() / 4);
}

TEST(TreeImages, EveryConditionAndNodeKindHasItsOwnImageDrawnAtDevicePixels) {
    QList<QImage> seen;
    auto check = [&](const QIcon& icon, const std::string& what) {
        ASSERT_FALSE(icon.isNull()) << what;
        const QPixmap pixmap = icon.pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(pixmap.size(), QSize(32, 32)) << what;
        const QImage sharp = pixmap.toImage();
        const QImage doubled = icon.pixmap(QSize(16, 16), 1.0).toImage().scaled(32, 32);
        EXPECT_GT(detail(sharp), 1.5 * detail(doubled)) << what << " is not drawn at device pixels";
        EXPECT_FALSE(seen.contains(sharp)) << what << " looks like another image";
        seen << sharp;
    };
    for (Condition c : {Condition::NotViewed, Condition::Waiting, Condition::Live, Condition::OffAir,
                        Condition::Failing, Condition::Stale})
        check(ConditionIcon(c), ConditionWord(c).toStdString());
    for (NodeKind k : {NodeKind::ChannelList, NodeKind::Node, NodeKind::FavariteRoot, NodeKind::MultiMonitorRoot,
                       NodeKind::MultiMonitorFolder, NodeKind::Channel})
        check(NodeIcon(k), MakeTag(k).toStdString());
    // A channel's node of any kind is the same channel: one plain image.
    for (NodeKind k : {NodeKind::FavariteChannel, NodeKind::MultiMonitorChannel})
        EXPECT_EQ(NodeIcon(k).cacheKey(), NodeIcon(NodeKind::Channel).cacheKey()) << MakeTag(k).toStdString();
    EXPECT_TRUE(NodeIcon(NodeKind::None).isNull());
}

TEST(TreeImages, AToolTipSaysWhatTheImageMeansWithServerTextsEscaped) {
    ChannelHealth h;
    h.ChannelID = QStringLiteral("cam<1>");
    h.Now.What = Condition::Failing;
    h.Now.Status = 0;
    h.Now.PictureAgeMs = 185'000;
    h.Now.FailureText = QStringLiteral("HTTP/1.1 500 <b>Oops</b> & more");
    h.LastNewPicture = QDateTime(QDate(2026, 12, 6), QTime(12, 0, 5));
    h.LastFailureAt = QDateTime(QDate(2026, 12, 6), QTime(12, 3, 10));
    EXPECT_EQ(ChannelToolTip(h),
              QStringLiteral("<p>ID: cam&lt;1&gt;<br>\n状態: 失敗<br>\n最終更新: 12:00:05（3分前）<br>\n"
                             "最後の失敗: 12:03:10 HTTP/1.1 500 &lt;b&gt;Oops&lt;/b&gt; &amp; more</p>"));
    ChannelHealth resting;
    resting.ChannelID = QStringLiteral("cam2");
    resting.Now.Status = 1;
    EXPECT_EQ(ChannelToolTip(resting),
              QStringLiteral("<p>ID: cam2<br>\n状態: 閲覧停止中（休止中）<br>\n最終更新: なし</p>"));
}

// A channel's nodes (in its list, the favourites and a folder) show its
// condition and say why in their tool tips; a server that starts answering
// 404 turns them to failing, its recovery back, and only its nodes are drawn
// again, once a tick. The nodes' texts stay.
class TreeLooks : public WatchWindowFixture {
protected:
    void SetUp() override {
        pub.add({"cam", "Cam", "1", 0, 1, kGreen, {64, 48}, {64, 48}, {}});
        pub.add({"other", "Other", "2", 0, 1, kGreen, {64, 48}, {64, 48}, {}});
        writeLists({"cam", "other"}, {{"監視", {"cam", "other"}}}, {"cam"});
        load();
        w().OpenMultiMonitorTab("1");
        ASSERT_TRUE(tickWhile([&] { return live("cam") && live("other"); }));
        tick();
    }
    bool live(const char* id) { return condition(id) == Condition::Live; }
    QList<TreeNode*> nodesOf(const QString& id) {
        QList<TreeNode*> nodes;
        w().TreeModel()->Walk([&](TreeNode* n) {
            if (n->ID() == id && n->Kind() != NodeKind::MultiMonitorFolder) nodes << n;
            return true;
        });
        return nodes;
    }
    QModelIndex indexOf(TreeNode* n) { return w().TreeModel()->IndexOf(n); }
    // The conditions the nodes' images show, one per node.
    QStringList imagesOf(const QString& id) {
        QStringList words;
        for (TreeNode* n : nodesOf(id)) {
            const qint64 key = indexOf(n).data(Qt::DecorationRole).value<QIcon>().cacheKey();
            QString word = QStringLiteral("?");
            for (Condition c : {Condition::NotViewed, Condition::Waiting, Condition::Live, Condition::OffAir,
                                Condition::Failing, Condition::Stale})
                if (ConditionIcon(c).cacheKey() == key) word = ConditionWord(c);
            words << word;
        }
        return words;
    }
    QStringList tipsOf(const QString& id) {
        QStringList tips;
        for (TreeNode* n : nodesOf(id)) tips << indexOf(n).data(Qt::ToolTipRole).toString();
        return tips;
    }
    // The channels whose nodes the model said to draw again.
    static QStringList redrawn(const QSignalSpy& spy) {
        QStringList ids;
        for (const QList<QVariant>& args : spy) ids << ChannelTreeModel::NodeOf(args[0].toModelIndex())->ID();
        return ids;
    }
};

TEST_F(TreeLooks, AChannelAnswering404FailsOnEveryNodeOfItsAndComesBack) {
    const QStringList three(3, ConditionWord(Condition::Live));
    ASSERT_EQ(nodesOf("cam").size(), 3);
    EXPECT_EQ(imagesOf("cam"), three);
    for (const QString& tip : tipsOf("cam")) {
        EXPECT_TRUE(tip.contains(QStringLiteral("ID: cam"))) << tip.toStdString();
        EXPECT_TRUE(tip.contains(QStringLiteral("状態: 放送中"))) << tip.toStdString();
    }
    QStringList texts;
    for (TreeNode* n : nodesOf("cam")) texts << indexOf(n).data().toString();

    QSignalSpy changed(w().TreeModel(), &QAbstractItemModel::dataChanged);
    tick();
    EXPECT_EQ(changed.size(), 0) << "drawn again though no condition changed";

    pub.setMissing("cam", true);
    ASSERT_TRUE(tickWhile([&] { return condition("cam") == Condition::Failing; }));
    tick();
    EXPECT_EQ(imagesOf("cam"), QStringList(3, ConditionWord(Condition::Failing)));
    for (const QString& tip : tipsOf("cam")) {
        EXPECT_TRUE(tip.contains(QStringLiteral("状態: 失敗"))) << tip.toStdString();
        EXPECT_TRUE(tip.contains(QStringLiteral("HTTP/1.1 404 Not Found"))) << tip.toStdString();
    }
    EXPECT_EQ(redrawn(changed), QStringList(3, QStringLiteral("cam")));
    EXPECT_EQ(imagesOf("other"), QStringList(2, ConditionWord(Condition::Live)));

    changed.clear();
    pub.setMissing("cam", false);
    ASSERT_TRUE(tickWhile([&] { return live("cam"); }));
    tick();
    EXPECT_EQ(imagesOf("cam"), three);
    for (const QString& tip : tipsOf("cam")) EXPECT_TRUE(tip.contains(QStringLiteral("状態: 放送中")));
    EXPECT_EQ(redrawn(changed), QStringList(3, QStringLiteral("cam")));
    QStringList after;
    for (TreeNode* n : nodesOf("cam")) after << indexOf(n).data().toString();
    EXPECT_EQ(after, texts);

    // Its folder closed, nothing shows it: not viewed, as the never-shown are.
    w().CloseTab(w().SelectedTabIndex(), true);
    tick();
    EXPECT_EQ(imagesOf("cam"), QStringList(3, ConditionWord(Condition::NotViewed)));
}

}  // namespace
