#pragma once
// A viewer program folder for the demo channels: Vantomon.ini with the cache
// and picture folders inside it, ChannelList.txt as the updater would have
// written it for the demo list, a couple of favourites and one multi-monitor
// folder. The programs themselves are copied in by scripts/demo.sh.

#include <QList>
#include <QString>
#include <QStringList>

#include "DemoCatalog.h"

namespace DemoFolder {

inline const QString FolderName = QStringLiteral("デモ監視");

// The channels worth showing first: healthy ones before faulty ones, one
// group after the other, so a folder shows several cities.
QList<DemoChannel> Showcase(const QList<DemoChannel>& channels, int count);

// The lines of the three list files, without line ends.
QStringList ChannelListLines(const QList<DemoChannel>& channels, const QString& baseUrl);
QStringList FavoriteLines(const QList<DemoChannel>& channels);
QStringList MultiMonitorLines(const QList<DemoChannel>& channels);

// Writes the folder (created when missing); an older Vantomon.ini there is
// replaced, not merged. False with a message when a file cannot be written.
bool Write(const QString& folder, const QList<DemoChannel>& channels, const QString& baseUrl, QString* error = nullptr);

}  // namespace DemoFolder
