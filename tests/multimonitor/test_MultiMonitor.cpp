// How opening, closing and membership switch the members' thumbnail viewing.

#include "ChannelRig.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"

#include <QSignalSpy>

namespace {

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

// Closing with the check keeps A on while the other folder shows it.
TEST_F(FolderTest, MultMonitorControlSwitchesThumbnailViewing) {
    clsMultiMonitorFolder* f1 = newFolder({"A", "B"});
    clsMultiMonitorFolder* f2 = newFolder({"A"});
    for (bool check : {false, true}) {
        f1->MultMonitorControl(clsMultiMonitorFolder::FolderShown, false);
        f2->MultMonitorControl(clsMultiMonitorFolder::FolderShown, false);
        EXPECT_EQ(viewing(A) + viewing(B), "4 1+ 2+4 1+");
        f1->MultMonitorControl(clsMultiMonitorFolder::FolderHidden, check);
        EXPECT_EQ(viewing(A), check ? "4 1- 2+" : "0 1- 2+");
        EXPECT_EQ(viewing(B), "0 1-");
        f2->MultMonitorControl(clsMultiMonitorFolder::FolderHidden, true);
        EXPECT_EQ(viewing(A), "0 1- 2-");
        ASSERT_TRUE(ChannelRig::idle(A));
        EXPECT_EQ(A->State(), ChannelState::Stopped) << check;
    }
}

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

}  // namespace
