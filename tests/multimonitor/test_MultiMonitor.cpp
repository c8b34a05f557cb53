// The folder model: identifiers, members, selection, showable boxes, the
// switching of thumbnail viewing and the six events.

#include "ChannelRig.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <QSignalSpy>

namespace {

// The folder manager's events in the order they were raised, as
// "event:folder:argument". Each comes last: its handler sees the new state.
class FolderLog {
public:
    explicit FolderLog(clsMultiMonitorManeger& m) {
        using M = clsMultiMonitorManeger;
        auto on = [&](auto signal, const char* name, std::function<bool(const QString&, const QString&)> holds) {
            QObject::connect(&m, signal, &guard_, [this, name, holds](const QString& id, auto... more) {
                const QStringList args{QString(more)...};
                events << QStringList{name, id}.join(':') + (args.isEmpty() ? "" : ":" + args.value(0));
                EXPECT_TRUE(holds(id, args.value(0))) << events.last().toStdString();
            });
        };
        auto folder = [&m](const QString& id) { return m.MultiMonitor(id); };
        on(&M::RemoveMultiMonitorFolderEvent, "removefolder", [=](auto& id, auto&) { return !folder(id); });
        on(&M::AddChannelToMultiMonitor, "add", [=](auto& id, auto& ch) { return folder(id)->IsRegistedChannel(ch); });
        on(&M::RemoveChannelFromMultiMonitor, "remove",
           [=](auto& id, auto& ch) { return !folder(id)->IsRegistedChannel(ch); });
        on(&M::ChangeMultiMonitorFolderName, "rename",
           [=](auto& id, auto& n) { return folder(id)->FolderName() == n; });
        on(&M::ThumbnailBoxRefresh, "thumbnails", [](auto&, auto&) { return true; });
        QObject::connect(&m, &M::AddMultiMonitorFolderEvent, &guard_, [=](const QString& id, const QString& n, bool e) {
            events << QStringLiteral("addfolder:%1:%2:%3").arg(id, n).arg(e);
            EXPECT_TRUE(folder(id) && folder(id)->FolderName() == n);
        });
    }
    QStringList events;

private:
    QObject guard_;
};

// A folder's members, its selection and the tags of its showable boxes.
std::string state(const clsMultiMonitorFolder* f) {
    QStringList shown;
    for (const PictureElement* e : f->ShowBox().mid(1)) shown << e->Tag;
    return (f->Members().join(',') + " sel " + f->SelectedChannelID() + " show " + shown.join(',')).toStdString();
}
// A channel's view flag and its thumbnail slots: the folder of each slot with
// "+" when active and "-" when not, "." for a blanked slot.
std::string viewing(const clsChannel* c) {
    QString s = QString::number(c->ViewFlag());
    for (int i = 1; i <= c->ThumbnailCount(); ++i)
        s += ' ' + (c->ThumbnailShowBox(i) ? c->ThumbnailMultiMonitorID(i) + (c->ThumbnailIsActive(i) ? '+' : '-')
                                           : QStringLiteral("."));
    return s.toStdString();
}

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folders.ClassInitialize(rig.manager.get());
        // A and C broadcast, B is paused.
        A = rig.channelWithStatus(site, "A", 0);
        B = rig.channelWithStatus(site, "B", 1);
        C = rig.channelWithStatus(site, "C", 0);
        ASSERT_TRUE(A && B && C);
    }
    // A new folder holding the given members, none of them active.
    clsMultiMonitorFolder* newFolder(const QStringList& members = {}) {
        folders.AddMultiMonitorFolder("folder", false);
        clsMultiMonitorFolder* f = folders.MultiMonitor(QString::number(folders.MultiMonitorCount()));
        for (const QString& id : members) f->AddChannel(id, rig.boxes.Load(), false);
        return f;
    }

    ChannelSite site;
    ChannelRig rig;
    clsMultiMonitorManeger folders;
    clsChannel *A = nullptr, *B = nullptr, *C = nullptr;
};

TEST_F(FolderTest, IdentifiersAreSlotNumbersThatAreNeverReused) {
    FolderLog log(folders);
    folders.AddMultiMonitorFolder("一", true);
    folders.AddMultiMonitorFolder("二", false);
    folders.RemoveMultiMonitorFolder("1");
    folders.AddMultiMonitorFolder("三", false);
    EXPECT_EQ(log.events, (QStringList{"addfolder:1:一:1", "addfolder:2:二:0", "removefolder:1", "addfolder:3:三:0"}));
    EXPECT_EQ(folders.MultiMonitor("1"), nullptr);
    EXPECT_EQ(folders.MultiMonitor("3")->MultiMonitorID(), "3");
    // Texts that name no slot give no folder; removing them changes nothing.
    QStringList named;
    for (const char* id : {"", "0", "4", "-1", "01", "+2", " 2", "2.0", "x", "99999999999", "1"}) {
        if (folders.MultiMonitor(id)) named << id;
        folders.RemoveMultiMonitorFolder(id);
    }
    EXPECT_EQ(named, QStringList());
    EXPECT_EQ(log.events.size(), 4);
    EXPECT_TRUE(folders.MultiMonitorCount() == 3 && folders.MultiMonitor("2") && folders.MultiMonitor("3"));
}

TEST_F(FolderTest, SelectionAndShowBoxFollowTheShowableMembers) {
    clsMultiMonitorFolder* f = newFolder();
    EXPECT_EQ(f->ShowBox(), QList<PictureElement*>{nullptr});
    PictureElement* b = rig.boxes.Load();
    f->AddChannel("B", b, false);  // the first showable member becomes the selection
    f->AddChannel("A", rig.boxes.Load(), false);
    f->AddChannel("C", rig.boxes.Load(), false);
    EXPECT_EQ(state(f), "B,A,C sel B show B,A,C");
    EXPECT_EQ(f->ShowBox().value(1), b);
    clsMultiMonitorFolder* paused = newFolder({"B"});
    FolderLog log(folders);

    // Only on broadcast: the paused B is neither shown nor selected. Setting
    // the flag always refreshes, even when it does not change.
    f->setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(state(f), "B,A,C sel A show A,C");
    f->setShowChannelOnlyOnBroadcast(true);
    paused->setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(state(paused), "B sel  show ");
    paused->setShowChannelOnlyOnBroadcast(false);
    EXPECT_EQ(state(paused), "B sel B show B");

    // Removing the selected member selects the first showable one.
    f->RemoveChannel("A");
    EXPECT_EQ(state(f), "B,C sel C show C");
    f->RemoveChannel("C");
    f->RemoveChannel("B");
    EXPECT_EQ(state(f), " sel  show ");
    EXPECT_EQ(f->ChannelCount(), 3);  // slots are kept
    EXPECT_EQ(log.events, (QStringList{"thumbnails:1", "thumbnails:1", "thumbnails:2", "thumbnails:2", "remove:1:A",
                                       "remove:1:C", "remove:1:B"}));
}

// The refresh replaces only an empty selection, or one that is not on air
// while only channels on air are shown; only the switch raises events.
TEST_F(FolderTest, SelectedChannelIDRefreshReplacesOnlyAnUnshowableOrEmptySelection) {
    clsMultiMonitorFolder* f = newFolder({"B", "C"});
    FolderLog log(folders);
    QStringList after;  // "selected before (on air only?) -> after"
    for (const auto& [onAirOnly, before] :
         {std::pair{false, ""}, {false, "B"}, {true, "B"}, {true, "C"}, {true, ""}, {true, "nobody"}}) {
        f->setShowChannelOnlyOnBroadcast(onAirOnly);
        f->setSelectedChannelID(before);
        f->SelectedChannelIDRefresh();
        after << QString::fromLatin1(before) + (onAirOnly ? "*>" : ">") + f->SelectedChannelID();
    }
    EXPECT_EQ(after, (QStringList{">B", "B>B", "B*>C", "C*>C", "*>C", "nobody*>C"}));
    f->setShowChannelOnlyOnBroadcast(false);  // off with a selection keeps it
    EXPECT_EQ(f->SelectedChannelID(), "C");
    EXPECT_EQ(log.events, QStringList(7, "thumbnails:1"));
}

// Members take the channel's own spelling and new slots; the folder's own
// table then compares exactly. Broken preconditions change no slot.
TEST_F(FolderTest, MembersTakeTheChannelsSpellingAndNewSlots) {
    clsMultiMonitorFolder* f = newFolder();
    FolderLog log(folders);
    f->AddChannel("a", rig.boxes.Load(), false);
    EXPECT_TRUE(f->IsRegistedChannel("A"));
    EXPECT_FALSE(f->IsRegistedChannel("a") || f->IsRegistedChannel(""));
    f->RemoveChannel("a");                  // another case is not a member: nothing changes
    EXPECT_EQ(state(f), "A sel A show A");  // the box's tag is the channel's spelling too
    for (const char* id : {"nobody", ""}) f->AddChannel(id, rig.boxes.Load(), true);
    for (const char* id : {"nobody", "", "B"}) f->RemoveChannel(id);  // B: a channel, but no member
    f->MultMonitorControl(0, true);
    f->MultMonitorControl(3, false);
    EXPECT_EQ(viewing(A), "0 1-");
    EXPECT_EQ(viewing(B), "0");

    f->AddChannel("B", rig.boxes.Load(), false);
    f->RemoveChannel("A");
    PictureElement* again = rig.boxes.Load();
    f->AddChannel("A", again, false);
    EXPECT_EQ(f->ChannelCount(), 3);
    EXPECT_EQ(state(f), "B,A sel B show B,A");
    EXPECT_EQ(A->ThumbnailShowBox(2), again);  // a blank slot and a new one
    EXPECT_EQ(viewing(A), "0 . 1-");
    EXPECT_EQ(A->getThumbnailShowBoxIndexFromMultiMonitorID(f->MultiMonitorID()), 2);
    EXPECT_EQ(log.events, (QStringList{"add:1:A", "add:1:B", "remove:1:A", "add:1:A"}));
}

// Two open folders show A. Closing without the check switches every member
// off; with it, A stays on while the other folder is open and stops after.
TEST_F(FolderTest, MultMonitorControlSwitchesThumbnailViewing) {
    clsMultiMonitorFolder* f1 = newFolder({"A", "B"});
    clsMultiMonitorFolder* f2 = newFolder({"A"});
    for (bool check : {false, true}) {
        f1->MultMonitorControl(1, false);
        f2->MultMonitorControl(1, false);
        EXPECT_EQ(viewing(A) + viewing(B), "4 1+ 2+4 1+");
        f1->MultMonitorControl(2, check);
        EXPECT_EQ(viewing(A), check ? "4 1- 2+" : "0 1- 2+");
        EXPECT_EQ(viewing(B), "0 1-");
        f2->MultMonitorControl(2, true);
        EXPECT_EQ(viewing(A), "0 1- 2-");
        ASSERT_TRUE(ChannelRig::idle(A));
        EXPECT_EQ(A->State(), ChannelState::Stopped) << check;
    }
}

// A box added to an open folder switches thumbnail viewing on; removing it
// switches it off unless another open folder still shows the channel.
TEST_F(FolderTest, MembershipOfAnOpenFolderSwitchesThumbnailViewing) {
    clsMultiMonitorFolder* f1 = newFolder();
    clsMultiMonitorFolder* f2 = newFolder();
    f1->AddChannel("A", rig.boxes.Load(), true);
    EXPECT_EQ(viewing(A), "4 1+");
    EXPECT_EQ(A->State(), ChannelState::InfoRequested);  // it asks for its info file at once
    f2->AddChannel("A", rig.boxes.Load(), true);
    f1->RemoveChannel("A");
    EXPECT_EQ(viewing(A), "4 . 2+");
    f2->RemoveChannel("A");
    EXPECT_EQ(viewing(A), "0 . .");

    // A box of a closed folder leaves the channel alone both ways.
    QSignalSpy control(rig.manager.get(), &clsChannelManeger::ChannelControlRefresh);
    B->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(B));
    control.clear();
    f1->AddChannel("B", rig.boxes.Load(), false);
    f1->RemoveChannel("B");
    EXPECT_EQ(viewing(B), "2 .");
    EXPECT_EQ(B->State(), ChannelState::Waiting);
    EXPECT_EQ(control.count(), 0);
}

// Removing a folder raises only its own event and renumbers nothing; the
// manager passes the flag on to the folders it has but does not remember it.
TEST_F(FolderTest, TheManagerRemovesFoldersAndPassesTheFlagOn) {
    newFolder({"A", "B"});
    clsMultiMonitorFolder* f2 = newFolder({"A"});
    clsMultiMonitorFolder* f3 = newFolder({"B", "C"});
    FolderLog log(folders);
    f2->setFolderName("改名");
    folders.RemoveMultiMonitorFolder("1");
    EXPECT_EQ(viewing(A) + viewing(B), "0 . 2-0 . 3-");
    EXPECT_EQ(state(f2), "A sel A show A");
    folders.setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(log.events, (QStringList{"rename:2:改名", "removefolder:1", "thumbnails:2", "thumbnails:3"}));
    EXPECT_EQ(state(f3), "B,C sel C show C");
    EXPECT_TRUE(f3->ShowChannelOnlyOnBroadcast());
    clsMultiMonitorFolder* later = newFolder({"B"});
    EXPECT_EQ(state(later), "B sel B show B");
}

}  // namespace
