// The folder model: identifiers, members, selection, showable boxes, the
// switching of thumbnail viewing and the six events.

#include "ChannelRig.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <QSignalSpy>

namespace {

// The folder manager's events in the order they were raised. Every event
// comes last, so its handler already sees the new state.
class FolderLog {
public:
    explicit FolderLog(clsMultiMonitorManeger& m) {
        using M = clsMultiMonitorManeger;
        QObject::connect(&m, &M::AddMultiMonitorFolderEvent, &guard_,
                         [&m, this](const QString& id, const QString& name, bool expand) {
                             events << QStringLiteral("addfolder:%1:%2:%3").arg(id, name).arg(expand);
                             EXPECT_TRUE(m.MultiMonitor(id) && m.MultiMonitor(id)->FolderName() == name);
                         });
        QObject::connect(&m, &M::RemoveMultiMonitorFolderEvent, &guard_, [&m, this](const QString& id) {
            events << "removefolder:" + id;
            EXPECT_EQ(m.MultiMonitor(id), nullptr);
        });
        auto member = [&m, this](const char* what, bool registered) {
            return [&m, this, what, registered](const QString& id, const QString& ch) {
                events << what + id + ":" + ch;
                EXPECT_EQ(m.MultiMonitor(id)->IsRegistedChannel(ch), registered);
                selections << m.MultiMonitor(id)->SelectedChannelID();
            };
        };
        QObject::connect(&m, &M::AddChannelToMultiMonitor, &guard_, member("add:", true));
        QObject::connect(&m, &M::RemoveChannelFromMultiMonitor, &guard_, member("remove:", false));
        QObject::connect(&m, &M::ChangeMultiMonitorFolderName, &guard_,
                         [&m, this](const QString& id, const QString& name) {
                             events << "rename:" + id + ":" + name;
                             EXPECT_EQ(m.MultiMonitor(id)->FolderName(), name);
                         });
        QObject::connect(&m, &M::ThumbnailBoxRefresh, &guard_,
                         [this](const QString& id) { events << "thumbnails:" + id; });
    }
    QStringList events;
    QStringList selections;  // the folder's selection as add and remove handlers see it

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
        ASSERT_TRUE(A->IsOnBroadcast() && !B->IsOnBroadcast() && C->IsOnBroadcast());
    }
    // A new folder holding the given members, none of them active.
    clsMultiMonitorFolder* newFolder(const QStringList& members = {}, const QString& name = "folder") {
        folders.AddMultiMonitorFolder(name, false);
        clsMultiMonitorFolder* f = folders.MultiMonitor(QString::number(folders.MultiMonitorCount()));
        for (const QString& id : members) f->AddChannel(id, rig.boxes.Load(), false);
        return f;
    }

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
    ASSERT_NE(folders.MultiMonitor("3"), nullptr);  // the log checked each name as its event came
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
    paused->AddChannel("C", rig.boxes.Load(), false);
    paused->RemoveChannel("C");
    paused->setShowChannelOnlyOnBroadcast(false);
    EXPECT_EQ(state(paused), "B sel B show B");

    // Removing the selected member selects the first showable one.
    f->RemoveChannel("A");
    EXPECT_EQ(state(f), "B,C sel C show C");
    f->RemoveChannel("C");
    f->RemoveChannel("B");
    EXPECT_EQ(state(f), " sel  show ");
    EXPECT_EQ(f->ChannelCount(), 3);  // slots are kept
    EXPECT_EQ(log.events, (QStringList{"thumbnails:1", "thumbnails:1", "thumbnails:2", "add:2:C", "remove:2:C",
                                       "thumbnails:2", "remove:1:A", "remove:1:C", "remove:1:B"}));
    EXPECT_EQ(log.selections, (QStringList{"C", "", "C", "", ""}));
}

TEST_F(FolderTest, SelectedChannelIDRefreshReplacesOnlyAnUnshowableOrEmptySelection) {
    clsMultiMonitorFolder* f = newFolder({"B", "C"});
    FolderLog log(folders);
    const struct {
        bool onlyOnBroadcast;
        const char *selected, *expected;
    } cases[] = {{false, "", "B"}, {false, "B", "B"}, {true, "B", "C"},
                 {true, "C", "C"}, {true, "", "C"},   {true, "nobody", "C"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.selected) + (c.onlyOnBroadcast ? " on" : " off"));
        f->setShowChannelOnlyOnBroadcast(c.onlyOnBroadcast);
        f->setSelectedChannelID(c.selected);
        f->SelectedChannelIDRefresh();
        EXPECT_EQ(f->SelectedChannelID(), c.expected);
    }
    f->setShowChannelOnlyOnBroadcast(false);  // off with a selection keeps it
    EXPECT_EQ(f->SelectedChannelID(), "C");
    EXPECT_EQ(log.events, QStringList(7, "thumbnails:1"));  // only the switch raised events
}

// Members take the channel's own spelling and new slots; the folder's own
// table then compares exactly.
TEST_F(FolderTest, MembersTakeTheChannelsSpellingAndNewSlots) {
    clsMultiMonitorFolder* f = newFolder();
    FolderLog log(folders);
    f->AddChannel("a", rig.boxes.Load(), false);
    EXPECT_TRUE(f->IsRegistedChannel("A"));
    EXPECT_FALSE(f->IsRegistedChannel("a"));
    EXPECT_FALSE(f->IsRegistedChannel(""));
    f->RemoveChannel("a");                  // another case is not a member: nothing changes
    EXPECT_EQ(state(f), "A sel A show A");  // the box's tag is the channel's spelling too

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

TEST_F(FolderTest, BrokenPreconditionsChangeNoSlot) {
    clsMultiMonitorFolder* f = newFolder({"A"});
    FolderLog log(folders);
    f->AddChannel("nobody", rig.boxes.Load(), true);
    f->AddChannel("", rig.boxes.Load(), true);
    for (const char* id : {"nobody", "", "B"}) f->RemoveChannel(id);  // B: a channel, but no member
    f->MultMonitorControl(0, true);
    f->MultMonitorControl(3, false);
    EXPECT_EQ(f->ChannelCount(), 1);
    EXPECT_EQ(state(f), "A sel A show A");
    EXPECT_EQ(viewing(A), "0 1-");
    EXPECT_EQ(viewing(B), "0");
    EXPECT_TRUE(log.events.isEmpty());
}

// Two open folders show A. Closing without the check switches every member
// off; with it, A stays on while the other folder is open and stops after.
TEST_F(FolderTest, MultMonitorControlSwitchesThumbnailViewing) {
    clsMultiMonitorFolder* f1 = newFolder({"A", "B"});
    clsMultiMonitorFolder* f2 = newFolder({"A"});
    for (bool check : {false, true}) {
        SCOPED_TRACE(check);
        f1->MultMonitorControl(1, false);
        f2->MultMonitorControl(1, false);
        EXPECT_EQ(viewing(A), "4 1+ 2+");
        EXPECT_EQ(viewing(B), "4 1+");
        f1->MultMonitorControl(2, check);
        EXPECT_EQ(viewing(A), check ? "4 1- 2+" : "0 1- 2+");
        EXPECT_EQ(viewing(B), "0 1-");
        f2->MultMonitorControl(2, true);
        EXPECT_EQ(viewing(A), "0 1- 2-");
        ASSERT_TRUE(ChannelRig::idle(A));
        EXPECT_EQ(A->State(), ChannelState::Stopped);
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
    EXPECT_EQ(viewing(A), "0 . 2-");
    EXPECT_EQ(viewing(B), "0 . 3-");
    EXPECT_EQ(rig.manager->ChannelCount(), 3);
    EXPECT_EQ(state(f2), "A sel A show A");

    folders.setShowChannelOnlyOnBroadcast(true);
    EXPECT_EQ(log.events, (QStringList{"rename:2:改名", "removefolder:1", "thumbnails:2", "thumbnails:3"}));
    EXPECT_EQ(state(f3), "B,C sel C show C");
    EXPECT_TRUE(f3->ShowChannelOnlyOnBroadcast());
    clsMultiMonitorFolder* later = newFolder({"B"});
    EXPECT_FALSE(later->ShowChannelOnlyOnBroadcast());
    EXPECT_EQ(state(later), "B sel B show B");
}

}  // namespace
