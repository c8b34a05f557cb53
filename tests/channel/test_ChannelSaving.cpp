// Cache files and saved pictures: names, when a picture is saved, and that
// nothing is written outside the two directories.

#include "ChannelRig.h"

#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>

namespace {

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Files and folders below dir, relative, sorted.
QStringList entriesBelow(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
}

class ChannelSavingTest : public ::testing::Test {
protected:
    ChannelSavingTest() {
        rig.settings.Now = [this] { return now; };
    }

    // A broadcasting channel with saving on whose pictures come every tick.
    clsChannel* addSaving(const QString& id) {
        rig.publish(site, id, 0, 1);
        return rig.add(id, site.url(QStringLiteral("/%1/info.txt").arg(id)), true);
    }
    QStringList saved(const QString& folder) const {
        QStringList names = QDir(rig.settings.PictureSaveDirctory + folder).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }

    ChannelSite site;
    ChannelRig rig;
    QDateTime now{QDate(2024, 1, 2), QTime(3, 4, 5)};
};

// Which pictures are saved, and under which names: the stamp, else the local
// time (once per Last-modified value, or every time without one).
TEST_F(ChannelSavingTest, PicturesAreSavedOncePerStampOrLastModified) {
    struct Picture {
        QString stamp;
        std::string lastModified;
    };
    struct Case {
        const char* name;
        std::vector<Picture> pictures;
        QStringList expected;
    };
    const std::string lm1 = "Sat, 05 Oct 2002 12:34:56 GMT", lm2 = "Sat, 05 Oct 2002 12:35:56 GMT";
    const std::vector<Case> cases = {
        {"same stamp twice, then a new one",
         {{"2002/10/05 12:34:56", ""}, {"2002/10/05 12:34:56", ""}, {"2002/10/05 12:35:00", ""}},
         {"20021005_123456.jpg", "20021005_123500.jpg"}},
        {"stamps compared without case", {{"Take A", ""}, {"TAKE a", ""}}, {"Take_A.jpg"}},
        {"the stamp wins over Last-modified",
         {{"2002/10/05 12:34:56", lm1}, {"2002/10/05 12:34:56", lm2}},
         {"20021005_123456.jpg"}},
        {"same Last-modified twice, then a new one",
         {{"", lm1}, {"", lm1}, {"", lm2}},
         {"20240102_030405.jpg", "20240102_030407.jpg"}},
        {"neither: every picture",
         {{"", ""}, {"", ""}, {"", ""}},
         {"20240102_030405.jpg", "20240102_030406.jpg", "20240102_030407.jpg"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString id = QStringLiteral("s%1").arg(++n);
        clsChannel* ch = addSaving(id);
        now = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
        QByteArray last;
        for (size_t i = 0; i < c.pictures.size(); ++i) {
            const Picture& p = c.pictures[i];
            const QByteArray plain = JpegFactory::make(16 + int(i), 16);
            last = p.stamp.isEmpty() ? plain : JpegFactory::withRecord(plain, 0, 1, p.stamp, "c");
            site.picture(QStringLiteral("/%1/full.jpg").arg(id), last, p.lastModified);
            if (i == 0)
                ch->ViewControl(clsChannel::NormalViewOpen, QString());
            else
                rig.tick();
            ASSERT_TRUE(ChannelRig::settle(ch));
            now = now.addSecs(1);
        }
        EXPECT_EQ(saved(id), c.expected);
        // The newest saved file holds the bytes of the picture it names.
        if (c.expected.size() == int(c.pictures.size())) {
            EXPECT_EQ(readFile(rig.settings.PictureSaveDirctory + id + "/" + c.expected.last()), last);
        }
    }
}

TEST_F(ChannelSavingTest, ASavedPictureIsNeverReplaced) {
    clsChannel* ch = addSaving("ch01");
    rig.dir.write("save/ch01/20240102_030405.jpg", "older");
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(rig.dir.read("save/ch01/20240102_030405.jpg"), "older");
    // Two pictures in the same second: the second finds the name taken.
    now = now.addSecs(1);
    rig.tick();
    ASSERT_TRUE(ChannelRig::settle(ch));
    const QByteArray first = rig.dir.read("save/ch01/20240102_030406.jpg");
    EXPECT_FALSE(first.isEmpty());
    site.picture("/ch01/full.jpg", JpegFactory::make(40, 40));
    rig.tick();
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(rig.dir.read("save/ch01/20240102_030406.jpg"), first);
    EXPECT_EQ(saved("ch01").size(), 2);
}

// Turning saving on saves the held picture at once; switching the display
// rule redraws without saving.
TEST_F(ChannelSavingTest, OnlyTheSwitchAndNewPicturesSave) {
    rig.publish(site, "ch01", 0, 1);
    clsChannel* ch = rig.add("ch01", site.url("/ch01/info.txt"), false);
    ch->setSavePicture(true);  // nothing held yet
    EXPECT_TRUE(saved("ch01").isEmpty());
    ch->setSavePicture(false);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_TRUE(saved("ch01").isEmpty());

    ch->setSavePicture(true);
    EXPECT_EQ(saved("ch01"), QStringList{"20240102_030405.jpg"});
    EXPECT_EQ(readFile(rig.settings.PictureSaveDirctory + "ch01/20240102_030405.jpg"),
              readFile(rig.cacheFile("ch01.jpg")));

    now = now.addSecs(10);
    QSignalSpy redraw(rig.manager.get(), &clsChannelManeger::ShowBoxRefresh);
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    rig.manager->setShowPictureOnlyOnBroadCast(false);
    rig.manager->setShowPictureOnlyOnBroadCast(true);
    EXPECT_EQ(redraw.count(), 2);
    EXPECT_TRUE(ch->ShowBox()->HasPicture());
    EXPECT_EQ(saved("ch01").size(), 1);

    rig.tick();
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(saved("ch01").size(), 2);
}

// When the cache cannot be written the picture is still shown and saved from
// memory; the previous cache file stays as it was.
TEST_F(ChannelSavingTest, AFailedCacheWriteStillShowsAndSavesThePicture) {
    clsChannel* ch = addSaving("ch01");
    const QByteArray first = JpegFactory::make(20, 20);
    site.picture("/ch01/full.jpg", first);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    ASSERT_EQ(readFile(rig.cacheFile("ch01.jpg")), first);

    // The cache file is now a folder's place the writer cannot replace.
    ASSERT_TRUE(QFile::remove(rig.cacheFile("ch01.jpg")));
    ASSERT_TRUE(QDir().mkpath(rig.cacheFile("ch01.jpg") + "/blocked"));
    const QByteArray second = JpegFactory::make(30, 30);
    site.picture("/ch01/full.jpg", second);
    now = now.addSecs(1);
    rig.tick();
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(30, 30));
    EXPECT_EQ(readFile(rig.settings.PictureSaveDirctory + "ch01/20240102_030406.jpg"), second);
    EXPECT_TRUE(QFileInfo(rig.cacheFile("ch01.jpg")).isDir());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(rig.settings.ChachDirctory).entryList(QDir::Files), QStringList());
}

// A ChannelID or stamp from a list or a server never names a path outside
// the cache and picture directories.
TEST_F(ChannelSavingTest, HostileNamesStayInsideTheirDirectories) {
    struct Case {
        QString channelID;  // identity and file ChannelID alike
        QString stamp;
        QString cacheName;
        QString saveFolder;
    };
    const Case cases[] = {
        {"../x", "../../evil", ".._x.jpg", ".._x"},
        {"/etc/x", "/etc/passwd", "_etc_x.jpg", "_etc_x"},
        {"a/../../b", "..\\..\\evil", "a_.._.._b.jpg", "a_.._.._b"},
        {"..", "..", "__.jpg", "__"},
        {".", "x/../y", "_.jpg", "_"},
    };
    QDir(rig.settings.ChachDirctory).removeRecursively();
    rig.settings.ChachDirctory = rig.dir.path() + "/a/b/chach/";
    rig.settings.PictureSaveDirctory = rig.dir.path() + "/a/b/save/";
    QDir().mkpath(rig.settings.ChachDirctory);
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channelID.toStdString());
        const QString path = QStringLiteral("/h%1/").arg(++n);
        InfoFile info;
        info.fileChannelID = c.channelID;
        info.url = site.url(path + "full.jpg");
        info.statusFlag = 0;
        site.text(path + "info.txt", info.bytes());
        site.picture(path + "full.jpg", JpegFactory::withRecord(JpegFactory::make(8, 8), 0, 5, c.stamp, ""));
        clsChannel* ch = rig.add(c.channelID, site.url(path + "info.txt"), true);
        ASSERT_TRUE(ch);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(ch->PictureFile(), rig.settings.ChachDirctory + c.cacheName);
        EXPECT_TRUE(QFile::exists(rig.settings.ChachDirctory + c.cacheName));
        EXPECT_EQ(saved(c.saveFolder).size(), 1);
    }
    for (const QString& entry : entriesBelow(rig.dir.path())) {
        const bool inCache = entry.startsWith("a/b/chach/") && !entry.mid(10).contains('/');
        const bool inSave = entry.startsWith("a/b/save/") && entry.mid(9).count('/') <= 1;
        const bool parent = entry == "a" || entry == "a/b" || entry == "a/b/chach" || entry == "a/b/save";
        EXPECT_TRUE(inCache || inSave || parent) << entry.toStdString();
    }
}

}  // namespace
