#pragma once
// A viewer on a temporary program folder whose lists point at channels
// published on a local HTTP server.

#include "ChannelPublisher.h"
#include "ViewerFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTreeWidget>

#include <functional>

class WatchingFixture : public ::testing::Test {
protected:
    ChannelPublisher pub;
    ViewerFixture f;

    static QByteArray sjis(const QStringList& lines) { return Cp932::encode(lines.join("\r\n") + "\r\n"); }

    // Writes the three lists: every channel in one channel list, and
    // folders of the given members.
    void writeLists(const QStringList& ids, const QList<QPair<QString, QStringList>>& folders = {},
                    const QStringList& favorites = {}) {
        QStringList channels{"Node\tGroup\tTrue", "\tChannelList\t\tList\t\tTrue\t\thttp://lists/"};
        for (const QString& id : ids) channels << pub.record(id, 2);
        f.dir.write("ChannelList.txt", sjis(channels));
        QStringList mm{"MultiMonitorRoot\t\tマルチモニター\t\tTrue"};
        for (const auto& folder : folders) {
            mm << "\tMultiMonitorFolder\t\t" + folder.first + "\t\tTrue";
            for (const QString& id : folder.second) mm << "\t\tMultiMonitorChannel\t\t" + id;
        }
        f.dir.write("MultiMonitor.txt", sjis(mm));
        QStringList fav{"FavariteRoot\t\tお気に入り\t\tTrue"};
        for (const QString& id : favorites) fav << "\tFavariteChannel\t\t" + id;
        f.dir.write("Favorite.txt", sjis(fav));
    }

    frmMain& w() { return *f.window; }
    clsChannel* channel(const QString& id) { return w().ChannelManeger()->Channel(id); }
    clsMultiMonitorFolder* folder(const QString& id) { return w().MultiMonitorManeger()->MultiMonitor(id); }

    // Delivers ticks (and lets responses arrive) until pred holds.
    bool tickUntil(const std::function<bool()>& pred, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!pred()) {
            if (clock.elapsed() > ms) return false;
            w().tmrCauseOneSecEvent_Timer();
            QTest::qWait(20);
        }
        return true;
    }
    // Lets responses arrive without ticking.
    bool waitUntil(const std::function<bool()>& pred, int ms = 10000) {
        QElapsedTimer clock;
        clock.start();
        while (!pred()) {
            if (clock.elapsed() > ms) return false;
            QTest::qWait(10);
        }
        return true;
    }

    QTreeWidgetItem* findNode(const QString& tag) const {
        QTreeWidgetItemIterator it(f.window->tvwChannelSelect());
        for (; *it; ++it)
            if (frmMain::NodeTag(*it).compare(tag, Qt::CaseInsensitive) == 0) return *it;
        return nullptr;
    }
    // A real mouse click on a node's text.
    void clickNode(QTreeWidgetItem* node, Qt::MouseButton button) {
        QTreeWidget* tree = w().tvwChannelSelect();
        tree->scrollToItem(node);
        const QPoint at = tree->visualItemRect(node).center();
        QTest::mouseClick(tree->viewport(), button, {}, at);
    }
};
