#pragma once
// The updater's node tags: a kind and its fields, field 0 naming the kind in
// exact letter case (the same names as the records of ChannelList.txt). A
// tag is fields joined by U+0001 in principle; a node keeps them apart, so
// no lookup splits text. Fields come cleaned (CleanListField: no U+0001, no
// spaces at the ends), so they are what splitting the joined text would give.

#include <QString>
#include <QStringList>

namespace updater {

enum class NodeKind {
    Other,        // not a tag the updater makes
    Group,        // "Node", name
    ChannelList,  // "ChannelList", name, address of the channel list file
    Channel,      // "Channel", ChannelID, protocol, name, information file address, saving switch
};

struct NodeTag {
    NodeKind Kind = NodeKind::Other;
    QStringList Fields;  // field 0 names the kind

    QString Field(int i) const { return Fields.value(i); }
    // Field 1: the name of a group or list, the ChannelID of a channel.
    QString Name() const { return Field(1); }
    QString ListAddress() const { return Field(2); }
    QString Protocol() const { return Field(2); }
    QString ChannelName() const { return Field(3); }
    QString InfoAddress() const { return Field(4); }
    QString SaveSwitch() const { return Field(5); }  // as the file had it
    bool SavePicture() const;                        // the switch read as a Boolean
};

// Field 0 of a kind's tags, which is also its record type in the list file.
QString KindName(NodeKind kind);
// The kind whose name is exactly name; Other for anything else.
NodeKind KindNamed(const QString& name);

// fields: the fields after field 0.
NodeTag MakeTag(NodeKind kind, const QStringList& fields);
NodeTag MakeChannelTag(const QString& channelId, const QString& protocol, const QString& name,
                       const QString& infoAddress, bool savePicture);

}  // namespace updater
