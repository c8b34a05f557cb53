// Start-up and exit sequences: LoadSetting and SaveSetting.
#include "view/frmMain.h"

#include "channel/ChannelHTTPCompletion.h"
#include "channel/HTTPTransfer.h"
#include "channel/clsChannelManeger.h"
#include "common/IniFile.h"
#include "common/Logging.h"
#include "common/Numeric.h"
#include "common/SafeFile.h"
#include "common/mdlFunction.h"
#include "common/mdlFunctionWidgets.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "storage/TreeListFormat.h"
#include "storage/WatchSettings.h"
#include "view/TabStripWidget.h"
#include "view/WatchViews.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#ifdef __GLIBC__
#include <malloc.h>
#endif

using mdlFunction::GetIniFrom;
using mdlFunction::IniBoolean;
using mdlFunction::IniInteger;
using mdlFunction::IniText;

using mdlFunction::kTwipsPerPixel;

namespace {

QString withFinalSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

}  // namespace

void frmMain::LoadSetting() {
    const QString ini = mProgramDirectory + QStringLiteral("/Vantomon.ini");
    auto getInt = [&](const char* section, const char* key, int def) {
        return GetIniFrom(ini, QLatin1String(section), QLatin1String(key), IniInteger, def).toInt();
    };
    auto getBool = [&](const char* key, bool def) {
        return GetIniFrom(ini, QStringLiteral("General"), QLatin1String(key), IniBoolean, def).toBool();
    };
    auto getText = [&](const char* key, const QString& def) {
        return GetIniFrom(ini, QStringLiteral("General"), QLatin1String(key), IniText, def).toString();
    };

    // 1. The splitter's left edge; the layout picks it up at the next resize.
    const int resizeX = getInt("MainWindow", "ResizeX", mGeometry.Splitter.x());
    mGeometry.Splitter.moveLeft(qBound(0, resizeX, 100000));

    // 2. Outer size in twips, then the window state (0 normal, 1 minimised,
    //    2 maximised; other values are clamped to one of these). The size is
    //    used as read (there is no minimum window size), fitted into the
    //    screen once: now, and for a normal window again when the window
    //    manager has placed it and its frame is known.
    const int width = getInt("MainWindow", "Width", this->width() * kTwipsPerPixel) / kTwipsPerPixel;
    const int height = getInt("MainWindow", "Height", this->height() * kTwipsPerPixel) / kTwipsPerPixel;
    // What was asked for: on X11 size() follows only later.
    mSizeBeforeStart = size();
    mStartSize = QSize(qBound(1, width, 16384), qBound(1, height, 16384));
    resize(mStartSize);
    keepOnScreen();
    mNormalSize = mStartFit;
    const int style = qBound(0, getInt("MainWindow", "Style", 0), 2);
    // The state follows once the window has its normal size: on X11 the
    // size arrives later, and a state set before would keep the old size as
    // the normal one (restored and saved at exit).
    mPendingState = style == 1 ? Qt::WindowMinimized : style == 2 ? Qt::WindowMaximized : Qt::WindowNoState;
    if (size() == mStartFit) {
        applyPendingState();
    } else if (mPendingState != Qt::WindowNoState) {
        // A window manager may never give exactly that size.
        QTimer::singleShot(2000, this, &frmMain::applyPendingState);
    }

    // 3. The two managers, and the window's handlers of their events.
    mChannelManeger = std::make_unique<clsChannelManeger>(mSettings, *mHTTP);
    mMultiMonitorManeger = std::make_unique<clsMultiMonitorManeger>();
    mMultiMonitorManeger->ClassInitialize(mChannelManeger.get());
    connectModel();
    mWatchViews->Attach();

    // 4. The fixed roots: マルチモニター first, then お気に入り.
    mRootMultiMonitor = AddNode(nullptr, NodeKind::MultiMonitorRoot, QStringLiteral("マルチモニター"));
    mRootFavarite = AddNode(nullptr, NodeKind::FavariteRoot, QStringLiteral("お気に入り"));
    mTreeModel->SetKey(mRootMultiMonitor, QStringLiteral("tvwKey_MULTIMONITOR_ROOT"));
    mTreeModel->SetKey(mRootFavarite, QStringLiteral("tvwKey_FAIVARIT_ROOT"));

    // 5, 6. Directories, each with a final separator. One that is no path
    //       here (from Windows, or relative) is not used: the default is,
    //       and the value is written back as it was read.
    auto folder = [&](int which, const char* key, const QString& fallback) {
        const QString value = getText(key, fallback);
        if (mdlFunction::IsLocalFolderPath(value)) return withFinalSeparator(value);
        qCWarning(lcFiles).noquote() << key << value << "is not a folder on this system; using" << fallback;
        mForeignFolder[which] = value;
        mForeignFolderReplacement[which] = fallback;
        return fallback;
    };
    mSettings.ChachDirctory = folder(0, "ChachDirctory", mProgramDirectory + QStringLiteral("/chach/"));
    mSettings.PictureSaveDirctory = folder(1, "PictureSaveDirctory", mProgramDirectory + QStringLiteral("/save/"));

    // 7. The resize mode.
    const int imageResize = qBound(0, getInt("General", "ImageResize", 2), 2);
    mImageResize[imageResize]->setChecked(true);

    // 8. Waits, proxy and timeout; non-positive waits give the defaults.
    mSettings.DefaultWaitCount = getInt("General", "DefaultWaitCount", 60);
    if (mSettings.DefaultWaitCount <= 0) mSettings.DefaultWaitCount = 60;
    mSettings.Proxy = getText("Proxy", QString());
    mSettings.Timeout = getInt("General", "Timeout", 60);
    if (mSettings.Timeout <= 0) mSettings.Timeout = 60;
    mSettings.ProxyEnable = getBool("ProxyEnable", false);

    // 9. The cache directory (its last level only).
    if (!QDir(mSettings.ChachDirctory).exists()) QDir().mkdir(mSettings.ChachDirctory);

    // 10. The minimum tab width.
    mTabs->SetMinimumTabWidth(50);

    // 11. The three list files, channels first.
    const QString names[3] = {QStringLiteral("/ChannelList.txt"), QStringLiteral("/Favorite.txt"),
                              QStringLiteral("/MultiMonitor.txt")};
    for (int i = 0; i < 3; ++i) {
        const TreeListFile file = ReadTreeListFile(mProgramDirectory + names[i]);
        mListFileInfo[i] = file.Info;
        // Favourites and members are matched only against a channel list
        // that was read and names channels; without one they are carried.
        // Those inside ChannelList.txt itself are matched if it was read.
        if (i == 0) {
            mChannelsKnown = file.Info.exists && file.Info.readable;
            mChannelManeger->MakeRoomFor(int(file.Lines.size()));
        }
        LoadTreeListFile(file.Lines);
        if (i == 0) mChannelsKnown = mChannelsKnown && mChannelManeger->ChannelCount() > 0;
    }
#ifdef __GLIBC__
    // The lines and pieces of the files were freed between the fields that
    // stay; a long list leaves tens of megabytes of such holes, which the
    // allocator would otherwise keep for the life of the program.
    malloc_trim(0);
#endif

    // 12, 13. The display switches reach the objects that now exist.
    mShowPictureOnlyOnBroadcast->setChecked(getBool("ShowLimit", false));
    mChannelManeger->setShowPictureOnlyOnBroadCast(mShowPictureOnlyOnBroadcast->isChecked());
    mShowChannelOnlyOnBroadcast->setChecked(getBool("ChannelLimit", false));
    mMultiMonitorManeger->setShowChannelOnlyOnBroadcast(mShowChannelOnlyOnBroadcast->isChecked());

    // What the viewer adds beside the specified settings.
    mWatch = ReadWatchSettings(ini);
    startWatch();
    // The last session: folder windows always, tabs when RestoreTabs is on.
    mWatchViews->Restore(ini);

    // 14. The tick starts only now, when every channel of the lists exists.
    mTimer->start();
    // 15. Depth in the tree is the number of a node's parents; no path
    //     separator is needed to find it.
}

void frmMain::applyPendingState() {
    if (mPendingState == Qt::WindowNoState) return;
    mStateToArrive = mPendingState;
    mPendingState = Qt::WindowNoState;
    setWindowState(windowState() | mStateToArrive);
    // A minimised window never shows its size; nor may a maximised one on
    // a screen its normal size fills.
    QTimer::singleShot(3000, this, [this] { mStateToArrive = Qt::WindowNoState; });
    // A maximised or minimised window is the window manager's: never fitted again.
    mStartSize = QSize();
}

void frmMain::keepOnScreen() {
    // A stored size larger than the screen's free area (a file from a larger
    // screen, or any size on a display scaled by 2) shrinks to fit it, once:
    // at start, and again with the frame when the window manager has placed
    // the window, which then moves back inside the free area. Only a normal
    // window at the size start-up gave it: a maximised, minimised or
    // full-screen one is the window manager's, and one whose size someone
    // else changed (where no frame is ever reported) keeps that size.
    const QScreen* screen = this->screen();
    if (!mStartSize.isValid() || !screen) return;
    // Sized by someone else since the fit: neither the fitted size nor the
    // size from before it, which the X server may still report once.
    const bool resizedSince = mStartFitSeen && size() != mStartFit && size() != mSizeBeforeStart;
    if ((windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) || resizedSince) {
        mStartSize = QSize();
        return;
    }
    const QRect room = screen->availableGeometry();
    const QSize margins = frameGeometry().size() - size();
    const QSize fitted = mStartSize.boundedTo(room.size() - margins);
    if (fitted != size()) resize(fitted);
    if (fitted != mStartFit) mStartFitSeen = false;
    mStartFit = fitted;
    if (size() == fitted) mStartFitSeen = true;
    // A splitter stored beyond the right edge of a shrunk window would be
    // out of reach: it comes back to the drag's right limit. Otherwise it
    // stays as read.
    if (fitted != mStartSize && mGeometry.Splitter.x() > fitted.width() - 10)
        mGeometry.Splitter.moveLeft(qMax(10, fitted.width() - 10));
    if (margins.isNull()) return;
    mStartSize = QSize();
    const QRect frame(frameGeometry().topLeft(), fitted + margins);
    const QPoint inside(qMax(room.left(), qMin(frame.left(), room.right() + 1 - frame.width())),
                        qMax(room.top(), qMin(frame.top(), room.bottom() + 1 - frame.height())));
    if (inside != frame.topLeft()) move(inside);
}

void frmMain::SaveSetting() {
    ++mSaveSettingRuns;
    const QString ini = mProgramDirectory + QStringLiteral("/Vantomon.ini");
    QStringList failed;

    // All keys go into the file in one crash-safe write.
    QByteArray bytes;
    bool readable = true;
    {
        QFile file(ini);
        if (file.exists()) {
            readable = file.open(QIODevice::ReadOnly);
            if (readable) bytes = file.readAll();
        }
    }
    if (readable) {
        IniDocument doc = IniDocument::fromBytes(bytes);
        auto set = [&doc](const char* section, const char* key, const QVariant& value) {
            doc.setValue(QLatin1String(section), QLatin1String(key), mdlFunction::IniValueText(value));
        };
        // 1 to 3. General values (DefaultWaitCount is never written).
        auto folder = [this](int which, const QString& inUse) {
            return !mForeignFolder[which].isEmpty() && inUse == mForeignFolderReplacement[which] ? mForeignFolder[which]
                                                                                                 : inUse;
        };
        set("General", "ChachDirctory", folder(0, mSettings.ChachDirctory));
        set("General", "PictureSaveDirctory", folder(1, mSettings.PictureSaveDirctory));
        set("General", "ShowLimit", mShowPictureOnlyOnBroadcast->isChecked());
        set("General", "ChannelLimit", mShowChannelOnlyOnBroadcast->isChecked());
        set("General", "Proxy", mSettings.Proxy);
        set("General", "ProxyEnable", mSettings.ProxyEnable);
        set("General", "Timeout", mSettings.Timeout);
        // 4. The window state.
        int style = 0;
        if (windowState() & Qt::WindowMinimized) {
            style = 1;
        } else if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
            style = 2;
        }
        set("MainWindow", "Style", style);
        // 5, 6. The normal size, also when maximised or minimised (read,
        //       not toggled: a state change is asynchronous on X11).
        const QSize normal = normalSizeForSaving();
        set("MainWindow", "Width", normal.width() * kTwipsPerPixel);
        set("MainWindow", "Height", normal.height() * kTwipsPerPixel);
        set("MainWindow", "ResizeX", mGeometry.Splitter.x());
        // 7. The resize mode.
        set("General", "ImageResize", mdlFunction::getCheckedIndex(mImageResize));
        WriteWatchSettings(doc, mWatch);
        mWatchViews->Save(doc);
        QString error;
        if (!WriteFileAtomically(ini, doc.toBytes(), true, &error)) {
            failed << ini;
            qCWarning(lcFiles).noquote() << "settings not written to" << ini << "-" << error;
        }
    } else {
        failed << ini;
        qCWarning(lcFiles).noquote() << "settings not written: could not read" << ini;
    }

    // 8. The three list files.
    SaveTreeListFiles(&failed);
    if (failed.isEmpty()) return;
    // Only a file that exists has a previous content to keep.
    QStringList kept, notMade;
    for (const QString& file : failed) (QFileInfo::exists(file) ? kept : notMade) << file;
    QStringList text;
    if (!kept.isEmpty())
        text << QStringLiteral("次のファイルを保存できませんでした。前の内容はそのまま残っています。\n\n") +
                    kept.join(QLatin1Char('\n'));
    if (!notMade.isEmpty())
        text << QStringLiteral("次のファイルを作成できませんでした。\n\n") + notMade.join(QLatin1Char('\n'));
    showMessage(text.join(QStringLiteral("\n\n")), QStringLiteral("保存エラー"));
}
