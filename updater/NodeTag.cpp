#include "updater/NodeTag.h"

#include "common/Numeric.h"
#include "common/mdlFunction.h"

namespace updater {

namespace {

struct Kind {
    NodeKind Value;
    QLatin1String Name;
};

constexpr Kind kKinds[] = {
    {NodeKind::Group, QLatin1String("Node")},
    {NodeKind::ChannelList, QLatin1String("ChannelList")},
    {NodeKind::Channel, QLatin1String("Channel")},
};

}  // namespace

bool NodeTag::SavePicture() const {
    bool value = false;
    return Numeric::ToBoolean(Field(5), &value) && value;
}

QChar TagSeparator() { return QChar(u'\u0001'); }

QString KindName(NodeKind kind) {
    for (const Kind& k : kKinds)
        if (k.Value == kind) return k.Name;
    return QString();
}

NodeKind KindNamed(const QString& name) {
    for (const Kind& k : kKinds)
        if (name == k.Name) return k.Value;
    return NodeKind::Other;
}

NodeTag MakeTag(NodeKind kind, const QStringList& fields) {
    return ParseTag(KindName(kind) + TagSeparator() + fields.join(TagSeparator()));
}

NodeTag MakeChannelTag(const QString& channelId, const QString& protocol, const QString& name,
                       const QString& infoAddress, bool savePicture) {
    return MakeTag(NodeKind::Channel, {channelId, protocol, name, infoAddress, Numeric::BooleanText(savePicture)});
}

NodeTag ParseTag(const QString& text) {
    NodeTag tag;
    tag.Fields = mdlFunction::SplitString(text, TagSeparator(), true, false);
    tag.Kind = KindNamed(tag.Field(0));
    return tag;
}

QString TagText(const NodeTag& tag) { return tag.Fields.join(TagSeparator()); }

}  // namespace updater
