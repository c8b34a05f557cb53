// The per-user viewer lock, held by one process and asked about by another.

#include <gtest/gtest.h>

#include "common/ViewerLock.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

class ViewerLockTest : public ::testing::Test {
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

TEST_F(ViewerLockTest, AnotherProcessSeesTheLockWhileItsHolderLives) {
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));  // no viewer ever ran

    auto first = startHolder();
    auto second = startHolder();  // two viewers may run at once
    EXPECT_TRUE(ViewerLock::IsHeld(folder()));

    // A viewer that ends normally lets go; the other still holds it.
    first->closeWriteChannel();
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_TRUE(ViewerLock::IsHeld(folder()));

    // A crashed viewer leaves no stale lock: the kernel drops it.
    second->kill();
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_TRUE(QFile::exists(ViewerLock::FileIn(folder())));
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));
}

TEST_F(ViewerLockTest, TheLockFollowsAcquireAndRelease) {
    ViewerLock a(folder());
    ViewerLock b(folder());
    ASSERT_TRUE(a.Acquire());
    ASSERT_TRUE(b.Acquire());
    EXPECT_TRUE(ViewerLock::IsHeld(folder()));
    a.Release();
    EXPECT_FALSE(a.IsAcquired());
    EXPECT_TRUE(ViewerLock::IsHeld(folder()));
    b.Release();
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));
    {
        ViewerLock scoped(folder());
        ASSERT_TRUE(scoped.Acquire());
        EXPECT_TRUE(ViewerLock::IsHeld(folder()));
    }
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));

    // The folder is private to the user.
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(ViewerLockTest, AFolderOthersMayWriteIsNotTrusted) {
    ASSERT_TRUE(QDir().mkpath(folder()));
    ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0777), 0);
    ViewerLock lock(folder());
    EXPECT_FALSE(lock.Acquire());
    EXPECT_FALSE(ViewerLock::IsHeld(folder()));
}

TEST_F(ViewerLockTest, TheDefaultFolderIsPerUser) {
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", tmp.path().toLocal8Bit());
    EXPECT_EQ(ViewerLock::DefaultFolder(), tmp.path() + "/vantora");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(ViewerLock::DefaultFolder(), QDir::tempPath() + "/vantora-" + QString::number(::getuid()));
    ViewerLockTesting::OverrideFolder(folder());
    EXPECT_EQ(ViewerLock::DefaultFolder(), folder());
    ViewerLockTesting::OverrideFolder(QString());
    if (!saved.isEmpty()) qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
