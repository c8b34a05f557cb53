#pragma once
// A viewer whose lists point at channels published on a local HTTP server.

#include "ChannelPublisher.h"
#include "Rows.h"
#include "ViewerFixture.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "view/WindowVocabulary.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"

#include <QTreeView>

#include <functional>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

class WatchingFixture : public ::testing::Test {
protected:
    ChannelPublisher pub;
    ViewerFixture f;

    void writeLists(const QStringList& ids, const QList<QPair<QString, QStringList>>& folders = {},
                    const QStringList& favorites = {}) {
        QStringList channels{"Node\tGroup\tTrue", "\tChannelList\t\tList\t\tTrue\t\thttp://lists/"};
        for (const QString& id : ids) channels << pub.record(id, 2);
        QStringList mm{"MultiMonitorRoot\t\tマルチモニター\t\tTrue"};
        for (const auto& folder : folders) {
            mm << "\tMultiMonitorFolder\t\t" + folder.first + "\t\tTrue";
            for (const QString& id : folder.second) mm << "\t\tMultiMonitorChannel\t\t" + id;
        }
        QStringList fav{"FavariteRoot\t\tお気に入り\t\tTrue"};
        for (const QString& id : favorites) fav << "\tFavariteChannel\t\t" + id;
        for (const auto& [name, lines] :
             {std::pair{"ChannelList.txt", channels}, {"MultiMonitor.txt", mm}, {"Favorite.txt", fav}})
            f.dir.write(name, ListFileBytes(lines));
    }

    frmMain& w() { return *f.window; }
    clsChannel* channel(const QString& id) { return w().ChannelManeger()->Channel(id); }
    clsMultiMonitorFolder* folder(const QString& id) { return w().MultiMonitorManeger()->MultiMonitor(id); }
    QString selected() { return w().ChannelManeger()->SelectedChannelID(); }
    static QString channelTab(const QString& id) { return MakeTag(NodeKind::Channel, id); }
    static QString folderTab(const QString& id) { return MakeTag(NodeKind::MultiMonitor, id); }
    // The tab tags, the selected one marked with "*".
    QStringList tabs() {
        QStringList tags;
        for (int i = 1; i <= w().TabCount(); ++i) tags << (i == w().SelectedTabIndex() ? "*" : "") + w().TabTag(i);
        return tags;
    }
    QStringList dropDown() {  // the folder drop-down's texts
        QStringList texts;
        for (QAction* a : w().FolderDropDown()->actions()) texts << a->text();
        return texts;
    }
    // A drop-down text: the folder's name behind the selected channel's mark.
    static QString member(const QString& folder) { return FolderMark::Member + folder; }
    static QString notMember(const QString& folder) { return FolderMark::NotMember + folder; }

    // Lets responses arrive, delivering ticks too when asked, until pred holds.
    bool waitUntil(const std::function<bool()>& pred, bool tick = false) {
        return QTest::qWaitFor(
            [&] {
                if (pred()) return true;
                if (tick) w().tmrCauseOneSecEvent_Timer();
                return false;
            },
            10000);
    }
    bool tickUntil(const std::function<bool()>& pred) { return waitUntil(pred, true); }
    bool pictureTypeOfAll(const QStringList& ids, PictureKind type) {
        for (const QString& id : ids)
            if (channel(id)->PictureType() != type) return false;
        return true;
    }
    // An element's rectangle, whether it is stretched and whether it is hidden.
    static std::string box(const PictureElement* e) {
        const QRect r = e->Rect();
        return QString::asprintf("%d,%d %dx%d%s%s", r.x(), r.y(), r.width(), r.height(),
                                 e->Stretch() ? " stretched" : "", e->Visible ? "" : " hidden")
            .toStdString();
    }

    TreeNode* findNode(const QString& tag) {
        TreeNode* found = nullptr;
        w().TreeModel()->Walk([&](TreeNode* n) {
            if (!found && frmMain::NodeTag(n).compare(tag, Qt::CaseInsensitive) == 0) found = n;
            return !found;
        });
        return found;
    }
    TreeNode* findNode(NodeKind kind, const QString& id) { return findNode(MakeTag(kind, id)); }
};
