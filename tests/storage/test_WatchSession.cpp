// The keys of the last session in the section Watch: tabs, the selected tab
// and folder windows, read leniently and written anew.

#include <gtest/gtest.h>

#include "Rows.h"
#include "common/IniFile.h"
#include "storage/WatchSession.h"

#include <QStringList>

namespace {

// A session as one line: tabs ("C:id" or "F:place:name", "*" on the
// selected one), then windows ("place@screen x,y wxh [full] name").
QString describe(const WatchSession& s) {
    QStringList tabs, windows;
    for (int i = 0; i < s.Tabs.size(); ++i) {
        const SavedTab& t = s.Tabs[i];
        tabs << (i == s.SelectedTab ? "*" : "") +
                    (t.IsFolder() ? QStringLiteral("F:%1:%2").arg(t.Folder.Place).arg(t.Folder.Name)
                                  : "C:" + t.ChannelID);
    }
    for (const SavedFolderWindow& w : s.Windows) {
        const QRect& g = w.Geometry;
        windows << QStringLiteral("%1@%2 %3,%4 %5x%6%7 %8")
                       .arg(w.Folder.Place)
                       .arg(w.Screen)
                       .arg(g.x())
                       .arg(g.y())
                       .arg(g.width())
                       .arg(g.height())
                       .arg(w.FullScreen ? " full" : "", w.Folder.Name);
    }
    return tabs.join(" | ") + " / " + windows.join(" | ");
}

WatchSession read(const QByteArray& watch) {
    return ReadWatchSession(IniDocument::fromBytes("[General]\r\nTimeout=30\r\n[Watch]\r\n" + watch));
}

struct ReadRow {
    const char* name;
    QByteArray keys;
    QString session;
};
class SessionKeysRead : public ::testing::TestWithParam<ReadRow> {};

TEST_P(SessionKeysRead, GiveWhatReadsAndSkipTheRest) { EXPECT_EQ(describe(read(GetParam().keys)), GetParam().session); }

const ReadRow kReadRows[] = {
    {"Missing", "", " / "},
    {"Stored",
     "tabcount=3\r\nTab1=Channel,a,b\r\nTab2=multimonitor,2,監視,夜\r\nTab3=Channel,ch.c\r\nSelectedTab=2\r\n"
     "FolderWindowCount=2\r\nFolderWindow1=2,10,-20,640,480,True,DP%2C1%25,監視,夜\r\n"
     "FolderWindow2=1,0,0,300,200,0,Left,予備\r\n",
     "C:a,b | *F:2:監視,夜 | C:ch.c / 2@DP,1% 10,-20 640x480 full 監視,夜 | 1@Left 0,0 300x200 予備"},
    // The selection stays with its tab when an earlier one is skipped.
    {"BadEntriesAreSkipped",
     "TabCount=6\r\nTab1=Channel,\r\nTab2=Folder,1,x\r\nTab3=MultiMonitor,0,x\r\nTab4=MultiMonitor,1,\r\n"
     "Tab5=Channel,ok\r\nSelectedTab=5\r\nFolderWindowCount=5\r\nFolderWindow1=1,0,0,0,200,False,S,x\r\n"
     "FolderWindow2=1,0,0,300,200,ja,S,x\r\nFolderWindow3=1,0,0,300,200,False,S\r\n"
     "FolderWindow4=1,0,0,300,999999,False,S,x\r\nFolderWindow5=1,0,0,300,200,False,,x\r\n",
     "*C:ok / 1@ 0,0 300x200 x"},
    {"CountsThatDoNotReadAreNone",
     "TabCount=x\r\nTab1=Channel,a\r\nFolderWindowCount=-1\r\n"
     "FolderWindow1=1,0,0,300,200,False,S,x\r\n",
     " / "},
    {"CountsPastTheLimitAreNone", "TabCount=1001\r\nTab1=Channel,a\r\nFolderWindowCount=101\r\n", " / "},
    {"ASelectionOutsideTheTabsIsNone", "TabCount=1\r\nTab1=Channel,a\r\nTab2=Channel,b\r\nSelectedTab=2\r\n", "C:a / "},
};
VANTORA_ROWS(SessionKeysRead, kReadRows);

struct WriteRow {
    const char* name;
    QByteArray before;  // the section Watch as it was
    bool withTabs;
    QByteArray after;
};
class SessionKeysWritten : public ::testing::TestWithParam<WriteRow> {};

TEST_P(SessionKeysWritten, ReplaceTheLastRunsAndLeaveEveryOtherKey) {
    WatchSession s;
    s.Tabs << SavedTab{"ch.a", {}} << SavedTab{QString(), {2, QStringLiteral("監視,夜")}};
    s.SelectedTab = 1;
    s.Windows << SavedFolderWindow{{1, QStringLiteral("予備")}, "DP,1%", QRect(-5, 10, 640, 480), true};
    IniDocument doc = IniDocument::fromBytes("[Watch]\r\n" + GetParam().before + "[Other]\r\nTab1=kept\r\n");
    WriteWatchSession(doc, s, GetParam().withTabs);
    const QString expected = QString::fromUtf8("[Watch]\r\n" + GetParam().after + "[Other]\r\nTab1=kept\r\n");
    EXPECT_EQ(DecodeText(doc.toBytes(), TextEncoding::Cp932), expected);
    // What is written reads back as it was (without tabs, as none).
    if (!GetParam().withTabs) {
        s.Tabs.clear();
        s.SelectedTab = -1;
    }
    EXPECT_EQ(describe(ReadWatchSession(doc)), describe(s));
}

const WriteRow kWriteRows[] = {
    {"WithTabs",
     "SelectedTab=1\r\nScaleTiles=True\r\nTab9=Channel,old\r\nFolderWindowCount=3\r\nFolderWindow3=1,0,0,1,1,False,S,"
     "x\r\n"
     "TabCount=9\r\n",
     true,
     "ScaleTiles=True\r\nTabCount=2\r\nTab1=Channel,ch.a\r\nTab2=MultiMonitor,2,監視,夜\r\nSelectedTab=2\r\n"
     "FolderWindowCount=1\r\nFolderWindow1=1,-5,10,640,480,True,DP%2C1%25,予備\r\n"},
    {"WithoutTabsTheirKeysGo", "TabCount=4\r\nTab1=Channel,old\r\nSelectedTab=1\r\nRestoreTabs=False\r\n", false,
     "RestoreTabs=False\r\nFolderWindowCount=1\r\nFolderWindow1=1,-5,10,640,480,True,DP%2C1%25,予備\r\n"},
};
VANTORA_ROWS(SessionKeysWritten, kWriteRows);

}  // namespace
