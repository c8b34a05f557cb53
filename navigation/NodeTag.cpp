#include "navigation/NodeTag.h"

namespace {

struct Prefix {
    NodeKind Kind;
    QLatin1String Name;  // without the "_"
};

constexpr Prefix kPrefixes[] = {
    {NodeKind::Channel, QLatin1String("Channel")},
    {NodeKind::FavariteChannel, QLatin1String("FavariteChannel")},
    {NodeKind::MultiMonitorFolder, QLatin1String("MultiMonitorFolder")},
    {NodeKind::MultiMonitorChannel, QLatin1String("MultiMonitorChannel")},
    {NodeKind::ChannelList, QLatin1String("ChannelList")},
    {NodeKind::Node, QLatin1String("Node")},
    {NodeKind::FavariteRoot, QLatin1String("FavariteRoot")},
    {NodeKind::MultiMonitorRoot, QLatin1String("MultiMonitorRoot")},
    {NodeKind::MultiMonitor, QLatin1String("MultiMonitor")},
};

}  // namespace

QString MakeTag(NodeKind kind, const QString& id) {
    for (const Prefix& p : kPrefixes)
        if (p.Kind == kind) return p.Name + QLatin1Char('_') + id;
    return QString();
}

ParsedTag ParseTag(const QString& tag) {
    const qsizetype underscore = tag.indexOf(QLatin1Char('_'));
    if (underscore < 0) return {};
    const QStringView name = QStringView(tag).left(underscore);
    ParsedTag parsed{NodeKind::None, tag.mid(underscore + 1)};
    for (const Prefix& p : kPrefixes) {
        if (name.compare(p.Name, Qt::CaseInsensitive) == 0) {
            parsed.Kind = p.Kind;
            break;
        }
    }
    return parsed;
}
