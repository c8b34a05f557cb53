#pragma once
// One multi-monitor folder: identifier, name, members (slots from 1, a freed
// slot is kept and never reused), each member's thumbnail box, the selected
// member, and the rule of which members are shown.

#include <QList>
#include <QString>
#include <QStringList>

class PictureElement;
class clsChannelManeger;
class clsMultiMonitorManeger;

class clsMultiMonitorFolder {
public:
    // MultMonitorControl's ControlType: the folder has come on screen (a tab or
    // window opened) or is no longer shown; its members' thumbnail viewing follows.
    enum MultMonitorControlType : int { FolderShown = 1, FolderHidden = 2 };

    clsMultiMonitorFolder() = default;
    clsMultiMonitorFolder(const clsMultiMonitorFolder&) = delete;
    clsMultiMonitorFolder& operator=(const clsMultiMonitorFolder&) = delete;

    QString MultiMonitorID() const { return mMultiMonitorID; }
    QString FolderName() const { return mFolderName; }
    void setFolderName(const QString& NewName);

    QString SelectedChannelID() const { return mSelectedChannelID; }
    void setSelectedChannelID(const QString& NewID) { mSelectedChannelID = NewID; }

    // Slot 0 empty, then the boxes of the members that may be shown now.
    QList<PictureElement*> ShowBox() const;

    void setShowChannelOnlyOnBroadcast(bool NewValue);
    bool ShowChannelOnlyOnBroadcast() const { return mShowChannelOnlyOnBroadcast; }
    void SelectedChannelIDRefresh();
    // Exact comparison: another letter case is another member.
    bool IsRegistedChannel(const QString& ChannelID) const;

    void MultiMonitorFolderInitialize(const QString& MultiMonitorID, const QString& FolderName,
                                      clsChannelManeger* ChannelManeger, clsMultiMonitorManeger* MultiMonitrManeger);
    // Unknown channels are refused without changing any slot.
    void AddChannel(const QString& ChannelID, PictureElement* ShowBox, bool IsShowBoxIsActive);
    // A ChannelID that is not a member changes nothing.
    void RemoveChannel(const QString& ChannelID);
    // ControlType a MultMonitorControlType; other values change nothing.
    void MultMonitorControl(int ControlType, bool IsAthoerCheak);

    // The members' ChannelIDs in slot order, free slots left out.
    QStringList Members() const;
    int ChannelCount() const { return mChannelCount; }  // highest slot used

private:
    QString getFirstShowableChannelID() const;
    int getChannelIndexFromChannelID(const QString& ChannelID) const;
    bool isShowable(const QString& ChannelID) const;

    clsChannelManeger* mChannelManeger = nullptr;
    clsMultiMonitorManeger* mMultiMonitrManeger = nullptr;
    QString mMultiMonitorID;
    QString mFolderName;
    QString mSelectedChannelID;
    bool mShowChannelOnlyOnBroadcast = false;
    QList<PictureElement*> mShowBox{nullptr};
    QStringList mChannelID{QString()};
    int mChannelCount = 0;
};
