#pragma once
// What the viewer brings back at start beside the specified settings, in the
// INI section "Watch": the folders shown in windows of their own (always)
// and the tabs of the last run (when RestoreTabs is on).
//
// Folder identifiers are numbered anew at every start, so a folder is named
// by its place among the folders of MultiMonitor.txt (1 for the first, as
// the tree lists them under マルチモニター) together with its name: the place
// finds it, the name confirms it, and when the two disagree (a folder
// removed or renamed by hand) the first folder of that name is taken.
//
//   TabCount=3
//   Tab1=Channel,<ChannelID>
//   Tab2=MultiMonitor,<place>,<folder name>
//   SelectedTab=2
//   FolderWindowCount=1
//   FolderWindow1=<place>,<left>,<top>,<width>,<height>,<True|False full screen>,<screen>,<folder name>
//
// A window's rectangle is its normal geometry (without the frame), relative
// to the top-left corner of the screen it was on; "," and "%" in a screen's
// name are written as %2C and %25. A value that does not read is skipped,
// a count that does not read is 0, and everything is written anew at exit.

#include <QList>
#include <QRect>
#include <QString>

class IniDocument;

struct FolderRef {
    int Place = 0;  // 1-based
    QString Name;
};

struct SavedTab {
    QString ChannelID;  // a channel tab; empty for a folder tab
    FolderRef Folder;   // a folder tab
    bool IsFolder() const { return ChannelID.isEmpty(); }
};

struct SavedFolderWindow {
    FolderRef Folder;
    QString Screen;  // the screen's name
    QRect Geometry;  // relative to the screen's top-left corner
    bool FullScreen = false;
};

struct WatchSession {
    QList<SavedTab> Tabs;
    int SelectedTab = -1;  // index into Tabs; -1 when none
    QList<SavedFolderWindow> Windows;

    static constexpr int kMaxTabs = 1000;
    static constexpr int kMaxWindows = 100;
    static constexpr int kMaxCoordinate = 100000;
};

WatchSession ReadWatchSession(const IniDocument& doc);
// Replaces the keys of the last run; without tabs their keys go.
void WriteWatchSession(IniDocument& doc, const WatchSession& session, bool withTabs);
