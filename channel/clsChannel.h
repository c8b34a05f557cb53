#pragma once
// One channel: its identity from the channel list, the fields of its
// information file and picture, its fetch cycle (ChannelState) and the
// views that show it. It drives its own transfer object and reaches the
// window only through its manager's RaiseEventRequest_ methods.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include "channel/ChannelInfomation.h"
#include "channel/ChannelState.h"

class HTTPTransfer;
class PictureElement;
class clsChannelManeger;
struct ProgramSettings;

class clsChannel {
public:
    enum ViewControlCode { NormalViewOpen = 2, NormalViewClose = 3, ThumbnailViewOpen = 4, ThumbnailViewClose = 5 };

    clsChannel() = default;
    clsChannel(const clsChannel&) = delete;
    clsChannel& operator=(const clsChannel&) = delete;

    // Public members, in their classic order.
    QString ChannelName() const { return mChannelName; }
    QString ChannelNumber() const { return mInfo.ChannelNumber; }
    QString ChannelID() const { return mChannelID; }
    // Protocol, ChannelID, ChannelName, ChannelInfomationURL, SavePicture,
    // each pair separated by two tabs: the fields of a Channel record.
    QString SaveString() const;
    PictureElement* ShowBox() const { return mShowBox; }
    PictureKind PictureType() const { return mPictureType; }

    bool SavePicture() const { return mSavePicture; }
    void setSavePicture(bool IsSavePicture);

    bool BelongFavarite() const { return mBelongFavarite; }
    void setBelongFavarite(bool IsBelongFavarite);

    void setShowPictureOnlyOnBroadCast(bool NewValue);
    bool ShowPictureOnlyOnBroadCast() const { return mShowPictureOnlyOnBroadCast; }

    bool IsAvailOtherActiveThumbnail(const QString& MultiMonitorID) const;
    bool IsOnBroadcast() const { return mStatus == 0; }

    bool ClassInitialize(const QString& ChannelID, const QString& Protocol, const QString& DefaultChannelName,
                         const QString& ChannelInfomationURL, bool IsSavePicture, PictureElement* ChannelShowBox,
                         HTTPTransfer* netHTTPObject, clsChannelManeger* ChannelManeger);

    void AddThumbnailShowBox(const QString& MultiMonitorID, PictureElement* ThumbnailShowbox,
                             bool IsThumbnailBoxIsActive);
    void RemoveThumbnailShowBox(const QString& MultiMonitorID);

    void Request_ChannelInfomationRefresh();
    void Request_ChannelControlRefresh();

    void ViewControl(int ViewControl, const QString& MultiMonitorID);
    void CauseOneSecEvent();
    // DataType 1 text, 2 bytes; LastModified is the response's header for bytes.
    void DataArrival(int DataType, const QString& TextData, const QByteArray& BinaryData, const QString& LastModified);
    void HTTPError(int ErrorCode, const QString& ErrorInfo);
    void HTTPInCorrectRespons(const QString& HTTPRespons);

    int getThumbnailShowBoxIndexFromMultiMonitorID(const QString& MultiMonitorID) const;
    // Marks a folder's box shown or not without switching thumbnail viewing
    // (a folder closing while another open folder still shows the channel).
    void setThumbnailIsActive(const QString& MultiMonitorID, bool IsThumbnailBoxIsActive);

    // Read-only views of the inner state, for the window and for tests.
    HTTPTransfer* HTTP() const { return mHTTP; }
    ChannelState State() const { return mState; }
    int Status() const { return mStatus; }
    int ViewFlag() const { return mViewFlag; }
    int WaitCount() const { return mWaitCount; }
    int SecondCount() const { return mSecondCount; }
    int ShowedStatus() const { return mShowedStatus; }
    PictureKind RequestPictureType() const { return mRequestPictureType; }
    QString PictureFile() const { return mPictureFile; }
    QString LastSaveStamp() const { return mLastSaveStamp; }
    QString ChannelInfomationURL() const { return mChannelInfomationURL; }
    QString Protocol() const { return mProtocol; }
    const ChannelInfomation& Infomation() const { return mInfo; }
    const PictureInfomation& PictureInfo() const { return mPicture; }
    const QImage& DecodedPicture() const { return mDecoded; }
    int ThumbnailCount() const { return int(mThumbnailShowBox.size()) - 1; }
    PictureElement* ThumbnailShowBox(int slot) const;
    QString ThumbnailMultiMonitorID(int slot) const;
    bool ThumbnailIsActive(int slot) const;
    // The text lines the information labels show (element 0 empty).
    QStringList InfomationString() const;

private:
    void NextRequest();
    void RequestInfomation();
    void RequestPicture();
    void RequestPictureOf(PictureKind pictureType, bool informationJustRead);
    void Wait();
    // save is false when only the display switch changed: a redraw is not a
    // new picture.
    void ShowPicture(const QString& LastModified, bool save = true);
    void SavePictureFile(const QString& LastModified);
    // Writes the picture's bytes to path (a saved picture is made once and
    // never replaced); a failure is logged, not shown.
    void writePictureFile(const QString& path, bool saved);
    // The file or folder name of an ID inside directory (FileNameIn), asked
    // of the file system once per run.
    QString fileNameIn(const QString& directory, const QString& name, const QString& suffix = QString());
    void MakeInfomationString();
    void MakeControlStatus();
    void Execute(const QString& address);
    const ProgramSettings& Settings() const;

    // Identity.
    QString mChannelID;
    QString mProtocol;
    QString mChannelName;
    QString mChannelInfomationURL;
    bool mSavePicture = false;
    PictureElement* mShowBox = nullptr;
    HTTPTransfer* mHTTP = nullptr;
    clsChannelManeger* mChannelManeger = nullptr;

    ChannelInfomation mInfo;
    PictureInfomation mPicture;

    ChannelState mState = ChannelState::Stopped;
    int mViewFlag = 0;
    int mStatus = 3;
    int mWaitCount = -1;
    int mSecondCount = 0;
    PictureKind mPictureType = PictureKind::None;
    PictureKind mRequestPictureType = PictureKind::None;
    int mShowedStatus = 3;
    QString mPictureFile;
    QString mPictureExtension;
    QString mLastSaveStamp;
    bool mBelongFavarite = false;
    bool mShowPictureOnlyOnBroadCast = false;
    bool mWriteFailureLogged = false;
    bool mDamageLogged = false;
    QHash<QString, QString> mFileNames;  // fileNameIn's answers
    QByteArray mPictureBytes;            // the bytes of the cached picture
    QImage mDecoded;                     // decoded once, shared by every box

    // Thumbnail slots 1..n (element 0 unused); a removed view blanks its slot.
    QList<PictureElement*> mThumbnailShowBox{nullptr};
    QStringList mThumbnailMultiMonitorID{QString()};
    QList<bool> mIsThumbnailBoxIsActive{false};
};
