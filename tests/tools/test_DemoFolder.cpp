// The demo program folder, read back the way the viewer reads it.
#include <gtest/gtest.h>

#include "Fetch.h"
#include "TempProgramDir.h"
#include "channel/ChannelInfomation.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"
#include "tools/demo_publisher/DemoFolder.h"
#include "tools/demo_publisher/DemoPublisher.h"

#include <QSet>

#include <algorithm>

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:5555");

struct Record {
    QString raw;  // the line as in the file
    TreeListLine line;
};

// The records of a list file as the viewer's loader sees them.
QList<Record> records(const TempProgramDir& dir, const QString& name) {
    QList<Record> out;
    const QStringList lines = mdlFunction::ReadLines(dir.file(name), true);
    for (int i = 1; i < lines.size(); ++i) out.append({lines[i], ParseTreeListLine(lines[i])});
    return out;
}

DemoOptions tenChannels() {
    DemoOptions o;
    o.Channels = 10;
    o.NotFoundShare = 0.3;
    o.BrokenShare = 0.2;
    o.Seed = 3;
    return o;
}

TEST(DemoFolder, FilesAreCp932WithCrLfAndNoOtherLineEnds) {
    TempProgramDir dir;
    const auto channels = Demo::MakeCatalog(tenChannels());
    ASSERT_TRUE(DemoFolder::Write(dir.path(), channels, kBase));
    for (const char* name : {"ChannelList.txt", "Favorite.txt", "MultiMonitor.txt"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = dir.read(QString::fromLatin1(name));
        ASSERT_FALSE(bytes.isEmpty());
        EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
        EXPECT_EQ(bytes.count("\r"), bytes.count("\r\n"));
        // Japanese text in CP932, not UTF-8: the round trip is exact.
        EXPECT_EQ(Cp932::encode(Cp932::decode(bytes)), bytes);
        EXPECT_FALSE(Cp932::decode(bytes).contains(QChar(0xFFFD)));
    }
    const QByteArray list = dir.read(QStringLiteral("ChannelList.txt"));
    EXPECT_TRUE(list.contains(Cp932::encode(channels.first().ChannelName)));
    EXPECT_FALSE(list.contains(channels.first().ChannelName.toUtf8()));
    EXPECT_TRUE(dir.read(QStringLiteral("Favorite.txt")).contains(Cp932::encode(QStringLiteral("お気に入り"))));
    EXPECT_TRUE(dir.read(QStringLiteral("MultiMonitor.txt")).contains(Cp932::encode(QStringLiteral("マルチモニター"))));
}

TEST(DemoFolder, ChannelListHoldsGroupsListsAndChannelsAtTheirDepths) {
    TempProgramDir dir;
    const auto channels = Demo::MakeCatalog(tenChannels());
    ASSERT_TRUE(DemoFolder::Write(dir.path(), channels, kBase));
    const QList<Record> recs = records(dir, QStringLiteral("ChannelList.txt"));
    ASSERT_FALSE(recs.isEmpty());

    // The root group: a Node record, single tabs.
    EXPECT_EQ(recs[0].raw, QStringLiteral("Node\tdemo\tTrue"));
    EXPECT_EQ(recs[0].line.Depth, 0);

    QString currentList;
    QStringList ids;
    int lists = 0;
    for (const Record& r : recs.mid(1)) {
        SCOPED_TRACE(r.raw.toStdString());
        const QString type = r.line.RecordType();
        // Every record but Node separates its fields by two tabs.
        EXPECT_EQ(r.raw.mid(r.line.Depth).count(QStringLiteral("\t\t")), r.line.Pieces.size() - 1);
        if (type == QLatin1String("ChannelList")) {
            ++lists;
            EXPECT_EQ(r.line.Depth, 1);
            ASSERT_EQ(r.line.Pieces.size(), 4);
            currentList = r.line.Field(1);
            EXPECT_EQ(r.line.Field(2), "True");
            EXPECT_EQ(r.line.Field(3), kBase + QStringLiteral("/list.txt"));
        } else {
            ASSERT_EQ(type, "Channel");
            EXPECT_EQ(r.line.Depth, 2);
            ASSERT_EQ(r.line.Pieces.size(), 6);
            const QString id = r.line.Field(2);
            // A channel sits under the list named after the middle of its ID.
            EXPECT_EQ(id.section(QLatin1Char('.'), 1, 1), currentList);
            const DemoChannel& c = channels[int(ids.size())];
            EXPECT_EQ(r.line.Field(1), Demo::ProtocolSignature);
            EXPECT_EQ(id, c.ChannelID);
            EXPECT_EQ(r.line.Field(3), c.ChannelName);
            EXPECT_EQ(r.line.Field(4), kBase + QStringLiteral("/ch/%1/info.txt").arg(c.ChannelID));
            EXPECT_EQ(r.line.Field(5), "False");
            ids << id;
        }
    }
    EXPECT_EQ(ids.size(), channels.size());
    EXPECT_GE(lists, 3);
}

TEST(DemoFolder, FavouritesAndTheFolderShowHealthyChannelsOfSeveralGroups) {
    TempProgramDir dir;
    const auto channels = Demo::MakeCatalog(tenChannels());
    ASSERT_TRUE(DemoFolder::Write(dir.path(), channels, kBase));
    QHash<QString, DemoChannel> byId;
    for (const DemoChannel& c : channels) byId.insert(c.ChannelID, c);

    const QList<Record> fav = records(dir, QStringLiteral("Favorite.txt"));
    ASSERT_GE(fav.size(), 3);
    EXPECT_EQ(fav[0].raw, QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue"));
    for (const Record& r : fav.mid(1)) {
        EXPECT_EQ(r.line.Depth, 1);
        EXPECT_EQ(r.line.RecordType(), "FavariteChannel");
        ASSERT_TRUE(byId.contains(r.line.Field(1))) << r.raw.toStdString();
        EXPECT_EQ(byId[r.line.Field(1)].Fault, DemoFault::None);
    }

    const QList<Record> mm = records(dir, QStringLiteral("MultiMonitor.txt"));
    ASSERT_GE(mm.size(), 2);
    EXPECT_EQ(mm[0].raw, QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tTrue"));
    EXPECT_EQ(mm[1].raw, QStringLiteral("\tMultiMonitorFolder\t\t%1\t\tTrue").arg(DemoFolder::FolderName));
    QSet<QString> members, groups;
    int healthyMembers = 0;
    for (const Record& r : mm.mid(2)) {
        EXPECT_EQ(r.line.Depth, 2);
        EXPECT_EQ(r.line.RecordType(), "MultiMonitorChannel");
        EXPECT_EQ(r.raw, QStringLiteral("\t\tMultiMonitorChannel\t\t") + r.line.Field(1));
        ASSERT_TRUE(byId.contains(r.line.Field(1)));
        members << r.line.Field(1);
        groups << byId[r.line.Field(1)].Group;
        healthyMembers += byId[r.line.Field(1)].Fault == DemoFault::None;
    }
    EXPECT_EQ(members.size(), mm.size() - 2);  // no channel twice
    EXPECT_GE(members.size(), 4);
    EXPECT_LE(members.size(), 6);
    EXPECT_GE(groups.size(), 2);
    // Five of the ten channels are healthy; all of them are shown.
    const int healthy = int(std::count_if(channels.begin(), channels.end(),
                                          [](const DemoChannel& c) { return c.Fault == DemoFault::None; }));
    ASSERT_EQ(healthy, 5);
    EXPECT_EQ(healthyMembers, 5);
}

TEST(DemoFolder, ShowcaseFallsBackToFaultyChannelsAndSmallCatalogs) {
    DemoOptions allBroken;
    allBroken.Channels = 9;
    allBroken.NotFoundShare = 1.0;
    EXPECT_EQ(DemoFolder::Showcase(Demo::MakeCatalog(allBroken), 6).size(), 6);

    DemoOptions mostlyBroken = allBroken;
    mostlyBroken.NotFoundShare = 0.78;  // seven of nine
    const auto picked = DemoFolder::Showcase(Demo::MakeCatalog(mostlyBroken), 6);
    ASSERT_EQ(picked.size(), 6);
    EXPECT_EQ(picked[0].Fault, DemoFault::None);
    EXPECT_EQ(picked[1].Fault, DemoFault::None);
    EXPECT_EQ(picked[2].Fault, DemoFault::NotFound);

    DemoOptions three;
    three.Channels = 3;
    EXPECT_EQ(DemoFolder::Showcase(Demo::MakeCatalog(three), 6).size(), 3);
}

TEST(DemoFolder, SettingsPointInsideTheFolderAndReplaceAnOlderFile) {
    TempProgramDir dir;
    const QString ini = dir.file(QStringLiteral("Vantomon.ini"));
    dir.write(QStringLiteral("Vantomon.ini"), "[General]\r\nLeftOver=1\r\nTimeout=5\r\n");
    ASSERT_TRUE(DemoFolder::Write(dir.path(), Demo::MakeCatalog(tenChannels()), kBase));

    using namespace mdlFunction;
    const QString cache = GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("ChachDirctory"), IniText).toString();
    const QString save =
        GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("PictureSaveDirctory"), IniText).toString();
    EXPECT_EQ(cache, dir.path() + QStringLiteral("/chach/"));
    EXPECT_EQ(save, dir.path() + QStringLiteral("/save/"));
    EXPECT_EQ(GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("Timeout"), IniInteger, 1).toInt(), 60);
    EXPECT_EQ(GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("ImageResize"), IniInteger, 0).toInt(), 2);
    EXPECT_FALSE(GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("ProxyEnable"), IniBoolean, true).toBool());
    EXPECT_FALSE(GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("ShowLimit"), IniBoolean, true).toBool());
    // Window size in twips, 15 per pixel.
    const int width = GetIniFrom(ini, QStringLiteral("MainWindow"), QStringLiteral("Width"), IniInteger, 0).toInt();
    const int height = GetIniFrom(ini, QStringLiteral("MainWindow"), QStringLiteral("Height"), IniInteger, 0).toInt();
    EXPECT_TRUE(width % 15 == 0 && width / 15 >= 800) << width;
    EXPECT_TRUE(height % 15 == 0 && height / 15 >= 600) << height;
    EXPECT_EQ(GetIniFrom(ini, QStringLiteral("MainWindow"), QStringLiteral("Style"), IniInteger, 9).toInt(), 0);
    EXPECT_EQ(GetIniFrom(ini, QStringLiteral("General"), QStringLiteral("LeftOver"), IniText).toString(), "");
}

TEST(DemoFolder, ChannelRecordsPointAtTheRunningPublisher) {
    DemoOptions o;
    o.Channels = 6;
    o.KeepAliveSeconds = 1;
    DemoPublisher publisher(o);
    ASSERT_TRUE(publisher.start());
    TempProgramDir dir;
    ASSERT_TRUE(DemoFolder::Write(dir.path(), publisher.channels(), publisher.baseUrl()));

    Fetcher fetch;
    int answered = 0;
    for (const Record& r : records(dir, QStringLiteral("ChannelList.txt"))) {
        if (r.line.RecordType() == QLatin1String("ChannelList")) {
            EXPECT_TRUE(fetch.get(r.line.Field(3)).ok());
        } else if (r.line.RecordType() == QLatin1String("Channel")) {
            const Fetched f = fetch.get(r.line.Field(4));
            ASSERT_TRUE(f.ok()) << r.raw.toStdString();
            ChannelInfomation i;
            ASSERT_TRUE(AnalyzeInfomationFile(f.Text, i));
            EXPECT_EQ(i.ChannelID, r.line.Field(2));
            EXPECT_EQ(i.ChannelName, r.line.Field(3));
            ++answered;
        }
    }
    EXPECT_EQ(answered, 6);
}

}  // namespace
