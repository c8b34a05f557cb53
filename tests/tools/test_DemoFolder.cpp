// The demo program folder (the run command's preparation step), read back as
// the viewer reads it. That its records answer from a running publisher is
// checked with the program itself (test_DemoPublisher).
#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "tools/demo_publisher/DemoFolder.h"

#include <QSet>

namespace {

const QString kBase = QStringLiteral("http://127.0.0.1:5555");

// Ten channels, five of them healthy, written over an older settings file.
class DemoFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        DemoOptions o;
        o.Channels = 10;
        o.NotFoundShare = 0.3;
        o.BrokenShare = 0.2;
        o.Seed = 3;
        channels = Demo::MakeCatalog(o);
        for (const DemoChannel& c : channels) byId.insert(c.ChannelID, c);
        dir.write(QStringLiteral("Vantomon.ini"), "[General]\r\nLeftOver=1\r\nTimeout=5\r\n");
        ASSERT_TRUE(DemoFolder::Write(dir.path(), channels, kBase));
    }

    // The channel IDs a list file names after its head records; every line
    // CP932 with CR LF and in its record's exact form.
    QStringList namedChannels(const QString& name, const QStringList& head, const QString& prefix) {
        QStringList lines = Cp932::decode(dir.read(name)).split(QStringLiteral("\r\n"));
        EXPECT_EQ(lines.takeLast(), QString()) << "ends with CR LF";
        EXPECT_EQ(lines.mid(0, head.size()), head);
        QStringList ids;
        for (const QString& line : lines.mid(head.size())) {
            ids << line.mid(prefix.size());
            EXPECT_TRUE(line.startsWith(prefix) && byId.contains(ids.last())) << line.toStdString();
        }
        return ids;
    }

    TempProgramDir dir;
    QList<DemoChannel> channels;
    QHash<QString, DemoChannel> byId;
};

TEST_F(DemoFolderTest, ChannelListHoldsEveryChannelUnderTheListOfItsGroup) {
    QStringList expected{QStringLiteral("Node\tdemo\tTrue")};  // the root group: single tabs
    QSet<QString> groups;
    for (const DemoChannel& c : channels) {
        EXPECT_EQ(c.ChannelID.section(QLatin1Char('.'), 1, 1), c.Group);
        if (!groups.contains(c.Group))
            expected << QStringLiteral("\tChannelList\t\t%1\t\tTrue\t\t%2/list.txt").arg(c.Group, kBase);
        groups << c.Group;
        expected << QStringLiteral("\t\tChannel\t\t%1\t\t%2\t\t%3\t\t%4/ch/%2/info.txt\t\tFalse")
                        .arg(Demo::ProtocolSignature, c.ChannelID, c.ChannelName, kBase);
    }
    EXPECT_GE(groups.size(), 3);
    const QByteArray bytes = dir.read(QStringLiteral("ChannelList.txt"));
    EXPECT_EQ(bytes, Cp932::encode(expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    EXPECT_FALSE(bytes.contains(channels.first().ChannelName.toUtf8()));  // Japanese names, not UTF-8
}

TEST_F(DemoFolderTest, FavouritesAndTheFolderShowHealthyChannelsOfSeveralGroups) {
    const QStringList favourites =
        namedChannels(QStringLiteral("Favorite.txt"), {QStringLiteral("FavariteRoot\t\tお気に入り\t\tTrue")},
                      QStringLiteral("\tFavariteChannel\t\t"));
    EXPECT_GE(favourites.size(), 2);
    for (const QString& id : favourites) EXPECT_EQ(byId[id].Fault, DemoFault::None) << id.toStdString();

    const QStringList shown =
        namedChannels(QStringLiteral("MultiMonitor.txt"),
                      {QStringLiteral("MultiMonitorRoot\t\tマルチモニター\t\tTrue"),
                       QStringLiteral("\tMultiMonitorFolder\t\t%1\t\tTrue").arg(DemoFolder::FolderName)},
                      QStringLiteral("\t\tMultiMonitorChannel\t\t"));
    QSet<QString> groups;
    int healthy = 0;
    for (const QString& id : shown) {
        groups << byId[id].Group;
        healthy += byId[id].Fault == DemoFault::None;
    }
    EXPECT_EQ(QSet<QString>(shown.begin(), shown.end()).size(), 6);  // six channels, none twice
    EXPECT_EQ(shown.size(), 6);
    EXPECT_GE(groups.size(), 2);
    EXPECT_EQ(healthy, 5);  // every healthy channel of the ten
}

TEST(DemoFolder, ShowcaseFallsBackToFaultyChannelsAndSmallCatalogs) {
    DemoOptions o;
    o.Channels = 9;
    o.NotFoundShare = 1.0;
    EXPECT_EQ(DemoFolder::Showcase(Demo::MakeCatalog(o), 6).size(), 6);
    o.NotFoundShare = 0.78;  // seven of nine
    const auto picked = DemoFolder::Showcase(Demo::MakeCatalog(o), 6);
    ASSERT_EQ(picked.size(), 6);
    EXPECT_EQ(picked[0].Fault, DemoFault::None);
    EXPECT_EQ(picked[1].Fault, DemoFault::None);
    EXPECT_EQ(picked[2].Fault, DemoFault::NotFound);
    o.Channels = 3;
    EXPECT_EQ(DemoFolder::Showcase(Demo::MakeCatalog(o), 6).size(), 3);
}

TEST_F(DemoFolderTest, SettingsPointInsideTheFolderAndReplaceAnOlderFile) {
    auto value = [&](const char* section, const char* key) {
        return mdlFunction::GetIniFrom(dir.file(QStringLiteral("Vantomon.ini")), QLatin1String(section),
                                       QLatin1String(key), mdlFunction::IniText)
            .toString();
    };
    const std::tuple<const char*, const char*, QString> keys[] = {
        {"General", "ChachDirctory", dir.path() + QStringLiteral("/chach/")},
        {"General", "PictureSaveDirctory", dir.path() + QStringLiteral("/save/")},
        {"General", "Timeout", "60"},  // the older file's 5 is gone with it
        {"General", "ProxyEnable", "False"},
        {"General", "ShowLimit", "False"},
        {"General", "LeftOver", ""},
    };
    for (const auto& [section, key, expected] : keys) EXPECT_EQ(value(section, key), expected) << key;
    // Window size in twips, 15 per pixel.
    const int width = value("MainWindow", "Width").toInt(), height = value("MainWindow", "Height").toInt();
    EXPECT_TRUE(width % 15 == 0 && width / 15 >= 800) << width;
    EXPECT_TRUE(height % 15 == 0 && height / 15 >= 600) << height;
}

}  // namespace
