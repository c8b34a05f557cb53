#include "channel/clsChannel.h"

#include "channel/HTTPTransfer.h"
#include "channel/PictureDecode.h"
#include "channel/PictureElement.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannelManeger.h"
#include "common/Logging.h"
#include "common/Numeric.h"
#include "common/SafeFile.h"
#include "common/TextCompare.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int kNormalView = 2;
constexpr int kThumbnailView = 4;

// A status outside 0..3 is kept for display (an empty word) but the cycle
// treats it as "no information", so the channel keeps reading its info file
// instead of stopping for good.
int decisionStatus(int status) { return status >= 0 && status <= 3 ? status : 3; }

QString statusWord(int status) {
    switch (status) {
        case 0:
            return QStringLiteral("放送中");
        case 1:
            return QStringLiteral("休止中");
        case 2:
            return QStringLiteral("中止中");
        case 3:
            return QStringLiteral("情報なし");
        default:
            return QString();
    }
}

const ProgramSettings& fallbackSettings() {
    static const ProgramSettings settings;
    return settings;
}

}  // namespace

QString clsChannel::SaveString() const {
    const QString sep = QStringLiteral("\t\t");
    return mProtocol + sep + mChannelID + sep + mChannelName + sep + mChannelInfomationURL + sep +
           Numeric::BooleanText(mSavePicture);
}

void clsChannel::setSavePicture(bool IsSavePicture) {
    mSavePicture = IsSavePicture;
    if (IsSavePicture) SavePictureFile(QString());
}

void clsChannel::setBelongFavarite(bool IsBelongFavarite) {
    mBelongFavarite = IsBelongFavarite;
    if (!mChannelManeger) return;
    if (IsBelongFavarite)
        mChannelManeger->RaiseEventRequest_AddChannelToFavarite(mChannelID);
    else
        mChannelManeger->RaiseEventRequest_RemoveChannelFromFavarite(mChannelID);
}

void clsChannel::setShowPictureOnlyOnBroadCast(bool NewValue) {
    mShowPictureOnlyOnBroadCast = NewValue;
    const int status = decisionStatus(mStatus);
    if (NewValue && mPictureType != PictureKind::None) {
        ShowPicture(QString(), /*save=*/false);
    } else if (!NewValue && mPictureType == PictureKind::None && (status == 1 || status == 2) &&
               mState == ChannelState::Waiting) {
        NextRequest();
    }
}

bool clsChannel::IsAvailOtherActiveThumbnail(const QString& MultiMonitorID) const {
    for (int i = 1; i < mThumbnailMultiMonitorID.size(); ++i) {
        const QString& id = mThumbnailMultiMonitorID[i];
        if (!id.isEmpty() && !EqualsNoCase(id, MultiMonitorID) && mIsThumbnailBoxIsActive[i]) return true;
    }
    return false;
}

bool clsChannel::ClassInitialize(const QString& ChannelID, const QString& Protocol, const QString& DefaultChannelName,
                                 const QString& ChannelInfomationURL, bool IsSavePicture,
                                 PictureElement* ChannelShowBox, HTTPTransfer* netHTTPObject,
                                 clsChannelManeger* ChannelManeger) {
    mChannelID = ChannelID;
    mProtocol = Protocol;
    mChannelName = DefaultChannelName;
    mChannelInfomationURL = ChannelInfomationURL;
    mSavePicture = IsSavePicture;
    mShowBox = ChannelShowBox;
    mHTTP = netHTTPObject;
    mChannelManeger = ChannelManeger;
    if (mShowBox) mShowBox->Tag = ChannelID;
    if (mHTTP) mHTTP->Tag = ChannelID;

    mInfo = ChannelInfomation();
    mPicture = PictureInfomation();
    mState = ChannelState::Stopped;
    mViewFlag = 0;
    mStatus = 3;
    mWaitCount = -1;
    mSecondCount = 0;
    mPictureType = PictureKind::None;
    mRequestPictureType = PictureKind::None;
    mShowedStatus = 3;
    mPictureFile.clear();
    mPictureExtension.clear();
    mLastSaveStamp.clear();
    mBelongFavarite = false;
    mShowPictureOnlyOnBroadCast = false;
    mPictureBytes.clear();
    mDecoded = QImage();
    return false;
}

void clsChannel::AddThumbnailShowBox(const QString& MultiMonitorID, PictureElement* ThumbnailShowbox,
                                     bool IsThumbnailBoxIsActive) {
    mThumbnailShowBox.append(ThumbnailShowbox);
    mThumbnailMultiMonitorID.append(MultiMonitorID);
    mIsThumbnailBoxIsActive.append(IsThumbnailBoxIsActive);
    // A new box shows what the show box shows; otherwise a channel that is
    // not broadcasting would leave it blank until its status changes.
    if (ThumbnailShowbox) ThumbnailShowbox->setPicture(mPictureType == PictureKind::None ? QImage() : mDecoded);
}

void clsChannel::RemoveThumbnailShowBox(const QString& MultiMonitorID) {
    for (int i = 1; i < mThumbnailMultiMonitorID.size(); ++i) {
        if (EqualsNoCase(mThumbnailMultiMonitorID[i], MultiMonitorID)) {
            mThumbnailShowBox[i] = nullptr;
            mThumbnailMultiMonitorID[i].clear();
            mIsThumbnailBoxIsActive[i] = false;
            return;
        }
    }
}

void clsChannel::Request_ChannelInfomationRefresh() { MakeInfomationString(); }

void clsChannel::Request_ChannelControlRefresh() { MakeControlStatus(); }

void clsChannel::ViewControl(int ViewControl, const QString& MultiMonitorID) {
    switch (ViewControl) {
        case NormalViewOpen:
            mViewFlag |= kNormalView;
            break;
        case NormalViewClose:
            mViewFlag &= ~kNormalView;
            break;
        case ThumbnailViewOpen:
        case ThumbnailViewClose: {
            const bool open = ViewControl == ThumbnailViewOpen;
            if (open)
                mViewFlag |= kThumbnailView;
            else
                mViewFlag &= ~kThumbnailView;
            if (!MultiMonitorID.isEmpty()) {
                const int slot = getThumbnailShowBoxIndexFromMultiMonitorID(MultiMonitorID);
                if (slot > 0) mIsThumbnailBoxIsActive[slot] = open;
            }
            break;
        }
        default:
            break;
    }
    MakeControlStatus();
    if (!mHTTP || !mHTTP->StillExecuting()) NextRequest();
}

void clsChannel::CauseOneSecEvent() {
    if (mState != ChannelState::Waiting) return;
    ++mSecondCount;
    MakeInfomationString();
    if (mSecondCount >= mWaitCount) NextRequest();
}

void clsChannel::DataArrival(int DataType, const QString& TextData, const QByteArray& BinaryData,
                             const QString& LastModified) {
    if (mState == ChannelState::InfoRequested) {
        if (DataType == 1 && AnalyzeInfomationFile(TextData, mInfo)) {
            mStatus = mInfo.StatusFlag;
            if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelStatusRefresh(mChannelID);
            mWaitCount = mInfo.ReloadTime;
        } else {
            mState = ChannelState::Error;
        }
        NextRequest();
        return;
    }
    if (mState != ChannelState::PictureRequested) return;

    auto reject = [this] {
        mState = ChannelState::Error;
        mRequestPictureType = PictureKind::None;
        NextRequest();
    };
    if (DataType != 2) return reject();
    // The picture's record is taken only from a picture that is accepted and
    // decodes: a rejected one leaves stamp, comment and saving as they were.
    PictureInfomation record;
    const QString extension = AnalyzePicture(BinaryData, record);
    if (extension.isEmpty()) return reject();
    // Decoded once, from memory; every box shares this image.
    QString repaired;
    QImage decoded = DecodePicture(BinaryData, &repaired);
    if (!repaired.isEmpty()) {
        // Once a channel and run as a warning: a broken picture comes with every poll.
        if (mDamageLogged)
            qCDebug(lcChannel).noquote() << "picture of" << mChannelID << "damaged:" << repaired;
        else
            qCWarning(lcChannel).noquote() << "picture of" << mChannelID << "damaged:" << repaired
                                           << "(further ones of this channel are debug lines)";
        mDamageLogged = true;
    }
    if (decoded.isNull()) return reject();
    mPicture = record;
    mPictureExtension = extension;

    if (mPicture.Status != 3) {
        mStatus = mPicture.Status;
        if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelStatusRefresh(mChannelID);
    }
    mPictureType = mRequestPictureType;
    mRequestPictureType = PictureKind::None;

    const QString& cacheDir = Settings().ChachDirctory;
    const QString suffix = mPictureType == PictureKind::Full ? QString() : QStringLiteral("_thumbnail");
    mPictureFile = cacheDir + fileNameIn(cacheDir, mInfo.ChannelID, suffix + mPictureExtension);
    mPictureBytes = BinaryData;
    mDecoded = std::move(decoded);
    // A cache that cannot be written (disk full, folder gone) does not stop
    // the picture from being shown or saved: both use the bytes in memory.
    // An empty setting would name a file in the working directory: skip it.
    if (!cacheDir.isEmpty()) writePictureFile(mPictureFile, /*saved=*/false);

    ShowPicture(LastModified);
    mWaitCount = mPicture.ReloadTime != -1 ? mPicture.ReloadTime : mInfo.ReloadTime;
    NextRequest();
}

void clsChannel::HTTPError(int ErrorCode, const QString& ErrorInfo) {
    Q_UNUSED(ErrorCode);
    Q_UNUSED(ErrorInfo);
    HTTPInCorrectRespons(QStringLiteral("HTTP ERROR"));
}

void clsChannel::HTTPInCorrectRespons(const QString& HTTPRespons) {
    Q_UNUSED(HTTPRespons);
    if (mState == ChannelState::InfoRequested) {
        mState = ChannelState::InfoFailed;
    } else if (mState == ChannelState::PictureRequested) {
        mState = ChannelState::PictureFailed;
        mRequestPictureType = PictureKind::None;
    } else {
        return;
    }
    MakeInfomationString();
    NextRequest();
}

int clsChannel::getThumbnailShowBoxIndexFromMultiMonitorID(const QString& MultiMonitorID) const {
    for (int i = 1; i < mThumbnailMultiMonitorID.size(); ++i) {
        const QString& id = mThumbnailMultiMonitorID[i];
        if (!id.isEmpty() && EqualsNoCase(id, MultiMonitorID)) return i;
    }
    return 0;
}

void clsChannel::setThumbnailIsActive(const QString& MultiMonitorID, bool IsThumbnailBoxIsActive) {
    const int slot = getThumbnailShowBoxIndexFromMultiMonitorID(MultiMonitorID);
    if (slot > 0) mIsThumbnailBoxIsActive[slot] = IsThumbnailBoxIsActive;
}

PictureElement* clsChannel::ThumbnailShowBox(int slot) const {
    return slot >= 1 && slot < mThumbnailShowBox.size() ? mThumbnailShowBox[slot] : nullptr;
}

QString clsChannel::ThumbnailMultiMonitorID(int slot) const {
    return slot >= 1 && slot < mThumbnailMultiMonitorID.size() ? mThumbnailMultiMonitorID[slot] : QString();
}

bool clsChannel::ThumbnailIsActive(int slot) const {
    return slot >= 1 && slot < mIsThumbnailBoxIsActive.size() && mIsThumbnailBoxIsActive[slot];
}

QStringList clsChannel::InfomationString() const {
    const QString gap = QStringLiteral("\u3000");
    const QString spaces = QStringLiteral("   ");
    const QString state = ChannelStateText(mState, mViewFlag & kNormalView, mViewFlag & kThumbnailView);
    QString first = mChannelName;
    first += gap + statusWord(mStatus) + gap + state + gap;
    first += QString::number(mSecondCount) + QLatin1Char('/') + QString::number(mWaitCount);
    first += spaces + mInfo.LastModified + spaces + mInfo.CommentforChannel;
    return {QString(), first, mPicture.Stamp + spaces + mPicture.Comment};
}

// ---------------------------------------------------------------------------
// The fetch cycle.

void clsChannel::NextRequest() {
    if (mViewFlag == 0) {
        // A request in flight is not cancelled; its answer is ignored later.
        mState = ChannelState::Stopped;
        MakeInfomationString();
        return;
    }
    const int status = decisionStatus(mStatus);
    switch (mState) {
        case ChannelState::Stopped:
            RequestInfomation();
            break;
        case ChannelState::InfoRequested:
            if (status == 0 || (mPictureType == PictureKind::None && !mShowPictureOnlyOnBroadCast)) {
                RequestPictureOf((mViewFlag & kNormalView) ? PictureKind::Full : PictureKind::Thumbnail,
                                 /*informationJustRead=*/true);
            } else {
                Wait();
            }
            break;
        case ChannelState::PictureRequested:
            Wait();
            break;
        case ChannelState::Waiting:
            if (status == 0) {
                RequestPicture();
            } else if ((mViewFlag & kNormalView) && mPictureType != PictureKind::Full && !mShowPictureOnlyOnBroadCast) {
                RequestPictureOf(PictureKind::Full, false);
            } else if ((mViewFlag & kThumbnailView) && mPictureType == PictureKind::None &&
                       !mShowPictureOnlyOnBroadCast) {
                RequestPictureOf(PictureKind::Thumbnail, false);
            } else if (decisionStatus(mShowedStatus) == status) {
                RequestInfomation();
            } else {
                RequestPicture();
            }
            break;
        case ChannelState::InfoFailed:
        case ChannelState::PictureFailed:
        case ChannelState::Error:
            MakeInfomationString();
            if (mWaitCount == -1) mWaitCount = Settings().DefaultWaitCount;
            Wait();
            break;
    }
}

void clsChannel::RequestInfomation() {
    mState = ChannelState::InfoRequested;
    Execute(mChannelInfomationURL);
    MakeInfomationString();
}

void clsChannel::RequestPicture() {
    RequestPictureOf((mViewFlag & kNormalView) ? PictureKind::Full : PictureKind::Thumbnail, false);
}

// An empty ThumbnailURL falls back to URL (the picture is still held as a
// thumbnail). With no address at all the info file is read instead, so a
// channel whose first info request failed recovers once its server is back;
// right after reading it, the channel waits instead of asking again at once.
void clsChannel::RequestPictureOf(PictureKind pictureType, bool informationJustRead) {
    QString address = pictureType == PictureKind::Full ? mInfo.URL : mInfo.ThumbnailURL;
    if (address.isEmpty() && pictureType == PictureKind::Thumbnail) address = mInfo.URL;
    if (address.isEmpty()) {
        if (informationJustRead)
            Wait();
        else
            RequestInfomation();
        return;
    }
    mState = ChannelState::PictureRequested;
    Execute(address);
    mRequestPictureType = pictureType;
    MakeInfomationString();
}

void clsChannel::Wait() {
    mSecondCount = 0;
    mState = ChannelState::Waiting;
    MakeInfomationString();
}

void clsChannel::Execute(const QString& address) {
    if (mHTTP) mHTTP->Execute(address, QStringLiteral("GET"));
}

const ProgramSettings& clsChannel::Settings() const {
    return mChannelManeger ? mChannelManeger->Settings() : fallbackSettings();
}

// ---------------------------------------------------------------------------
// Showing and saving.

void clsChannel::ShowPicture(const QString& LastModified, bool save) {
    const bool blank = mShowPictureOnlyOnBroadCast && mStatus != 0;
    const QImage picture = blank || mPictureFile.isEmpty() ? QImage() : mDecoded;
    if (blank) {
        mShowedStatus = 3;
        mPictureType = PictureKind::None;
    } else {
        mShowedStatus = mStatus;
    }
    if (mShowBox) mShowBox->setPicture(picture);
    for (int i = 1; i < mThumbnailShowBox.size(); ++i)
        if (!mThumbnailMultiMonitorID[i].isEmpty() && mThumbnailShowBox[i]) mThumbnailShowBox[i]->setPicture(picture);
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_ShowBoxRefresh(mChannelID);
    if (!blank && save) SavePictureFile(LastModified);
}

void clsChannel::SavePictureFile(const QString& LastModified) {
    if (!mSavePicture || mPictureFile.isEmpty() || mPictureBytes.isEmpty()) return;
    const ProgramSettings& settings = Settings();
    // An empty setting would put the folders into the working directory.
    if (settings.PictureSaveDirctory.isEmpty()) return;
    const QString channelDir =
        settings.PictureSaveDirctory + fileNameIn(settings.PictureSaveDirctory, mChannelID) + QLatin1Char('/');
    QDir().mkpath(settings.PictureSaveDirctory);
    QDir().mkpath(channelDir);

    QString name;
    if (!mPicture.Stamp.isEmpty()) {
        if (EqualsNoCase(mPicture.Stamp, mLastSaveStamp)) return;
        mLastSaveStamp = mPicture.Stamp;
        name = mPicture.Stamp;
        name.remove(QLatin1Char('/'));
        name.remove(QLatin1Char(':'));
        name.replace(QLatin1Char(' '), QLatin1Char('_'));
    } else {
        const QDateTime now = settings.Now();
        if (!LastModified.isEmpty()) {
            if (EqualsNoCase(LastModified, mLastSaveStamp)) return;
            mLastSaveStamp = LastModified;
        } else {
            mLastSaveStamp = now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        }
        name = now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    }
    const QString target = channelDir + fileNameIn(channelDir, name, mPictureExtension);
    // A saved picture is never replaced.
    if (QFileInfo::exists(target)) return;
    writePictureFile(target, /*saved=*/true);
}

QString clsChannel::fileNameIn(const QString& directory, const QString& name, const QString& suffix) {
    const QString key = directory + QChar(u'\1') + name + QChar(u'\1') + suffix;
    auto it = mFileNames.constFind(key);
    if (it == mFileNames.constEnd()) it = mFileNames.insert(key, FileNameIn(directory, name, suffix));
    return *it;
}

void clsChannel::writePictureFile(const QString& path, bool saved) {
    QString error;
    if (saved ? WriteNewFile(path, mPictureBytes, &error)
              : WriteFileAtomically(path, mPictureBytes, /*durable=*/false, &error))
        return;
    // A warning once per channel and run: a full disk must not add a line
    // to stderr for every picture of every channel.
    if (mWriteFailureLogged)
        qCDebug(lcFiles).noquote() << "picture not written to" << path << "-" << error;
    else
        qCWarning(lcFiles).noquote() << "picture not written to" << path << "-" << error
                                     << "(further failures of this channel are debug lines)";
    mWriteFailureLogged = true;
}

// ---------------------------------------------------------------------------
// Reports to the window.

void clsChannel::MakeInfomationString() {
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelInfomationRefresh(mChannelID, InfomationString());
}

void clsChannel::MakeControlStatus() {
    int flag = 0;
    if (mViewFlag & kNormalView) flag += 1;
    if (mViewFlag & kThumbnailView) flag += 2;
    if (mSavePicture) flag += 4;
    if (mBelongFavarite) flag += 8;
    QStringList belong{QString()};
    for (int i = 1; i < mThumbnailMultiMonitorID.size(); ++i)
        if (!mThumbnailMultiMonitorID[i].isEmpty()) belong << mThumbnailMultiMonitorID[i];
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelControlRefres(mChannelID, flag, belong);
}
