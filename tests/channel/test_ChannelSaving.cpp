#include "ChannelRig.h"
#include "Rows.h"

#include <QSignalSpy>

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

}  // namespace
