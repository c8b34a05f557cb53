// The per-user viewer lock, held by viewers in other processes, and the
// updater's start-up check that finds them by it where no X server can.

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
    QString folder() const { return tmp.path() + "/vantora"; }

    // A viewer in another process.
    std::unique_ptr<QProcess> startHolder() {
        auto p = std::make_unique<QProcess>();
        p->start(QStringLiteral(UPDATER_TEST_HELPER), {"lock", folder()});
        EXPECT_TRUE(p->waitForStarted());
        EXPECT_TRUE(QTest::qWaitFor([&] { return p->readAllStandardOutput().contains("locked"); }, 10000));
        return p;
    }
};

// Two viewers may hold the lock at once. While either lives the updater
// refuses at start-up and leaves the file alone, even with lists in its
// tree; a viewer that ends or crashes lets go.
TEST_F(ViewerLockTest, TheUpdaterRefusesWhileAViewerInAnotherProcessHoldsTheLock) {
    ViewerLockTesting::OverrideFolder(folder());
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
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));  // no viewer ever ran

    auto first = startHolder();
    auto second = startHolder();
    EXPECT_FALSE(startUp());
    EXPECT_EQ(errors,
              QStringList{QStringLiteral("Vantora本体起動中は、チャンネルリストの更新はできません|起動エラー")});
    EXPECT_EQ(loadedLists, 0);
    EXPECT_EQ(dir.read("ChannelList.txt"), file);

    first->closeWriteChannel();  // ends normally
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_TRUE(ViewerLock::IsHeld(folder()));

    second->kill();  // a crash leaves no stale lock: the kernel drops it
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_TRUE(QFile::exists(ViewerLock::FileIn(folder())));
    EXPECT_TRUE(startUp());
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(dir.read("ChannelList.txt"), "ChannelList\t\tl\t\tTrue\t\tu\r\nChannelList\t\tother\t\tTrue\t\tv\r\n");
    ViewerLockTesting::OverrideFolder(QString());
}

// In one process: Release and destruction let go; the folder is private,
// and one that others may write is not trusted.
TEST_F(ViewerLockTest, TheLockFollowsAcquireAndReleaseInAPrivateFolder) {
    {
        ViewerLock a(folder()), b(folder());
        ASSERT_TRUE(a.Acquire());
        ASSERT_TRUE(b.Acquire());
        a.Release();
        EXPECT_FALSE(a.IsAcquired());
        EXPECT_TRUE(ViewerLock::IsHeld(folder()));
    }
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0777), 0);
    ViewerLock open(folder());
    EXPECT_FALSE(open.Acquire());
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));
}

TEST_F(ViewerLockTest, TheDefaultFolderIsPerUser) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", tmp.path().toLocal8Bit());
    EXPECT_EQ(ViewerLock::DefaultFolder(), tmp.path() + "/vantora");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(ViewerLock::DefaultFolder(), QDir::tempPath() + "/vantora-" + QString::number(::getuid()));
    if (!saved.isEmpty()) qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
