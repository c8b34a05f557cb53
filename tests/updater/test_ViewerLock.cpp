// The per-folder viewer lock, held by viewers in other processes, and the
// updater's start-up check that finds a viewer of its own folder by it
// where no X server can.

#include "UpdaterFixture.h"
#include "common/ViewerLock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class ViewerLockTest : public UpdaterTest {
protected:
    QTemporaryDir tmp;

    // A viewer of folder in another process; nullptr when it could not
    // take the lock (*exitCode says why: 3 is "held by another").
    std::unique_ptr<QProcess> startHolder(const QString& folder, int* exitCode = nullptr) {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(UPDATER_TEST_HELPER), {"lock", folder});
        EXPECT_TRUE(p->waitForStarted());
        const bool locked = QTest::qWaitFor(
            [&] { return p->readAllStandardOutput().contains("locked") || p->state() == QProcess::NotRunning; },
            10000);
        if (locked && p->state() != QProcess::NotRunning) return p;
        p->waitForFinished(10000);
        if (exitCode) *exitCode = p->exitCode();
        return nullptr;
    }
};

// While a viewer of the updater's own folder lives the updater refuses at
// start-up and leaves the file alone, even with lists in its tree; a viewer
// of another folder does not stop it; a viewer that crashes lets go.
TEST_F(ViewerLockTest, TheUpdaterRefusesOnlyBesideAViewerOfItsOwnFolder) {
    qunsetenv("DISPLAY");  // no X server: only the lock can tell
    const QByteArray file = "ChannelList\t\tl\t\ttrue\t\tu\r\n";
    dir.write("ChannelList.txt", file);
    int loadedLists = -1;
    auto startUp = [&] {  // the window's own detector, not a stand-in
        updater::frmMain window(dir.path());
        window.ShowError = [this](QWidget*, const QString& text, const QString& title) {
            errors << text + "|" + title;
        };
        const bool loaded = window.Form_Load();
        loadedLists = window.tvwChannelSelect->topLevelItemCount();
        window.LoadChannelList({QString(), "ChannelList\t\tother\t\tTrue\t\tv"});
        window.close();
        return loaded;
    };
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));  // no viewer ever ran

    auto other = startHolder(tmp.path());
    ASSERT_TRUE(other);
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));

    auto viewer = startHolder(dir.path());
    ASSERT_TRUE(viewer);
    int exitCode = 0;
    EXPECT_FALSE(startHolder(dir.path() + "/", &exitCode));  // a second viewer of the same folder
    EXPECT_EQ(exitCode, 3);
    EXPECT_FALSE(startUp());
    EXPECT_EQ(errors,
              QStringList{QStringLiteral("Vantora本体起動中は、チャンネルリストの更新はできません|起動エラー")});
    EXPECT_EQ(loadedLists, 0);
    EXPECT_EQ(dir.read("ChannelList.txt"), file);

    viewer->kill();  // a crash leaves no stale lock: the kernel drops it
    ASSERT_TRUE(viewer->waitForFinished(10000));
    EXPECT_TRUE(QFile::exists(ViewerLock::FileFor(dir.path())));
    EXPECT_TRUE(startUp());
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(dir.read("ChannelList.txt"), "ChannelList\t\tl\t\tTrue\t\tu\r\n"
                                           "ChannelList\t\tother\t\tTrue\t\tv\r\n");
    other->closeWriteChannel();  // ends normally
    ASSERT_TRUE(other->waitForFinished(10000));
    EXPECT_EQ(other->exitCode(), 0);
    EXPECT_FALSE(ViewerLock::IsHeld(tmp.path()));
}

// In one process: one holder per folder, whatever path names it; Release
// and destruction let go; the lock folder is private, and one that others
// may write is not trusted.
TEST_F(ViewerLockTest, OneHolderPerFolderInAPrivateLockFolder) {
    const QString link = tmp.path() + "/link";
    ASSERT_TRUE(QFile::link(dir.path(), link));
    {
        ViewerLock a(dir.path()), sameByLink(link), other(tmp.path());
        ASSERT_EQ(a.Acquire(), ViewerLock::Result::Acquired);
        EXPECT_EQ(sameByLink.Acquire(), ViewerLock::Result::HeldElsewhere);
        EXPECT_FALSE(sameByLink.IsAcquired());
        EXPECT_EQ(other.Acquire(), ViewerLock::Result::Acquired);
        a.Release();
        EXPECT_FALSE(ViewerLock::IsHeld(link));
        EXPECT_EQ(sameByLink.Acquire(), ViewerLock::Result::Acquired);
        EXPECT_TRUE(ViewerLock::IsHeld(dir.path()));
    }
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));
    EXPECT_FALSE(ViewerLock::IsHeld(tmp.path()));
    const QByteArray lockFolder = QFile::encodeName(ViewerLock::DefaultFolder());
    struct stat st {};
    ASSERT_EQ(::stat(lockFolder.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(::chmod(lockFolder.constData(), 0777), 0);
    ViewerLock open(dir.path());
    EXPECT_EQ(open.Acquire(), ViewerLock::Result::Unavailable);
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));
    ASSERT_EQ(::chmod(lockFolder.constData(), 0700), 0);
}

TEST_F(ViewerLockTest, TheLockFolderIsPerUser) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", tmp.path().toLocal8Bit());
    EXPECT_EQ(ViewerLock::DefaultFolder(), tmp.path() + "/vantora");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(ViewerLock::DefaultFolder(), QDir::tempPath() + "/vantora-" + QString::number(::getuid()));
    qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
