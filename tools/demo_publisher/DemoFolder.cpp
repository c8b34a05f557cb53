#include "DemoFolder.h"

#include "common/Numeric.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"

#include <QDir>
#include <QFile>
#include <QMap>

namespace DemoFolder {

namespace {

const QString kTrue = Numeric::BooleanText(true);
const QString kFalse = Numeric::BooleanText(false);

// Groups in catalog order, each with its channels in catalog order.
QList<QList<DemoChannel>> byGroup(const QList<DemoChannel>& channels) {
    QList<QList<DemoChannel>> groups;
    QMap<QString, int> where;
    for (const DemoChannel& c : channels) {
        auto it = where.constFind(c.Group);
        if (it == where.constEnd()) {
            it = where.insert(c.Group, int(groups.size()));
            groups.append(QList<DemoChannel>());
        }
        groups[*it].append(c);
    }
    return groups;
}

}  // namespace

QList<DemoChannel> Showcase(const QList<DemoChannel>& channels, int count) {
    QList<DemoChannel> out;
    const auto groups = byGroup(channels);
    for (bool healthy : {true, false}) {
        // Round-robin over the groups: first channel of each, then second...
        for (int rank = 0; out.size() < count; ++rank) {
            bool any = false;
            for (const auto& g : groups) {
                if (rank >= g.size()) continue;
                any = true;
                const DemoChannel& c = g[rank];
                if ((c.Fault == DemoFault::None) == healthy && out.size() < count) out.append(c);
            }
            if (!any) break;
        }
    }
    return out;
}

QStringList ChannelListLines(const QList<DemoChannel>& channels, const QString& baseUrl) {
    // The shape the updater gives a new list of "demo.<group>.<cam>" IDs: the
    // root group "demo", under it each group as a channel list node.
    QStringList lines;
    lines << FormatTreeListLine(0, QStringLiteral("Node"), {QStringLiteral("demo"), kTrue}, true);
    for (const auto& group : byGroup(channels)) {
        lines << FormatTreeListLine(1, QStringLiteral("ChannelList"),
                                    {group.first().Group, kTrue, baseUrl + Demo::ListPath}, false);
        for (const DemoChannel& c : group)
            lines << FormatTreeListLine(2, QStringLiteral("Channel"),
                                        {Demo::ProtocolSignature, c.ChannelID, CleanListField(c.ChannelName),
                                         baseUrl + Demo::InfoPath(c), kFalse},
                                        false);
    }
    return lines;
}

QStringList FavoriteLines(const QList<DemoChannel>& channels) {
    QStringList lines;
    lines << FormatTreeListLine(0, QStringLiteral("FavariteRoot"), {QStringLiteral("お気に入り"), kTrue}, false);
    for (const DemoChannel& c : Showcase(channels, 2))
        lines << FormatTreeListLine(1, QStringLiteral("FavariteChannel"), {c.ChannelID}, false);
    return lines;
}

QStringList MultiMonitorLines(const QList<DemoChannel>& channels) {
    QStringList lines;
    lines << FormatTreeListLine(0, QStringLiteral("MultiMonitorRoot"), {QStringLiteral("マルチモニター"), kTrue},
                                false);
    lines << FormatTreeListLine(1, QStringLiteral("MultiMonitorFolder"), {FolderName, kTrue}, false);
    for (const DemoChannel& c : Showcase(channels, 6))
        lines << FormatTreeListLine(2, QStringLiteral("MultiMonitorChannel"), {c.ChannelID}, false);
    return lines;
}

bool Write(const QString& folder, const QList<DemoChannel>& channels, const QString& baseUrl, QString* error) {
    const QString dir = QDir(folder).absolutePath();
    if (!QDir().mkpath(dir)) {
        if (error) *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    const QString ini = dir + QStringLiteral("/Vantomon.ini");
    QFile::remove(ini);

    // 1024 x 720 pixels, in the twips the file keeps (15 per pixel).
    const struct {
        const char* section;
        const char* key;
        QVariant value;
    } keys[] = {
        {"MainWindow", "ResizeX", 220},
        {"MainWindow", "Width", 1024 * 15},
        {"MainWindow", "Height", 720 * 15},
        {"MainWindow", "Style", 0},
        {"General", "ChachDirctory", dir + QStringLiteral("/chach/")},
        {"General", "PictureSaveDirctory", dir + QStringLiteral("/save/")},
        {"General", "ImageResize", 2},
        // Failing demo channels retry after this many seconds.
        {"General", "DefaultWaitCount", 10},
        {"General", "Proxy", QString()},
        {"General", "Timeout", 60},
        {"General", "ProxyEnable", false},
        {"General", "ShowLimit", false},
        {"General", "ChannelLimit", false},
    };
    for (const auto& k : keys)
        if (!mdlFunction::SetIniTo(ini, QString::fromLatin1(k.section), QString::fromLatin1(k.key), k.value)) {
            if (error) *error = QStringLiteral("cannot write %1").arg(ini);
            return false;
        }

    const std::pair<const char*, QStringList> lists[] = {
        {"ChannelList.txt", ChannelListLines(channels, baseUrl)},
        {"Favorite.txt", FavoriteLines(channels)},
        {"MultiMonitor.txt", MultiMonitorLines(channels)},
    };
    for (const auto& [name, lines] : lists)
        if (!WriteTreeListFile(dir + QLatin1Char('/') + QString::fromLatin1(name), lines, TextEncoding::Cp932, error))
            return false;
    return true;
}

}  // namespace DemoFolder
