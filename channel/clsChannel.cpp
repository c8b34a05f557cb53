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
#include <QStringBuilder>

namespace {

constexpr int kNormalView = 2;
constexpr int kThumbnailView = 4;

// A status outside 0..3 is kept for display (an empty word) but the cycle
// treats it as "no information", so the channel keeps reading its info file
// instead of stopping for good.
int decisionStatus(int status) { return status >= 0 && status <= 3 ? status : 3; }

const ProgramSettings& fallbackSettings() {
    static const ProgramSettings settings;
    return settings;
}

// An element a channel makes is tagged with its ChannelID, as it would have
// been when the channel was created.
template <class Lazy>
auto* madeAndTagged(const Lazy& lazy, const QString& ChannelID) {
    bool fresh = false;
    auto* element = lazy.Get(&fresh);
    if (fresh) element->Tag = ChannelID;
    return element;
}

}  // namespace

const clsChannel::Viewed& clsChannel::viewed() const {
    static const Viewed initial;
    return mViewed ? *mViewed : initial;
}

clsChannel::Viewed& clsChannel::viewedForWrite() {
    if (!mViewed) mViewed = std::make_unique<Viewed>();
    return *mViewed;
}

PictureElement* clsChannel::ShowBox() const { return madeAndTagged(mShowBox, mChannelID); }

HTTPTransfer* clsChannel::HTTP() const { return madeAndTagged(mHTTP, mChannelID); }

bool clsChannel::stillExecuting() const {
    const HTTPTransfer* http = mHTTP.IfMade();
    return http && http->StillExecuting();
}

QString clsChannel::SaveString() const {
    // Built in one allocation: the exit writes one per channel.
    const QLatin1String sep("\t\t");
    return mProtocol % sep % mChannelID % sep % mChannelName % sep % mChannelInfomationURL % sep %
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
    for (const ThumbnailSlot& slot : mThumbnails)
        if (!slot.MultiMonitorID.isEmpty() && !EqualsNoCase(slot.MultiMonitorID, MultiMonitorID) && slot.IsActive)
            return true;
    return false;
}

bool clsChannel::ClassInitialize(const QString& ChannelID, const QString& Protocol, const QString& DefaultChannelName,
                                 const QString& ChannelInfomationURL, bool IsSavePicture, ShowBoxElement ChannelShowBox,
                                 TransferElement netHTTPObject, clsChannelManeger* ChannelManeger) {
    mChannelID = ChannelID;
    mProtocol = Protocol;
    mChannelName = DefaultChannelName;
    mChannelInfomationURL = ChannelInfomationURL;
    mSavePicture = IsSavePicture;
    mShowBox = ChannelShowBox;
    mHTTP = netHTTPObject;
    mChannelManeger = ChannelManeger;
    // Elements handed over made are tagged now, the others when made.
    if (PictureElement* box = mShowBox.IfMade()) box->Tag = ChannelID;
    if (HTTPTransfer* http = mHTTP.IfMade()) http->Tag = ChannelID;

    mViewed.reset();
    mState = ChannelState::Stopped;
    mViewFlag = 0;
    mStatus = 3;
    mWaitCount = -1;
    mSecondCount = 0;
    mPictureType = PictureKind::None;
    mRequestPictureType = PictureKind::None;
    mShowedStatus = 3;
    mBelongFavarite = false;
    mShowPictureOnlyOnBroadCast = false;
    return false;
}

void clsChannel::AddThumbnailShowBox(const QString& MultiMonitorID, PictureElement* ThumbnailShowbox,
                                     bool IsThumbnailBoxIsActive) {
    mThumbnails.push_back({ThumbnailShowbox, MultiMonitorID, IsThumbnailBoxIsActive});
    // A new box shows what the show box shows; otherwise a channel that is
    // not broadcasting would leave it blank until its status changes.
    if (ThumbnailShowbox) ThumbnailShowbox->setPicture(mPictureType == PictureKind::None ? QImage() : viewed().Decoded);
}

void clsChannel::RemoveThumbnailShowBox(const QString& MultiMonitorID) {
    for (ThumbnailSlot& slot : mThumbnails) {
        if (EqualsNoCase(slot.MultiMonitorID, MultiMonitorID)) {
            slot = ThumbnailSlot();
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
                if (slot > 0) mThumbnails[size_t(slot - 1)].IsActive = open;
            }
            break;
        }
        default:
            break;
    }
    MakeControlStatus();
    if (!stillExecuting()) NextRequest();
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
        ChannelInfomation& info = viewedForWrite().Info;
        if (DataType == DataTypeText && AnalyzeInfomationFile(TextData, info)) {
            mStatus = info.StatusFlag;
            if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelStatusRefresh(mChannelID);
            reportOutcome(ChannelOutcome::InfoRead);
            mWaitCount = info.ReloadTime;
        } else {
            reportOutcome(ChannelOutcome::Refused, DataType == DataTypeText
                                                       ? QStringLiteral("情報ファイルが正しくありません")
                                                       : QStringLiteral("情報ファイルではない応答です"));
            mState = ChannelState::Error;
        }
        NextRequest();
        return;
    }
    if (mState != ChannelState::PictureRequested) return;

    auto reject = [this](const QString& why) {
        reportOutcome(ChannelOutcome::Refused, why);
        mState = ChannelState::Error;
        mRequestPictureType = PictureKind::None;
        NextRequest();
    };
    if (DataType != DataTypeBytes) return reject(QStringLiteral("画像ではない応答です"));
    // The picture's record is taken only from a picture that is accepted and
    // decodes: a rejected one leaves stamp, comment and saving as they were.
    PictureInfomation record;
    const QString extension = AnalyzePicture(BinaryData, record);
    if (extension.isEmpty()) return reject(QStringLiteral("画像が正しくありません"));
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
    if (decoded.isNull()) return reject(QStringLiteral("画像が正しくありません"));
    reportOutcome(ChannelOutcome::PictureRead, QString(), BinaryData);
    Viewed& v = viewedForWrite();
    v.Picture = record;
    v.PictureExtension = extension;

    if (v.Picture.Status != 3) {
        mStatus = v.Picture.Status;
        if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelStatusRefresh(mChannelID);
    }
    mPictureType = mRequestPictureType;
    mRequestPictureType = PictureKind::None;

    const QString& cacheDir = Settings().ChachDirctory;
    const QString suffix = mPictureType == PictureKind::Full ? QString() : QStringLiteral("_thumbnail");
    v.PictureFile = cacheDir + fileNameIn(cacheDir, v.Info.ChannelID, suffix + v.PictureExtension);
    v.PictureBytes = BinaryData;
    v.Decoded = std::move(decoded);
    // A cache that cannot be written (disk full, folder gone) does not stop
    // the picture from being shown or saved: both use the bytes in memory.
    // An empty setting would name a file in the working directory: skip it.
    if (!cacheDir.isEmpty()) writePictureFile(v.PictureFile, /*saved=*/false);

    ShowPicture(LastModified);
    mWaitCount = v.Picture.ReloadTime != -1 ? v.Picture.ReloadTime : v.Info.ReloadTime;
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
    for (size_t i = 0; i < mThumbnails.size(); ++i) {
        const QString& id = mThumbnails[i].MultiMonitorID;
        if (!id.isEmpty() && EqualsNoCase(id, MultiMonitorID)) return int(i) + 1;
    }
    return 0;
}

void clsChannel::setThumbnailIsActive(const QString& MultiMonitorID, bool IsThumbnailBoxIsActive) {
    const int slot = getThumbnailShowBoxIndexFromMultiMonitorID(MultiMonitorID);
    if (slot > 0) mThumbnails[size_t(slot - 1)].IsActive = IsThumbnailBoxIsActive;
}

PictureElement* clsChannel::ThumbnailShowBox(int slot) const {
    return slot >= 1 && slot <= ThumbnailCount() ? mThumbnails[size_t(slot - 1)].ShowBox : nullptr;
}

QString clsChannel::ThumbnailMultiMonitorID(int slot) const {
    return slot >= 1 && slot <= ThumbnailCount() ? mThumbnails[size_t(slot - 1)].MultiMonitorID : QString();
}

bool clsChannel::ThumbnailIsActive(int slot) const {
    return slot >= 1 && slot <= ThumbnailCount() && mThumbnails[size_t(slot - 1)].IsActive;
}

QStringList clsChannel::InfomationString() const {
    const QString gap = QStringLiteral("\u3000");
    const QString spaces = QStringLiteral("   ");
    const QString state = ChannelStateText(mState, mViewFlag & kNormalView, mViewFlag & kThumbnailView);
    const Viewed& v = viewed();
    QString first = mChannelName;
    first += gap + StatusWord(mStatus) + gap + state + gap;
    first += QString::number(mSecondCount) + QLatin1Char('/') + QString::number(mWaitCount);
    first += spaces + v.Info.LastModified + spaces + v.Info.CommentforChannel;
    return {QString(), first, v.Picture.Stamp + spaces + v.Picture.Comment};
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
    const ChannelInfomation& info = viewed().Info;
    QString address = pictureType == PictureKind::Full ? info.URL : info.ThumbnailURL;
    if (address.isEmpty() && pictureType == PictureKind::Thumbnail) address = info.URL;
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
    if (HTTPTransfer* http = HTTP()) http->Execute(address, QStringLiteral("GET"));
}

const ProgramSettings& clsChannel::Settings() const {
    return mChannelManeger ? mChannelManeger->Settings() : fallbackSettings();
}

// ---------------------------------------------------------------------------
// Showing and saving.

void clsChannel::ShowPicture(const QString& LastModified, bool save) {
    const bool blank = mShowPictureOnlyOnBroadCast && mStatus != 0;
    const QImage picture = blank || viewed().PictureFile.isEmpty() ? QImage() : viewed().Decoded;
    if (blank) {
        mShowedStatus = 3;
        mPictureType = PictureKind::None;
    } else {
        mShowedStatus = mStatus;
    }
    if (PictureElement* box = ShowBox()) box->setPicture(picture);
    for (const ThumbnailSlot& slot : mThumbnails)
        if (!slot.MultiMonitorID.isEmpty() && slot.ShowBox) slot.ShowBox->setPicture(picture);
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_ShowBoxRefresh(mChannelID);
    if (!blank && save) SavePictureFile(LastModified);
}

void clsChannel::SavePictureFile(const QString& LastModified) {
    if (!mSavePicture || !mViewed || mViewed->PictureFile.isEmpty() || mViewed->PictureBytes.isEmpty()) return;
    Viewed& v = *mViewed;
    const ProgramSettings& settings = Settings();
    // An empty setting would put the folders into the working directory.
    if (settings.PictureSaveDirctory.isEmpty()) return;
    const QString channelDir =
        settings.PictureSaveDirctory + fileNameIn(settings.PictureSaveDirctory, mChannelID) + QLatin1Char('/');
    QDir().mkpath(settings.PictureSaveDirctory);
    QDir().mkpath(channelDir);

    QString name;
    if (!v.Picture.Stamp.isEmpty()) {
        if (EqualsNoCase(v.Picture.Stamp, v.LastSaveStamp)) return;
        v.LastSaveStamp = v.Picture.Stamp;
        name = v.Picture.Stamp;
        name.remove(QLatin1Char('/'));
        name.remove(QLatin1Char(':'));
        name.replace(QLatin1Char(' '), QLatin1Char('_'));
    } else {
        const QDateTime now = settings.Now();
        if (!LastModified.isEmpty()) {
            if (EqualsNoCase(LastModified, v.LastSaveStamp)) return;
            v.LastSaveStamp = LastModified;
        } else {
            v.LastSaveStamp = now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        }
        name = now.toString(QStringLiteral("yyyyMMdd_HHmmss"));
    }
    const QString target = channelDir + fileNameIn(channelDir, name, v.PictureExtension);
    // A saved picture is never replaced.
    if (QFileInfo::exists(target)) return;
    if (writePictureFile(target, /*saved=*/true)) reportOutcome(ChannelOutcome::Saved);
}

QString clsChannel::fileNameIn(const QString& directory, const QString& name, const QString& suffix) {
    const QString key = directory + QChar(u'\1') + name + QChar(u'\1') + suffix;
    auto it = mFileNames.constFind(key);
    if (it == mFileNames.constEnd()) it = mFileNames.insert(key, FileNameIn(directory, name, suffix));
    return *it;
}

bool clsChannel::writePictureFile(const QString& path, bool saved) {
    QString error;
    const QByteArray& bytes = viewed().PictureBytes;
    if (saved ? WriteNewFile(path, bytes, &error) : WriteFileAtomically(path, bytes, /*durable=*/false, &error))
        return true;
    // A warning once per channel and run: a full disk must not add a line
    // to stderr for every picture of every channel.
    if (mWriteFailureLogged)
        qCDebug(lcFiles).noquote() << "picture not written to" << path << "-" << error;
    else
        qCWarning(lcFiles).noquote() << "picture not written to" << path << "-" << error
                                     << "(further failures of this channel are debug lines)";
    mWriteFailureLogged = true;
    return false;
}

void clsChannel::reportOutcome(ChannelOutcome::Kind what, const QString& text, const QByteArray& picture) {
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_RequestOutcome(mChannelID, {what, text, picture, 0});
}

// ---------------------------------------------------------------------------
// Reports to the window.

void clsChannel::MakeInfomationString() {
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelInfomationRefresh(mChannelID, InfomationString());
}

void clsChannel::MakeControlStatus() {
    int flag = 0;
    if (mViewFlag & kNormalView) flag |= clsChannelManeger::ControlNormalView;
    if (mViewFlag & kThumbnailView) flag |= clsChannelManeger::ControlThumbnailView;
    if (mSavePicture) flag |= clsChannelManeger::ControlSavePicture;
    if (mBelongFavarite) flag |= clsChannelManeger::ControlBelongFavarite;
    QStringList belong{QString()};
    for (const ThumbnailSlot& slot : mThumbnails)
        if (!slot.MultiMonitorID.isEmpty()) belong << slot.MultiMonitorID;
    if (mChannelManeger) mChannelManeger->RaiseEventRequest_ChannelControlRefres(mChannelID, flag, belong);
}
