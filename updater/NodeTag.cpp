#include "updater/NodeTag.h"

#include "common/Numeric.h"

namespace updater {

namespace {

struct Kind {
    NodeKind Value;
    QString Name;
};

// Made once: a name handed out is shared, not copied.
const Kind* kinds() {
    static const Kind table[] = {
        {NodeKind::Group, QStringLiteral("Node")},
        {NodeKind::ChannelList, QStringLiteral("ChannelList")},
        {NodeKind::Channel, QStringLiteral("Channel")},
        {NodeKind::Other, QString()},
    };
    return table;
}

}  // namespace

bool NodeTag::SavePicture() const {
    bool value = false;
    return Numeric::ToBoolean(SaveSwitch(), &value) && value;
}

QString KindName(NodeKind kind) {
    const Kind* k = kinds();
    while (k->Value != kind && k->Value != NodeKind::Other) ++k;
    return k->Name;
}

NodeKind KindNamed(const QString& name) {
    const Kind* k = kinds();
    while (k->Value != NodeKind::Other && name != k->Name) ++k;
    return k->Value;
}

NodeTag MakeTag(NodeKind kind, const QStringList& fields) {
    NodeTag tag{kind, {}};
    tag.Fields.reserve(fields.size() + 1);
    tag.Fields.append(KindName(kind));
    tag.Fields.append(fields);
    return tag;
}

NodeTag MakeChannelTag(const QString& channelId, const QString& protocol, const QString& name,
                       const QString& infoAddress, bool savePicture) {
    return MakeTag(NodeKind::Channel, {channelId, protocol, name, infoAddress, Numeric::BooleanText(savePicture)});
}

}  // namespace updater
