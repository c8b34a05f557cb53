#pragma once
// The removals of a session that Ctrl+Z brings back, last first: a
// favourite, a multi-monitor folder with its members, a folder member.

#include <QString>
#include <QStringList>

#include <vector>

#include "navigation/NodeTag.h"

struct RemovedNode {
    NodeKind Kind;           // FavariteChannel, MultiMonitorFolder or MultiMonitorChannel
    QString ID;              // the favourite's ChannelID; the folder's MultiMonitorID (also a member's)
    QString Name;            // the folder's
    QStringList ChannelIDs;  // the folder's members in order; the member's own
    bool Expanded = false;
    int Row = 0;  // among its siblings
};

class TreeRemovalUndo {
public:
    void Removed(RemovedNode removed) {
        if (mPaused) return;
        mRemoved.push_back(std::move(removed));
    }
    bool IsEmpty() const { return mRemoved.empty(); }
    RemovedNode TakeLast() {
        RemovedNode last = std::move(mRemoved.back());
        mRemoved.pop_back();
        return last;
    }
    // What an undo itself removes is not undone again.
    void Pause(bool paused) { mPaused = paused; }

private:
    std::vector<RemovedNode> mRemoved;
    bool mPaused = false;
};
