#pragma once
// One channel: its identity from the channel list, the fields of its
// information file and picture, its fetch cycle (ChannelState) and the
// views that show it. It drives its own transfer object and reaches the
// window only through its manager's RaiseEventRequest_ methods.
//
// A list may hold 100 000 channels of which a handful are ever viewed, so
// what only a viewed channel needs is made when it is first needed: the
// transfer object at the first request, the show box at the first picture,
// the information and picture fields with their cache file names at the
// first answer. Until then each reads as its initial value.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "channel/ChannelInfomation.h"
#include "channel/ChannelOutcome.h"
#include "channel/ChannelState.h"
#include "channel/LazyElement.h"

class clsChannelManeger;
struct ProgramSettings;

class clsChannel {
public:
    enum ViewControlCode { NormalViewOpen = 2, NormalViewClose = 3, ThumbnailViewOpen = 4, ThumbnailViewClose = 5 };
    // DataArrival's DataType: what the answer's content type said the body is.
    enum DataArrivalType : int { DataTypeText = 1, DataTypeBytes = 2 };

    clsChannel() = default;
    clsChannel(const clsChannel&) = delete;
    clsChannel& operator=(const clsChannel&) = delete;

    // Public members, in their classic order.
    QString ChannelName() const { return mChannelName; }
    QString ChannelNumber() const { return viewed().Info.ChannelNumber; }
    QString ChannelID() const { return mChannelID; }
    // Protocol, ChannelID, ChannelName, ChannelInfomationURL, SavePicture,
    // each pair separated by two tabs: the fields of a Channel record.
    QString SaveString() const;
    // Made when first asked for.
    PictureElement* ShowBox() const;
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
                         const QString& ChannelInfomationURL, bool IsSavePicture, ShowBoxElement ChannelShowBox,
                         TransferElement netHTTPObject, clsChannelManeger* ChannelManeger);

    void AddThumbnailShowBox(const QString& MultiMonitorID, PictureElement* ThumbnailShowbox,
                             bool IsThumbnailBoxIsActive);
    void RemoveThumbnailShowBox(const QString& MultiMonitorID);

    void Request_ChannelInfomationRefresh();
    void Request_ChannelControlRefresh();

    void ViewControl(int ViewControl, const QString& MultiMonitorID);
    void CauseOneSecEvent();
    // DataType a DataArrivalType; LastModified is the response's header for bytes.
    void DataArrival(int DataType, const QString& TextData, const QByteArray& BinaryData, const QString& LastModified);
    void HTTPError(int ErrorCode, const QString& ErrorInfo);
    void HTTPInCorrectRespons(const QString& HTTPRespons);

    int getThumbnailShowBoxIndexFromMultiMonitorID(const QString& MultiMonitorID) const;
    // Marks a folder's box shown or not without switching thumbnail viewing
    // (a folder closing while another open folder still shows the channel).
    void setThumbnailIsActive(const QString& MultiMonitorID, bool IsThumbnailBoxIsActive);

    // Read-only views of the inner state, for the window and for tests.
    // The transfer object, made when first asked for.
    HTTPTransfer* HTTP() const;
    // Whether the show box and the transfer object have been made.
    bool ShowBoxMade() const { return mShowBox.IfMade() != nullptr; }
    bool HTTPMade() const { return mHTTP.IfMade() != nullptr; }
    ChannelState State() const { return mState; }
    int Status() const { return mStatus; }
    int ViewFlag() const { return mViewFlag; }
    int WaitCount() const { return mWaitCount; }
    int SecondCount() const { return mSecondCount; }
    int ShowedStatus() const { return mShowedStatus; }
    PictureKind RequestPictureType() const { return mRequestPictureType; }
    QString PictureFile() const { return viewed().PictureFile; }
    QString LastSaveStamp() const { return viewed().LastSaveStamp; }
    QString ChannelInfomationURL() const { return mChannelInfomationURL; }
    QString Protocol() const { return mProtocol; }
    const ChannelInfomation& Infomation() const { return viewed().Info; }
    const PictureInfomation& PictureInfo() const { return viewed().Picture; }
    const QImage& DecodedPicture() const { return viewed().Decoded; }
    int ThumbnailCount() const { return int(mThumbnails.size()); }
    PictureElement* ThumbnailShowBox(int slot) const;
    QString ThumbnailMultiMonitorID(int slot) const;
    bool ThumbnailIsActive(int slot) const;
    // The text lines the information labels show (element 0 empty).
    QStringList InfomationString() const;

private:
    // What only a channel that has been viewed holds.
    struct Viewed {
        ChannelInfomation Info;
        PictureInfomation Picture;
        QString PictureFile;
        QString PictureExtension;
        QString LastSaveStamp;
        QByteArray PictureBytes;  // the bytes of the cached picture
        QImage Decoded;           // decoded once, shared by every box
    };
    // A thumbnail view: a removed one keeps its slot, blank.
    struct ThumbnailSlot {
        PictureElement* ShowBox = nullptr;
        QString MultiMonitorID;
        bool IsActive = false;
    };

    // The made part, or the initial values while there is none.
    const Viewed& viewed() const;
    Viewed& viewedForWrite();
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
    bool writePictureFile(const QString& path, bool saved);
    // The file or folder name of an ID inside directory (FileNameIn), asked
    // of the file system once per run.
    QString fileNameIn(const QString& directory, const QString& name, const QString& suffix = QString());
    // Tells the manager's watchers what a request came to.
    void reportOutcome(ChannelOutcome::Kind what, const QString& text = QString(),
                       const QByteArray& picture = QByteArray());
    void MakeInfomationString();
    void MakeControlStatus();
    void Execute(const QString& address);
    bool stillExecuting() const;
    const ProgramSettings& Settings() const;

    // Identity.
    QString mChannelID;
    QString mProtocol;
    QString mChannelName;
    QString mChannelInfomationURL;
    ShowBoxElement mShowBox;
    TransferElement mHTTP;
    clsChannelManeger* mChannelManeger = nullptr;
    std::unique_ptr<Viewed> mViewed;

    ChannelState mState = ChannelState::Stopped;
    int mViewFlag = 0;
    int mStatus = 3;
    int mWaitCount = -1;
    int mSecondCount = 0;
    PictureKind mPictureType = PictureKind::None;
    PictureKind mRequestPictureType = PictureKind::None;
    int mShowedStatus = 3;
    bool mSavePicture = false;
    bool mBelongFavarite = false;
    bool mShowPictureOnlyOnBroadCast = false;
    bool mWriteFailureLogged = false;
    bool mDamageLogged = false;
    QHash<QString, QString> mFileNames;  // fileNameIn's answers

    // Thumbnail slots 1..n are elements 0..n-1.
    std::vector<ThumbnailSlot> mThumbnails;
};
