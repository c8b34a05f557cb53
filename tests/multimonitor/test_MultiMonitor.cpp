// The folder model: identifiers, members, selection, showable boxes, the
// switching of thumbnail viewing and the six events.

#include "ChannelRig.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <QSignalSpy>

namespace {

// The folder manager's events in the order they were raised.
class FolderLog {
public:
    explicit FolderLog(clsMultiMonitorManeger& m) {
        using M = clsMultiMonitorManeger;
        QObject::connect(&m, &M::AddMultiMonitorFolderEvent, &guard_,
                         [this](const QString& id, const QString& name, bool expand) {
                             events << QStringLiteral("addfolder:%1:%2:%3").arg(id, name).arg(expand);
                         });
        QObject::connect(&m, &M::RemoveMultiMonitorFolderEvent, &guard_,
                         [this](const QString& id) { events << "removefolder:" + id; });
        QObject::connect(&m, &M::AddChannelToMultiMonitor, &guard_,
                         [this](const QString& id, const QString& ch) { events << "add:" + id + ":" + ch; });
        QObject::connect(&m, &M::RemoveChannelFromMultiMonitor, &guard_,
                         [this](const QString& id, const QString& ch) { events << "remove:" + id + ":" + ch; });
        QObject::connect(&m, &M::ChangeMultiMonitorFolderName, &guard_,
                         [this](const QString& id, const QString& name) { events << "rename:" + id + ":" + name; });
        QObject::connect(&m, &M::ThumbnailBoxRefresh, &guard_,
                         [this](const QString& id) { events << "thumbnails:" + id; });
    }
    QStringList events;

private:
    QObject guard_;
};

class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        folders.ClassInitialize(rig.manager.get());
        // A and C broadcast, B is paused.
        A = rig.channelWithStatus(site, "A", 0);
        B = rig.channelWithStatus(site, "B", 1);
        C = rig.channelWithStatus(site, "C", 0);
        ASSERT_TRUE(A && B && C);
        ASSERT_TRUE(A->IsOnBroadcast() && !B->IsOnBroadcast() && C->IsOnBroadcast());
    }

    clsMultiMonitorFolder* newFolder(const QString& name = "folder") {
        folders.AddMultiMonitorFolder(name, false);
        return folders.MultiMonitor(QString::number(folders.MultiMonitorCount()));
    }
    PictureElement* box() { return rig.boxes.Load(); }

    ChannelSite site;
    ChannelRig rig;
    clsMultiMonitorManeger folders;
    clsChannel* A = nullptr;
    clsChannel* B = nullptr;
    clsChannel* C = nullptr;
};

TEST_F(FolderTest, IdentifiersAreSlotNumbersThatAreNeverReused) {
    FolderLog log(folders);
    folders.AddMultiMonitorFolder("一", true);
    folders.AddMultiMonitorFolder("二", false);
    folders.RemoveMultiMonitorFolder("1");
    folders.AddMultiMonitorFolder("三", false);
    EXPECT_EQ(log.events, (QStringList{"addfolder:1:一:1", "addfolder:2:二:0", "removefolder:1", "addfolder:3:三:0"}));
    EXPECT_EQ(folders.MultiMonitorCount(), 3);
    EXPECT_EQ(folders.MultiMonitor("1"), nullptr);
    ASSERT_TRUE(folders.MultiMonitor("2"));
    EXPECT_EQ(folders.MultiMonitor("2")->FolderName(), "二");
    EXPECT_EQ(folders.MultiMonitor("3")->MultiMonitorID(), "3");

    // Texts that name no slot give no folder; removing them changes nothing.
    log.events.clear();
    for (const char* id : {"", "0", "4", "-1", "01", "+2", " 2", "2.0", "x", "99999999999"}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(folders.MultiMonitor(id), nullptr);
        folders.RemoveMultiMonitorFolder(id);
    }
    folders.RemoveMultiMonitorFolder("1");
    EXPECT_TRUE(log.events.isEmpty());
    EXPECT_EQ(folders.MultiMonitorCount(), 3);
    EXPECT_TRUE(folders.MultiMonitor("2") && folders.MultiMonitor("3"));
}

TEST_F(FolderTest, TheFirstShowableMemberBecomesTheSelection) {
    clsMultiMonitorFolder* all = newFolder();
    EXPECT_EQ(all->SelectedChannelID(), "");
    all->AddChannel("B", box(), false);
    EXPECT_EQ(all->SelectedChannelID(), "B");
    all->AddChannel("A", box(), false);
    EXPECT_EQ(all->SelectedChannelID(), "B");

    clsMultiMonitorFolder* onAir = newFolder();
    onAir->setShowChannelOnlyOnBroadcast(true);
    onAir->AddChannel("B", box(), false);
    EXPECT_EQ(onAir->SelectedChannelID(), "");
    onAir->AddChannel("C", box(), false);
    EXPECT_EQ(onAir->SelectedChannelID(), "C");
}

TEST_F(FolderTest, ShowBoxHoldsTheBoxesOfTheShowableMembers) {
    clsMultiMonitorFolder* f = newFolder();
    PictureElement* a = box();
    PictureElement* b = box();
    PictureElement* c = box();
    f->AddChannel("A", a, false);
    f->AddChannel("B", b, false);
    f->AddChannel("C", c, false);
    EXPECT_EQ(a->Tag, "A");
    EXPECT_EQ(f->ShowBox(), (QList<PictureElement*>{nullptr, a, b, c}));
    f->setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(f->ShowBox(), (QList<PictureElement*>{nullptr, a, c}));
    f->RemoveChannel("A");
    EXPECT_EQ(f->ShowBox(), (QList<PictureElement*>{nullptr, c}));
    EXPECT_EQ(newFolder()->ShowBox(), QList<PictureElement*>{nullptr});
}

TEST_F(FolderTest, SwitchingOnlyOnBroadcastMovesTheSelectionAndAlwaysRefreshes) {
    clsMultiMonitorFolder* f = newFolder();
    f->AddChannel("B", box(), false);
    f->AddChannel("A", box(), false);
    f->AddChannel("C", box(), false);
    clsMultiMonitorFolder* paused = newFolder();
    paused->AddChannel("B", box(), false);
    FolderLog log(folders);

    f->setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(f->SelectedChannelID(), "A");
    f->setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(f->SelectedChannelID(), "A");
    paused->setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(paused->SelectedChannelID(), "");
    paused->setShowChannelOnlyOnBroadcast(false);
    EXPECT_EQ(paused->SelectedChannelID(), "B");
    // Off with a selection keeps it.
    f->setSelectedChannelID("C");
    f->setShowChannelOnlyOnBroadcast(false);
    EXPECT_EQ(f->SelectedChannelID(), "C");
    EXPECT_EQ(log.events,
              (QStringList{"thumbnails:1", "thumbnails:1", "thumbnails:2", "thumbnails:2", "thumbnails:1"}));
}

TEST_F(FolderTest, SelectedChannelIDRefreshReplacesOnlyAnUnshowableOrEmptySelection) {
    clsMultiMonitorFolder* f = newFolder();
    f->AddChannel("B", box(), false);
    f->AddChannel("C", box(), false);
    FolderLog log(folders);
    struct Case {
        bool onlyOnBroadcast;
        const char* selected;
        const char* expected;
    };
    const Case cases[] = {
        {false, "", "B"}, {false, "B", "B"}, {true, "B", "C"}, {true, "C", "C"}, {true, "", "C"}, {true, "nobody", "C"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + (c.onlyOnBroadcast ? " on" : " off"));
        f->setShowChannelOnlyOnBroadcast(c.onlyOnBroadcast);
        f->setSelectedChannelID(c.selected);
        f->SelectedChannelIDRefresh();
        EXPECT_EQ(f->SelectedChannelID(), c.expected);
    }
    EXPECT_EQ(log.events.filter("thumbnails").size(), 6);  // only the switch raised events
    EXPECT_EQ(log.events.size(), 6);
}

TEST_F(FolderTest, RemovingTheSelectedMemberSelectsTheFirstShowableOne) {
    clsMultiMonitorFolder* f = newFolder();
    f->AddChannel("A", box(), false);
    f->AddChannel("B", box(), false);
    f->AddChannel("C", box(), false);
    f->setShowChannelOnlyOnBroadcast(true);
    FolderLog log(folders);
    f->RemoveChannel("B");
    EXPECT_EQ(f->SelectedChannelID(), "A");
    f->RemoveChannel("A");
    EXPECT_EQ(f->SelectedChannelID(), "C");
    f->RemoveChannel("C");
    EXPECT_EQ(f->SelectedChannelID(), "");
    EXPECT_EQ(log.events, (QStringList{"remove:1:B", "remove:1:A", "remove:1:C"}));
    EXPECT_TRUE(f->Members().isEmpty());
    EXPECT_EQ(f->ChannelCount(), 3);
}

TEST_F(FolderTest, ReAddingAChannelTakesANewSlot) {
    clsMultiMonitorFolder* f = newFolder();
    f->AddChannel("A", box(), false);
    f->AddChannel("B", box(), false);
    f->RemoveChannel("A");
    PictureElement* again = box();
    f->AddChannel("A", again, false);
    EXPECT_EQ(f->ChannelCount(), 3);
    EXPECT_EQ(f->Members(), (QStringList{"B", "A"}));
    EXPECT_EQ(f->ShowBox().last(), again);
    // The channel kept a blank slot and got a new one.
    EXPECT_EQ(A->ThumbnailCount(), 2);
    EXPECT_EQ(A->ThumbnailShowBox(1), nullptr);
    EXPECT_EQ(A->ThumbnailShowBox(2), again);
    EXPECT_EQ(A->getThumbnailShowBoxIndexFromMultiMonitorID(f->MultiMonitorID()), 2);
}

// Members take the channel's own spelling; the folder's own table then
// compares exactly.
TEST_F(FolderTest, MembersAreKeptInTheChannelsOwnSpelling) {
    clsMultiMonitorFolder* f = newFolder();
    FolderLog log(folders);
    PictureElement* b = box();
    f->AddChannel("a", b, false);
    EXPECT_EQ(f->Members(), QStringList{"A"});
    EXPECT_EQ(b->Tag, "A");
    EXPECT_EQ(f->SelectedChannelID(), "A");
    EXPECT_TRUE(f->IsRegistedChannel("A"));
    EXPECT_FALSE(f->IsRegistedChannel("a"));
    EXPECT_FALSE(f->IsRegistedChannel(""));
    EXPECT_EQ(A->getThumbnailShowBoxIndexFromMultiMonitorID("1"), 1);

    // A ChannelID in another case is not a member: nothing changes.
    f->RemoveChannel("a");
    EXPECT_EQ(f->Members(), QStringList{"A"});
    EXPECT_EQ(A->ThumbnailShowBox(1), b);
    EXPECT_EQ(log.events, QStringList{"add:1:A"});
}

TEST_F(FolderTest, BrokenPreconditionsChangeNoSlot) {
    clsMultiMonitorFolder* f = newFolder();
    f->AddChannel("A", box(), false);
    FolderLog log(folders);
    f->AddChannel("nobody", box(), true);
    f->AddChannel("", box(), true);
    f->RemoveChannel("nobody");
    f->RemoveChannel("");
    f->RemoveChannel("B");  // a channel, but no member
    f->MultMonitorControl(0, true);
    f->MultMonitorControl(3, false);
    EXPECT_EQ(f->ChannelCount(), 1);
    EXPECT_EQ(f->Members(), QStringList{"A"});
    EXPECT_EQ(f->SelectedChannelID(), "A");
    EXPECT_EQ(A->ViewFlag(), 0);
    EXPECT_EQ(B->ThumbnailCount(), 0);
    EXPECT_TRUE(log.events.isEmpty());
}

TEST_F(FolderTest, MultMonitorControlSwitchesThumbnailViewing) {
    clsMultiMonitorFolder* f1 = newFolder();
    clsMultiMonitorFolder* f2 = newFolder();
    f1->AddChannel("A", box(), false);
    f1->AddChannel("B", box(), false);
    f2->AddChannel("A", box(), false);

    f1->MultMonitorControl(1, false);
    f2->MultMonitorControl(1, false);
    EXPECT_EQ(A->ViewFlag(), 4);
    EXPECT_EQ(B->ViewFlag(), 4);
    EXPECT_TRUE(A->ThumbnailIsActive(1) && A->ThumbnailIsActive(2));

    // Without the check every member is switched off.
    f1->MultMonitorControl(2, false);
    EXPECT_EQ(A->ViewFlag(), 0);
    EXPECT_EQ(B->ViewFlag(), 0);
    EXPECT_FALSE(A->ThumbnailIsActive(1));
    EXPECT_TRUE(A->ThumbnailIsActive(2));
}

// Closing two folders that show the same channel, one after the other, with
// the check: the channel stays on while the second is open and stops after.
TEST_F(FolderTest, ClosingFoldersWithTheCheckEndsThumbnailViewingWithTheLastOne) {
    clsMultiMonitorFolder* f1 = newFolder();
    clsMultiMonitorFolder* f2 = newFolder();
    f1->AddChannel("A", box(), false);
    f1->AddChannel("B", box(), false);
    f2->AddChannel("A", box(), false);
    f1->MultMonitorControl(1, false);
    f2->MultMonitorControl(1, false);

    f1->MultMonitorControl(2, true);
    EXPECT_EQ(A->ViewFlag(), 4);
    EXPECT_FALSE(A->ThumbnailIsActive(1));
    EXPECT_TRUE(A->ThumbnailIsActive(2));
    EXPECT_EQ(B->ViewFlag(), 0);

    f2->MultMonitorControl(2, true);
    EXPECT_EQ(A->ViewFlag(), 0);
    EXPECT_FALSE(A->ThumbnailIsActive(2));
    ASSERT_TRUE(ChannelRig::idle(A));
    EXPECT_EQ(A->State(), 1);
}

// A box added to an open folder switches thumbnail viewing on; removing it
// switches it off unless another open folder still shows the channel.
TEST_F(FolderTest, MembershipOfAnOpenFolderSwitchesThumbnailViewing) {
    clsMultiMonitorFolder* f1 = newFolder();
    clsMultiMonitorFolder* f2 = newFolder();
    f1->AddChannel("A", box(), true);
    EXPECT_EQ(A->ViewFlag(), 4);
    EXPECT_TRUE(A->ThumbnailIsActive(1));
    EXPECT_EQ(A->State(), 2);  // it asks for its info file at once
    f2->AddChannel("A", box(), true);
    f1->RemoveChannel("A");
    EXPECT_EQ(A->ViewFlag(), 4);
    f2->RemoveChannel("A");
    EXPECT_EQ(A->ViewFlag(), 0);

    // A box of a closed folder leaves the channel alone both ways.
    QSignalSpy control(rig.manager.get(), &clsChannelManeger::ChannelControlRefresh);
    B->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(B));
    control.clear();
    f1->AddChannel("B", box(), false);
    f1->RemoveChannel("B");
    EXPECT_EQ(B->ViewFlag(), 2);
    EXPECT_EQ(B->State(), 4);
    EXPECT_EQ(control.count(), 0);
}

TEST_F(FolderTest, RemovingAFolderRaisesOnlyItsOwnEvent) {
    clsMultiMonitorFolder* f1 = newFolder();
    clsMultiMonitorFolder* f2 = newFolder();
    f1->AddChannel("A", box(), false);
    f1->AddChannel("B", box(), false);
    f2->AddChannel("A", box(), false);
    FolderLog log(folders);
    folders.RemoveMultiMonitorFolder("1");
    EXPECT_EQ(log.events, QStringList{"removefolder:1"});
    EXPECT_EQ(A->getThumbnailShowBoxIndexFromMultiMonitorID("1"), 0);
    EXPECT_EQ(A->getThumbnailShowBoxIndexFromMultiMonitorID("2"), 2);
    EXPECT_EQ(B->getThumbnailShowBoxIndexFromMultiMonitorID("1"), 0);
    EXPECT_EQ(rig.manager->ChannelCount(), 3);
    EXPECT_EQ(f2->Members(), QStringList{"A"});
}

TEST_F(FolderTest, TheManagerPassesTheFlagOnButDoesNotRememberIt) {
    clsMultiMonitorFolder* f1 = newFolder();
    newFolder();
    newFolder();
    folders.RemoveMultiMonitorFolder("2");
    f1->AddChannel("B", box(), false);
    f1->AddChannel("C", box(), false);
    FolderLog log(folders);
    folders.setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(log.events, (QStringList{"thumbnails:1", "thumbnails:3"}));
    EXPECT_EQ(f1->SelectedChannelID(), "C");
    EXPECT_TRUE(f1->ShowChannelOnlyOnBroadcast());

    clsMultiMonitorFolder* later = newFolder();
    later->AddChannel("B", box(), false);
    EXPECT_FALSE(later->ShowChannelOnlyOnBroadcast());
    EXPECT_EQ(later->SelectedChannelID(), "B");
    EXPECT_EQ(later->ShowBox().size(), 2);
}

TEST_F(FolderTest, EventsComeLastSoHandlersSeeTheNewState) {
    QStringList seen;
    QObject guard;
    QObject::connect(&folders, &clsMultiMonitorManeger::AddMultiMonitorFolderEvent, &guard,
                     [&](const QString& id, const QString&, bool) {
                         seen << "folder " + (folders.MultiMonitor(id) ? folders.MultiMonitor(id)->FolderName() : "-");
                     });
    QObject::connect(&folders, &clsMultiMonitorManeger::AddChannelToMultiMonitor, &guard,
                     [&](const QString& id, const QString& ch) {
                         clsMultiMonitorFolder* f = folders.MultiMonitor(id);
                         seen << QStringLiteral("add %1 %2").arg(f->IsRegistedChannel(ch)).arg(f->SelectedChannelID());
                     });
    QObject::connect(
        &folders, &clsMultiMonitorManeger::RemoveChannelFromMultiMonitor, &guard,
        [&](const QString& id, const QString& ch) {
            clsMultiMonitorFolder* f = folders.MultiMonitor(id);
            seen << QStringLiteral("remove %1 %2").arg(f->IsRegistedChannel(ch)).arg(f->SelectedChannelID());
        });
    QObject::connect(&folders, &clsMultiMonitorManeger::ChangeMultiMonitorFolderName, &guard,
                     [&](const QString& id, const QString& name) {
                         seen << "rename " + folders.MultiMonitor(id)->FolderName() + " " + name;
                     });
    QObject::connect(&folders, &clsMultiMonitorManeger::RemoveMultiMonitorFolderEvent, &guard, [&](const QString& id) {
        seen << QStringLiteral("gone %1").arg(folders.MultiMonitor(id) == nullptr);
    });
    clsMultiMonitorFolder* f = newFolder("最初");
    f->AddChannel("A", box(), false);
    f->AddChannel("C", box(), false);
    f->RemoveChannel("A");
    f->setFolderName("改名");
    folders.RemoveMultiMonitorFolder("1");
    EXPECT_EQ(seen, (QStringList{"folder 最初", "add 1 A", "add 1 A", "remove 0 C", "rename 改名 改名", "gone 1"}));
}

}  // namespace
