// The per-folder viewer lock in one process: one holder per folder,
// whatever path names it, in a lock folder private to the user.

#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "common/ViewerLock.h"

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// Release and destruction let go; a lock folder that others may write is
// not trusted.
TEST(ViewerLock, OneHolderPerFolderInAPrivateLockFolder) {
    TempProgramDir dir;
    QTemporaryDir tmp;
    const QString link = tmp.path() + "/link";
    ASSERT_TRUE(QFile::link(dir.path(), link));
    EXPECT_FALSE(ViewerLock::IsHeld(dir.path()));  // no viewer ever ran
    {
        ViewerLock a(dir.path()), sameByLink(link), other(tmp.path());
        ASSERT_EQ(a.Acquire(), ViewerLock::Result::Acquired);
        EXPECT_EQ(sameByLink.Acquire(), ViewerLock::Result::HeldElsewhere);
        EXPECT_EQ(other.Acquire(), ViewerLock::Result::Acquired);
        a.Release();
        EXPECT_FALSE(ViewerLock::IsHeld(link));
        EXPECT_EQ(sameByLink.Acquire(), ViewerLock::Result::Acquired);
        EXPECT_TRUE(ViewerLock::IsHeld(dir.path() + "/"));
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

}  // namespace
