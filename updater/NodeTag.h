#pragma once
// The updater's node tags: text fields joined by U+0001, field 0 naming the
// node's kind in exact letter case (the same names as the records of
// ChannelList.txt). A tag is split once, when it is made, and nodes keep it
// split, so lookups read fields instead of splitting text again.

#include <QString>
#include <QStringList>

namespace updater {

enum class NodeKind {
    Other,        // not a tag the updater makes
    Group,        // "Node" ␁ name
    ChannelList,  // "ChannelList" ␁ name ␁ address of the channel list file
    Channel,      // "Channel" ␁ ChannelID ␁ protocol ␁ name ␁ information file address ␁ saving switch
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
    bool SavePicture() const;  // field 5 read as a Boolean
};

QChar TagSeparator();
// Field 0 of a kind's tags, which is also its record type in the list file.
QString KindName(NodeKind kind);
// The kind whose name is exactly name; Other for anything else.
NodeKind KindNamed(const QString& name);

// The fields after field 0, joined and split as the text form would be, so a
// made tag equals the same tag read back from its text.
NodeTag MakeTag(NodeKind kind, const QStringList& fields);
NodeTag MakeChannelTag(const QString& channelId, const QString& protocol, const QString& name,
                       const QString& infoAddress, bool savePicture);
// Split at U+0001, every piece trimmed of spaces, empty pieces kept.
NodeTag ParseTag(const QString& text);
QString TagText(const NodeTag& tag);

}  // namespace updater
