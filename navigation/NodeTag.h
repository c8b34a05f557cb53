#pragma once
// The viewer's identity tags: a kind prefix, "_", and an identifier, on tree
// nodes and tabs. The identifier is the text after the first "_", so it may
// itself hold "_"; prefixes are compared without regard to case.

#include <QString>

enum class NodeKind {
    None,                 // no tag, or a prefix the viewer does not know
    Channel,              // "Channel_" + ChannelID: a channel node, or a channel tab
    FavariteChannel,      // "FavariteChannel_" + ChannelID
    MultiMonitorFolder,   // "MultiMonitorFolder_" + MultiMonitorID
    MultiMonitorChannel,  // "MultiMonitorChannel_" + ChannelID: a folder member
    ChannelList,          // "ChannelList_" + ChannelListURL
    Node,                 // "Node_": a category
    FavariteRoot,         // "FavariteRoot_"
    MultiMonitorRoot,     // "MultiMonitorRoot_"
    MultiMonitor,         // "MultiMonitor_" + MultiMonitorID: a folder tab
};

struct ParsedTag {
    NodeKind Kind = NodeKind::None;
    QString ID;  // after the first "_", whatever the kind; empty without one
};

QString MakeTag(NodeKind kind, const QString& id = QString());
ParsedTag ParseTag(const QString& tag);
