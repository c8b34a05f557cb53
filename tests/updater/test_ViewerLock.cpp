// The per-folder viewer lock in one process: one holder per folder, whatever
// path names it, in a hidden file of the folder itself that goes with its
// holder; a path that is not a plain file of ours is never used.

#include <gtest/gtest.h>

#include "Rows.h"
#include "TempProgramDir.h"
#include "common/ViewerLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

TEST(ViewerLock, OneHolderPerFolderAndNoFileLeftBehind) {
    TempProgramDir dir;
    QTemporaryDir tmp;
    const QString link = tmp.path() + "/link";
    ASSERT_TRUE(QFile::link(dir.path(), link));
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));  // no viewer ever ran
    {
        ViewerLock a(dir.path()), sameByLink(link), other(tmp.path());
        ASSERT_EQ(a.Acquire(), ViewerLock::Result::Acquired);
        EXPECT_EQ(dir.allFiles(), QStringList{".Vantomon.lock"});
        EXPECT_EQ(sameByLink.Acquire(), ViewerLock::Result::HeldElsewhere);
        EXPECT_TRUE(ViewerLock::IsHeld(link));
        EXPECT_EQ(other.Acquire(), ViewerLock::Result::Acquired);
        a.Release();
        EXPECT_EQ(dir.allFiles(), QStringList());
        EXPECT_FALSE(ViewerLock::IsHeld(link));
        EXPECT_EQ(sameByLink.Acquire(), ViewerLock::Result::Acquired);
        EXPECT_TRUE(ViewerLock::IsHeld(dir.path() + "/"));
    }
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));
    EXPECT_FALSE(ViewerLock::IsHeld(tmp.path()));
    EXPECT_EQ(dir.allFiles(), QStringList());
}

// What stands at the lock path, or in the folder's place, and makes the lock
// unavailable (said at start): never followed, never waited on, never made
// into a lock, and left as it was.
enum class Planted { LinkToAFile, Fifo, Directory, FileInsteadOfTheFolder };
struct PlantedRow {
    const char* name;
    Planted planted;
};
class PlantedLockTest : public ::testing::TestWithParam<PlantedRow> {};

TEST_P(PlantedLockTest, IsUnavailableAndLeftAlone) {
    TempProgramDir dir;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.path() + "/victim";
    QString folder = dir.path();
    const QByteArray lockPath = QFile::encodeName(dir.file(".Vantomon.lock"));
    switch (GetParam().planted) {
        case Planted::LinkToAFile:
            ASSERT_TRUE(QFile::link(target, dir.file(".Vantomon.lock")));
            break;
        case Planted::Fifo:
            ASSERT_EQ(::mkfifo(lockPath.constData(), 0600), 0);
            break;
        case Planted::Directory:
            ASSERT_EQ(::mkdir(lockPath.constData(), 0700), 0);
            break;
        case Planted::FileInsteadOfTheFolder:
            dir.write("data", "not a folder");
            folder = dir.file("data");
            break;
    }
    const QStringList before = dir.allFiles();
    QElapsedTimer clock;
    clock.start();
    ViewerLock lock(folder);
    EXPECT_EQ(lock.Acquire(), ViewerLock::Result::Unavailable);
    EXPECT_FALSE(lock.Error().isEmpty());
    EXPECT_FALSE(ViewerLock::IsHeld(folder));
    EXPECT_LT(clock.elapsed(), 1000);
    lock.Release();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(dir.allFiles(), before);
}

const PlantedRow kPlanted[] = {{"link_to_a_file_elsewhere", Planted::LinkToAFile},
                               {"fifo", Planted::Fifo},
                               {"directory", Planted::Directory},
                               {"file_in_the_folders_place", Planted::FileInsteadOfTheFolder}};
VANTORA_ROWS(PlantedLockTest, kPlanted);

}  // namespace
