#include "storage/WatchSession.h"

#include "common/IniFile.h"
#include "common/Numeric.h"

#include <QHash>
#include <QRegularExpression>

namespace {

const QString kSection = QStringLiteral("Watch");

// The section read once: keys without regard to case, the first one counts.
QHash<QString, QString> readSection(const IniDocument& doc) {
    QHash<QString, QString> keys;
    for (const auto& [key, value] : doc.entries(kSection)) {
        const QString k = key.toLower();
        if (!keys.contains(k)) keys.insert(k, value);
    }
    return keys;
}

bool readInt(const QString& text, int low, int high, int* value) {
    int v = 0;
    if (!Numeric::ToInt32(text, &v) || v < low || v > high) return false;
    *value = v;
    return true;
}

int readCount(const QHash<QString, QString>& keys, const char* key, int high) {
    int n = 0;
    return readInt(keys.value(QLatin1String(key).toString().toLower()), 0, high, &n) ? n : 0;
}

// "<place>,<name>": the name is the rest, commas and all.
bool readFolder(const QString& place, const QString& name, FolderRef* folder) {
    int p = 0;
    if (!readInt(place, 1, 1 << 30, &p) || name.trimmed().isEmpty()) return false;
    *folder = {p, name};
    return true;
}

QString escapeScreen(QString name) {
    return name.replace(QLatin1Char('%'), QStringLiteral("%25")).replace(QLatin1Char(','), QStringLiteral("%2C"));
}

QString unescapeScreen(QString name) {
    return name.replace(QStringLiteral("%2C"), QStringLiteral(","), Qt::CaseInsensitive)
        .replace(QStringLiteral("%25"), QStringLiteral("%"));
}

bool readTab(const QString& value, SavedTab* tab) {
    const QString kind = value.section(QLatin1Char(','), 0, 0).trimmed();
    if (kind.compare(QLatin1String("Channel"), Qt::CaseInsensitive) == 0) {
        tab->ChannelID = value.section(QLatin1Char(','), 1);
        return !tab->ChannelID.isEmpty();
    }
    if (kind.compare(QLatin1String("MultiMonitor"), Qt::CaseInsensitive) == 0)
        return readFolder(value.section(QLatin1Char(','), 1, 1), value.section(QLatin1Char(','), 2), &tab->Folder);
    return false;
}

bool readWindow(const QString& value, SavedFolderWindow* window) {
    const QStringList f = value.split(QLatin1Char(','));
    if (f.size() < 8) return false;
    constexpr int c = WatchSession::kMaxCoordinate;
    int x = 0, y = 0, w = 0, h = 0;
    if (!readInt(f[1], -c, c, &x) || !readInt(f[2], -c, c, &y) || !readInt(f[3], 1, c, &w) ||
        !readInt(f[4], 1, c, &h) || !Numeric::ToBoolean(f[5].trimmed(), &window->FullScreen))
        return false;
    window->Geometry = QRect(x, y, w, h);
    window->Screen = unescapeScreen(f[6]);
    return readFolder(f[0], f.mid(7).join(QLatin1Char(',')), &window->Folder);
}

// Keys of the form prefix + number.
std::function<bool(const QString&)> numbered(const QString& prefix) {
    const QRegularExpression pattern(QLatin1Char('^') + prefix + QStringLiteral("\\d+$"),
                                     QRegularExpression::CaseInsensitiveOption);
    return [pattern](const QString& key) { return pattern.match(key).hasMatch(); };
}

}  // namespace

WatchSession ReadWatchSession(const IniDocument& doc) {
    const QHash<QString, QString> keys = readSection(doc);
    WatchSession session;
    const int tabs = readCount(keys, "TabCount", WatchSession::kMaxTabs);
    int selected = 0;
    readInt(keys.value(QStringLiteral("selectedtab")), 1, tabs, &selected);
    for (int i = 1; i <= tabs; ++i) {
        SavedTab tab;
        if (!readTab(keys.value(QStringLiteral("tab%1").arg(i)), &tab)) continue;
        if (i == selected) session.SelectedTab = int(session.Tabs.size());
        session.Tabs << tab;
    }
    const int windows = readCount(keys, "FolderWindowCount", WatchSession::kMaxWindows);
    for (int i = 1; i <= windows; ++i) {
        SavedFolderWindow window;
        if (readWindow(keys.value(QStringLiteral("folderwindow%1").arg(i)), &window)) session.Windows << window;
    }
    return session;
}

void WriteWatchSession(IniDocument& doc, const WatchSession& session, bool withTabs) {
    // Every key of the last run goes, so the new ones stand together in order.
    const auto tabKey = numbered(QStringLiteral("Tab"));
    const auto windowKey = numbered(QStringLiteral("FolderWindow"));
    doc.removeKeys(kSection, [&](const QString& key) {
        for (const char* count : {"TabCount", "SelectedTab", "FolderWindowCount"})
            if (key.compare(QLatin1String(count), Qt::CaseInsensitive) == 0) return true;
        return tabKey(key) || windowKey(key);
    });
    if (withTabs) {
        const int count = int(qMin<qsizetype>(session.Tabs.size(), WatchSession::kMaxTabs));
        doc.setValue(kSection, QStringLiteral("TabCount"), QString::number(count));
        for (int i = 0; i < count; ++i) {
            const SavedTab& tab = session.Tabs[i];
            doc.setValue(kSection, QStringLiteral("Tab%1").arg(i + 1),
                         tab.IsFolder()
                             ? QStringLiteral("MultiMonitor,%1,%2").arg(tab.Folder.Place).arg(tab.Folder.Name)
                             : QStringLiteral("Channel,") + tab.ChannelID);
        }
        const bool selected = session.SelectedTab >= 0 && session.SelectedTab < count;
        doc.setValue(kSection, QStringLiteral("SelectedTab"), QString::number(selected ? session.SelectedTab + 1 : 0));
    }
    const int count = int(qMin<qsizetype>(session.Windows.size(), WatchSession::kMaxWindows));
    doc.setValue(kSection, QStringLiteral("FolderWindowCount"), QString::number(count));
    for (int i = 0; i < count; ++i) {
        const SavedFolderWindow& w = session.Windows[i];
        const QRect& g = w.Geometry;
        doc.setValue(kSection, QStringLiteral("FolderWindow%1").arg(i + 1),
                     QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8")
                         .arg(w.Folder.Place)
                         .arg(g.x())
                         .arg(g.y())
                         .arg(g.width())
                         .arg(g.height())
                         .arg(Numeric::BooleanText(w.FullScreen), escapeScreen(w.Screen), w.Folder.Name));
    }
}
