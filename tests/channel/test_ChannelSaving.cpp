#include "ChannelRig.h"
#include "Rows.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

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

    QStringList saved() const {
        return QDir(rig.settings.PictureSaveDirctory + "ch01").entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QByteArray savedFile(const QString& name) const { return rig.dir.read("save/ch01/" + name); }
    void nextPicture(clsChannel* ch) {
        now = now.addSecs(1);
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(ch));
    }

    ChannelSite site;
    ChannelRig rig;
    QDateTime now{QDate(2024, 1, 2), QTime(3, 4, 5)};
};

// Which pictures are saved, named by the stamp, else the local time (once per
// Last-modified value, or every time without one).
struct SaveRow {
    const char* name;
    std::vector<std::pair<QString, std::string>> pictures;  // stamp, Last-Modified
    QStringList expected;
};
class SaveTest : public ChannelSavingTest, public ::testing::WithParamInterface<SaveRow> {};

TEST_P(SaveTest, OncePerStampOrLastModified) {
    const SaveRow& c = GetParam();
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 1, JpegFactory::make(8, 8), true);  // saving, every tick
    QByteArray first;  // the first picture is always saved, as it came
    for (size_t i = 0; i < c.pictures.size(); ++i) {
        const auto& [stamp, lastModified] = c.pictures[i];
        const QByteArray plain = JpegFactory::make(16 + int(i), 16);
        const QByteArray bytes = stamp.isEmpty() ? plain : JpegFactory::withRecord(plain, 0, 1, stamp, "c");
        site.picture("/ch01/full.jpg", i == 0 ? first = bytes : bytes, lastModified);
        if (i > 0) now = now.addSecs(1);
        i == 0 ? ch->ViewControl(clsChannel::NormalViewOpen, QString()) : rig.tick();
        ASSERT_TRUE(ChannelRig::settle(ch));
    }
    EXPECT_EQ(saved(), c.expected);
    EXPECT_EQ(savedFile(c.expected.value(0)), first);
}

const std::string kLm1 = "Sat, 05 Oct 2002 12:34:56 GMT", kLm2 = "Sat, 05 Oct 2002 12:35:56 GMT";
const SaveRow kSaves[] = {{"same_stamp_twice_then_a_new_one",
                           {{"2002/10/05 12:34:56", ""}, {"2002/10/05 12:34:56", ""}, {"2002/10/05 12:35:00", ""}},
                           {"20021005_123456.jpg", "20021005_123500.jpg"}},
                          {"stamps_compared_without_case", {{"Take A", ""}, {"TAKE a", ""}}, {"Take_A.jpg"}},
                          {"the_stamp_wins_over_Last_modified",
                           {{"2002/10/05 12:34:56", kLm1}, {"2002/10/05 12:34:56", kLm2}},
                           {"20021005_123456.jpg"}},
                          {"same_Last_modified_twice_then_a_new_one",
                           {{"", kLm1}, {"", kLm1}, {"", kLm2}},
                           {"20240102_030405.jpg", "20240102_030407.jpg"}},
                          {"neither_every_picture",
                           {{"", ""}, {"", ""}, {"", ""}},
                           {"20240102_030405.jpg", "20240102_030406.jpg", "20240102_030407.jpg"}}};
VANTORA_ROWS(SaveTest, kSaves);

// A picture rejected by the marker walk or by the decoder (its record read)
// leaves the accepted one's stamp and comment on the line and in the save.
class RejectedTest : public ChannelSavingTest, public ::testing::WithParamInterface<bool> {};

TEST_P(RejectedTest, PictureChangesNothing) {
    const QByteArray accepted =
        JpegFactory::withRecord(JpegFactory::make(16, 16), 0, 1, "2002/10/05 12:34:56", "accepted");
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 1, accepted);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    site.picture("/ch01/full.jpg",
                 GetParam() ? JpegFactory::withRecord(QByteArray::fromHex("FFD8FFD9"), 1, 9, "2030/01/01 00:00:00", "x")
                            : QByteArray::fromHex("FFD8FFE0FFF000FFD9"));
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    EXPECT_EQ(ch->InfomationString().value(2), QStringLiteral("2002/10/05 12:34:56   accepted"));
    ch->setSavePicture(true);
    EXPECT_EQ(saved(), QStringList{"20021005_123456.jpg"});
    EXPECT_EQ(savedFile("20021005_123456.jpg"), accepted);
}

INSTANTIATE_TEST_SUITE_P(, RejectedTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ByTheDecoder" : "ByTheMarkerWalk"; });

// Saving turned on saves the held picture at once; the display rule redraws
// without saving; a saved file is never replaced; an unwritable cache still
// shows and saves the picture, leaves no temporary and warns once.
TEST_F(ChannelSavingTest, SavingFollowsItsSwitchAndNeverReplacesAFile) {
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 1);
    ch->setSavePicture(true);  // nothing held yet
    ch->setSavePicture(false);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_TRUE(saved().isEmpty());
    ch->setSavePicture(true);
    EXPECT_EQ(saved(), QStringList{"20240102_030405.jpg"});
    EXPECT_EQ(savedFile("20240102_030405.jpg"), rig.cached("ch01.jpg"));
    QSignalSpy redraw(rig.manager.get(), &clsChannelManeger::ShowBoxRefresh);
    for (bool on : {true, false, true}) rig.manager->setShowPictureOnlyOnBroadCast(on);
    EXPECT_EQ(redraw.count(), 2);
    EXPECT_TRUE(ch->ShowBox()->HasPicture());
    rig.manager->setShowPictureOnlyOnBroadCast(false);

    rig.dir.write("save/ch01/20240102_030406.jpg", "older");
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    EXPECT_EQ(rig.dir.read("save/ch01/20240102_030406.jpg"), "older");
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    const QByteArray first = savedFile("20240102_030407.jpg");
    site.picture("/ch01/full.jpg", JpegFactory::make(40, 40));
    rig.tick();
    ASSERT_TRUE(ChannelRig::settle(ch));
    EXPECT_EQ(savedFile("20240102_030407.jpg"), first);
    EXPECT_EQ(saved().size(), 3);

    ASSERT_TRUE(QFile::remove(rig.cacheFile("ch01.jpg")));
    ASSERT_TRUE(QDir().mkpath(rig.cacheFile("ch01.jpg") + "/blocked"));
    FileWarnings warnings;
    const QByteArray picture = JpegFactory::make(30, 30);
    site.picture("/ch01/full.jpg", picture);
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(30, 30));
    EXPECT_EQ(savedFile("20240102_030408.jpg"), picture);
    EXPECT_TRUE(QFileInfo(rig.cacheFile("ch01.jpg")).isDir());
    EXPECT_EQ(QDir(rig.settings.ChachDirctory).entryList(QDir::Files), QStringList());
    site.picture("/ch01/full.jpg", JpegFactory::make(31, 30));
    ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    ASSERT_EQ(warnings.seen.size(), 1);
    EXPECT_TRUE(warnings.seen[0].contains(rig.cacheFile("ch01.jpg")));
}

// A folder of the rig's program folder on a file system of its own, gone with the test.
class Mount {
public:
    // A tmpfs with no room left (root only).
    static std::unique_ptr<Mount> fullTmpfs(const QString& where) {
        QDir().mkpath(where);
        if (::geteuid() != 0 || ::mount("tmpfs", where.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
            return nullptr;
        auto m = std::unique_ptr<Mount>(new Mount(where, false));
        const int fd = ::open((where + "/filler").toLocal8Bit().constData(), O_WRONLY | O_CREAT, 0600);
        const QByteArray page(4096, 'x');
        while (fd >= 0 && ::write(fd, page.constData(), size_t(page.size())) > 0) {
        }
        ::close(fd);
        return m;
    }
    // A FAT image through FUSE, as a FAT stick is mounted without root rights.
    static std::unique_ptr<Mount> fat(const QString& image, const QString& where) {
        if (QStandardPaths::findExecutable("fusefat").isEmpty() || !QFile::exists("/dev/fuse")) return nullptr;
        QDir().mkpath(where);
        if (QProcess::execute("mkfs.vfat", {"-C", image, "4096"}) != 0 &&
            QProcess::execute("/usr/sbin/mkfs.vfat", {"-C", image, "4096"}) != 0)
            return nullptr;
        QProcess fusefat;
        fusefat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (QProcess::execute("fusefat", {"-o", "rw+", image, where}) != 0) return nullptr;
        return std::unique_ptr<Mount>(new Mount(where, true));
    }
    ~Mount() {
        if (fuse_) QProcess::execute("fusermount", {"-u", path_});
        ::umount2(path_.toLocal8Bit().constData(), MNT_DETACH);
    }

private:
    Mount(const QString& path, bool fuse) : path_(path), fuse_(fuse) {}
    QString path_;
    bool fuse_;
};

// Saving into a folder on a full disk: every picture fails, each failure
// takes its own file away again (neither spare nor temporary is left), and
// one warning says so.
TEST_F(ChannelSavingTest, AFullSaveFolderIsLeftAsItWas) {
    const auto full = Mount::fullTmpfs(rig.settings.PictureSaveDirctory);
    if (!full) GTEST_SKIP() << "mounting a tmpfs needs root";
    ASSERT_TRUE(QDir().mkpath(rig.settings.PictureSaveDirctory + "ch01"));
    FileWarnings warnings;
    clsChannel* ch = rig.addPublished(site, "ch01", 0, 1, JpegFactory::make(300, 200), true);
    ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(ch));
    for (int i = 0; i < 10; ++i) {
        site.picture("/ch01/full.jpg", JpegFactory::make(300 + i, 200));
        ASSERT_NO_FATAL_FAILURE(nextPicture(ch));
    }
    EXPECT_EQ(ch->ShowBox()->Picture().size(), QSize(309, 200));
    EXPECT_EQ(saved(), QStringList());
    EXPECT_EQ(QDir(rig.settings.PictureSaveDirctory).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"ch01", "filler"}));
    EXPECT_EQ(warnings.seen.size(), 1);
}

// On a FAT stick mounted through FUSE, which has no ftruncate to the same
// size and refuses ":" in a name, pictures are cached and saved, and an ID
// with ":" gets a folder of a name FAT takes.
TEST(ChannelOnFat, CachesAndSavesEveryPicture) {
    ChannelSite site;
    ChannelRig rig;
    const auto fat = Mount::fat(rig.dir.file("fat.img"), rig.dir.file("stick"));
    if (!fat) GTEST_SKIP() << "no FAT through FUSE here (fusefat, mkfs.vfat, /dev/fuse)";
    rig.settings.ChachDirctory = rig.dir.file("stick/chach/");
    rig.settings.PictureSaveDirctory = rig.dir.file("stick/save/");
    ASSERT_TRUE(QDir().mkpath(rig.settings.ChachDirctory));
    QDateTime now(QDate(2024, 1, 2), QTime(3, 4, 5));
    rig.settings.Now = [&now] { return now; };
    clsChannel* plain = rig.addPublished(site, "ch01", 0, 1, JpegFactory::make(30, 20), true);
    clsChannel* colon = rig.addPublished(site, "jp:cam", 0, 1, JpegFactory::make(40, 20), true);
    for (clsChannel* ch : {plain, colon}) ch->ViewControl(clsChannel::NormalViewOpen, QString());
    ASSERT_TRUE(ChannelRig::settle(plain) && ChannelRig::settle(colon));
    for (int i = 0; i < 3; ++i) {
        for (const char* id : {"ch01", "jp:cam"})
            site.picture(QString("/%1/full.jpg").arg(id), JpegFactory::make(50 + i, 20));
        now = now.addSecs(1);
        rig.tick();
        ASSERT_TRUE(ChannelRig::settle(plain) && ChannelRig::settle(colon));
    }
    EXPECT_EQ(QFile(rig.cacheFile("ch01.jpg")).size(), JpegFactory::make(52, 20).size());
    const QStringList folders = QDir(rig.settings.PictureSaveDirctory).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(folders.size(), 2) << folders.join(' ').toStdString();
    EXPECT_EQ(folders[0], "ch01");
    EXPECT_TRUE(folders[1].startsWith("jp_cam~")) << folders[1].toStdString();
    for (const QString& folder : folders)
        EXPECT_EQ(QDir(rig.settings.PictureSaveDirctory + folder).entryList(QDir::Files | QDir::Hidden).size(), 4)
            << folder.toStdString();
}

}  // namespace
