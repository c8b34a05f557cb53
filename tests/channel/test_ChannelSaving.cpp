// Cache files and saved pictures: names, when a picture is saved, and that
// nothing is written outside the two directories.

#include "ChannelRig.h"

#include <QSignalSpy>

namespace {

// The warnings of vantora.files while it lives.
struct FileWarnings {
    static inline QStringList seen;
    QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& c, const QString& m) {
            if (type == QtWarningMsg && qstrcmp(c.category, "vantora.files") == 0) seen << m;
        });
    ~FileWarnings() {
        qInstallMessageHandler(previous);
        seen.clear();
    }
};

class ChannelSavingTest : public ::testing::Test {
protected:
    ChannelSavingTest() {
        rig.settings.Now = [this] { return now; };
    }

    QStringList saved(const QString& folder) const {
        return QDir(rig.settings.PictureSaveDirctory + folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray savedFile(const QString& name) const {
        return ChannelRig::readFile(rig.settings.PictureSaveDirctory + name);
    }
    // The next picture: one tick (now a second later) and its completion.
    void nextPicture(clsChannel* ch) {
        now = now.addSecs(1);
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(ch));
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
        clsChannel* ch = rig.addPublished(site, id, 0, 1, JpegFactory::make(8, 8), true);  // saving, every tick
        now = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5));
        QByteArray last;
        for (size_t i = 0; i < c.pictures.size(); ++i) {
            const Picture& p = c.pictures[i];
            const QByteArray plain = JpegFactory::make(16 + int(i), 16);
            last = p.stamp.isEmpty() ? plain : JpegFactory::withRecord(plain, 0, 1, p.stamp, "c");
            site.picture(QStringLiteral("/%1/full.jpg").arg(id), last, p.lastModified);
            if (i > 0) {
                ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
                continue;
            }
            ch->ViewControl(clsChannel::NormalViewOpen, QString());
            ASSERT_TRUE(ChannelRig::settle(ch));
        }
        EXPECT_EQ(saved(id), c.expected);
        // The newest saved file holds the bytes of the picture it names.
        if (c.expected.size() == int(c.pictures.size())) {
            EXPECT_EQ(savedFile(id + "/" + c.expected.last()), last);
        }
    }
}

// A picture rejected after an accepted one, by the marker walk (after its
// reset) or by the decoder (its record read): the information line and the
// next save keep the accepted picture's stamp and comment.
TEST_F(ChannelSavingTest, ARejectedPictureChangesNothing) {
    const QByteArray accepted =
        JpegFactory::withRecord(JpegFactory::make(16, 16), 0, 1, "2002/10/05 12:34:56", "accepted");
    const std::pair<const char*, QByteArray> rejected[] = {
        {"walk runs off the body", QByteArray::fromHex("FFD8FFE0FFF000FFD9")},
        {"decoder refuses it",
         JpegFactory::withRecord(QByteArray::fromHex("FFD8FFD9"), 1, 9, "2030/01/01 00:00:00", "x")},
    };
    for (const auto& [name, bytes] : rejected) {
        SCOPED_TRACE(name);
        const QString id = QString::fromLatin1(name).section(' ', 0, 0);
        clsChannel* ch = rig.addPublished(site, id, 0, 1, accepted);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        site.picture(QStringLiteral("/%1/full.jpg").arg(id), bytes);
        ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
        EXPECT_EQ(ch->InfomationString().value(2), QStringLiteral("2002/10/05 12:34:56   accepted"));
        ch->setSavePicture(true);
        EXPECT_EQ(saved(id), QStringList{"20021005_123456.jpg"});
        EXPECT_EQ(savedFile(id + "/20021005_123456.jpg"), accepted);
    }
}

// One channel through the switches and the files: turning saving on saves
// the held picture at once; the display rule redraws without saving; a saved
// file is never replaced (one already there, nor one saved a moment ago in
// the same second); a cache that cannot be written still lets the picture
// show and be saved from memory, and leaves no temporary behind; it is a
// warning once for the channel, not once a picture.
TEST_F(ChannelSavingTest, SavingFollowsItsSwitchAndNeverReplacesAFile) {
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 1);
    ch->setSavePicture(true);  // nothing held yet
    ch->setSavePicture(false);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_TRUE(saved("ch01").isEmpty());
    ch->setSavePicture(true);
    EXPECT_EQ(saved("ch01"), QStringList{"20240102_030405.jpg"});
    EXPECT_EQ(savedFile("ch01/20240102_030405.jpg"), ChannelRig::readFile(rig.cacheFile("ch01.jpg")));
    QSignalSpy redraw(rig.manager.get(), &clsChannelManeger::ShowBoxRefresh);
    for (bool on : {true, false, true}) rig.manager->setShowPictureOnlyOnBroadCast(on);
    EXPECT_EQ(redraw.count(), 2);
    EXPECT_TRUE(ch->ShowBox()->HasPicture());
    rig.manager->setShowPictureOnlyOnBroadCast(false);

    rig.dir.write("save/ch01/20240102_030406.jpg", "older");
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    EXPECT_EQ(rig.dir.read("save/ch01/20240102_030406.jpg"), "older");
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    const QByteArray first = savedFile("ch01/20240102_030407.jpg");
    site.picture("/ch01/full.jpg", JpegFactory::make(40, 40));
    rig.tick();
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(savedFile("ch01/20240102_030407.jpg"), first);
    EXPECT_EQ(saved("ch01").size(), 3);

    ASSERT_TRUE(QFile::remove(rig.cacheFile("ch01.jpg")));
    ASSERT_TRUE(QDir().mkpath(rig.cacheFile("ch01.jpg") + "/blocked"));
    FileWarnings warnings;
    const QByteArray picture = JpegFactory::make(30, 30);
    site.picture("/ch01/full.jpg", picture);
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(30, 30));
    EXPECT_EQ(savedFile("ch01/20240102_030408.jpg"), picture);
    EXPECT_TRUE(QFileInfo(rig.cacheFile("ch01.jpg")).isDir());
    EXPECT_EQ(QDir(rig.settings.ChachDirctory).entryList(QDir::Files), QStringList());
    site.picture("/ch01/full.jpg", JpegFactory::make(31, 30));
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    ASSERT_EQ(warnings.seen.size(), 1);
    EXPECT_TRUE(warnings.seen[0].contains(rig.cacheFile("ch01.jpg")));
}

// A ChannelID or stamp from a list or a server never names a path outside
// the cache and picture directories.
TEST_F(ChannelSavingTest, HostileNamesStayInsideTheirDirectories) {
    const QString cases[][3] = {
        // ChannelID (list and info file alike), stamp, the name it becomes
        {"../x", "../../evil", ".._x"},
        {"/etc/x", "/etc/passwd", "_etc_x"},
        {"a/../../b", "..\\..\\evil", "a_.._.._b"},
        {"..", "..", "__"},
        {".", "x/../y", "_"},
    };
    QDir(rig.settings.ChachDirctory).removeRecursively();
    rig.settings.ChachDirctory = rig.dir.path() + "/a/b/chach/";
    rig.settings.PictureSaveDirctory = rig.dir.path() + "/a/b/save/";
    QDir().mkpath(rig.settings.ChachDirctory);
    int n = 0;
    for (const auto& [channelID, stamp, name] : cases) {
        SCOPED_TRACE(channelID.toStdString());
        const QString path = QStringLiteral("/h%1/").arg(++n);
        InfoFile info;
        info.fileChannelID = channelID;
        info.url = site.url(path + "full.jpg");
        site.text(path + "info.txt", info.bytes());
        site.picture(path + "full.jpg", JpegFactory::withRecord(JpegFactory::make(8, 8), 0, 5, stamp, ""));
        clsChannel* ch = rig.add(channelID, site.url(path + "info.txt"), true);
        ASSERT_TRUE(ch);
        ch->ViewControl(clsChannel::NormalViewOpen, QString());
        ASSERT_TRUE(ChannelRig::settle(ch));
        EXPECT_EQ(ch->PictureFile(), rig.settings.ChachDirctory + name + ".jpg");
        EXPECT_TRUE(QFile::exists(ch->PictureFile()));
        EXPECT_EQ(saved(name).size(), 1);
    }
    for (const QString& file : rig.dir.allFiles()) {
        const bool inCache = file.startsWith("a/b/chach/") && !file.mid(10).contains('/');
        const bool inSave = file.startsWith("a/b/save/") && file.mid(9).count('/') == 1;
        EXPECT_TRUE(inCache || inSave) << file.toStdString();
    }
}

}  // namespace
