#pragma once
// Owns every channel (in creation order), finds one by ChannelID without
// regard to case in constant time, remembers the selected channel, passes the
// tick and the only-on-broadcast switch on, and raises the six events through
// which channels reach the window. Events are synchronous signals.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

#include "channel/ChannelOutcome.h"
#include "channel/LazyElement.h"

class clsChannel;
struct ProgramSettings;

class clsChannelManeger : public QObject {
    Q_OBJECT
public:
    // The bits of ChannelControlRefresh's ControlStatusFlag: the channel's
    // views, its saving and its favourite mark, as the toolbar shows them.
    enum ControlStatusBit : int {
        ControlNormalView = 1,
        ControlThumbnailView = 2,
        ControlSavePicture = 4,
        ControlBelongFavarite = 8,
    };

    clsChannelManeger(ProgramSettings& settings, HTTPTransferArray& http, QObject* parent = nullptr);
    ~clsChannelManeger() override;

    QString SelectedChannelID() const { return mSelectedChannelID; }
    void setSelectedChannelID(const QString& NewID);

    void setShowPictureOnlyOnBroadCast(bool NewValue);

    // Creates a channel from the pieces of a Channel record (piece 0 the
    // record type, then Protocol, ChannelID, DefaultChannelName,
    // ChannelInfomationURL, IsSavePicture). False, with nothing changed,
    // when the ChannelID exists already or the record is too short. The
    // channel's transfer element is reserved now and made at its first
    // request; its show box may be a reserved element too.
    bool ChannelInitialize(ShowBoxElement ChannelShowBox, const QStringList& PropertyString);

    // Room for about count more channels, so a long list is read without
    // growing the tables again and again.
    void MakeRoomFor(int count);

    void CauseOneSecEvent();
    void DeleteMultiMonitor(const QString& MultiMonitorID);

    // The channel, or nullptr.
    clsChannel* Channel(const QString& ChannelID) const;

    int ChannelCount() const { return int(mChannels.size()) - 1; }
    clsChannel* ChannelAt(int index) const;  // 1..ChannelCount()

    ProgramSettings& Settings() const { return mSettings; }
    HTTPTransferArray& HTTP() const { return mHTTP; }

    void RaiseEventRequest_ShowBoxRefresh(const QString& ChannelID);
    void RaiseEventRequest_ChannelInfomationRefresh(const QString& ChannelID, const QStringList& InfomationString);
    void RaiseEventRequest_ChannelControlRefres(const QString& ChannelID, int ControlStatusFlag,
                                                const QStringList& BelongMultiMonitorID);
    void RaiseEventRequest_AddChannelToFavarite(const QString& ChannelID);
    void RaiseEventRequest_RemoveChannelFromFavarite(const QString& ChannelID);
    void RaiseEventRequest_ChannelStatusRefresh(const QString& ChannelID);
    // Not one of the six: what a request came to, for watchers beside the cycle.
    void RaiseEventRequest_RequestOutcome(const QString& ChannelID, const ChannelOutcome& Outcome);

signals:
    void ChannelInfomationRefresh(const QString& ChannelID, const QStringList& InfomationString);
    void ChannelControlRefresh(const QString& ChannelID, int ControlStatusFlag,
                               const QStringList& BelongMultiMonitorID);
    void ShowBoxRefresh(const QString& ChannelID);
    void AddChannelToFavarite(const QString& ChannelID);
    void RemoveChannelFromFavarite(const QString& ChannelID);
    void ChannelStatusRefresh(const QString& ChannelID);
    void RequestOutcome(const QString& ChannelID, const ChannelOutcome& Outcome);

private:
    int getChannelIndexFromChannelID(const QString& ChannelID) const;

    ProgramSettings& mSettings;
    HTTPTransferArray& mHTTP;
    std::vector<std::unique_ptr<clsChannel>> mChannels;  // element 0 stays empty
    QHash<QString, int> mIndexByKey;                     // CaseKey(ChannelID) -> index
    mutable int mLastFound = 0;                          // the index Channel() found last
    QSet<QString> mProtocols;                            // the protocol signatures the channels share
    QString mSelectedChannelID;
};
