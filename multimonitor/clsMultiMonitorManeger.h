#pragma once
// Owns every folder, issues identifiers "1", "2", ... (never reused in a run)
// and announces every change through six synchronous events.

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class clsChannelManeger;
class clsMultiMonitorFolder;

class clsMultiMonitorManeger : public QObject {
    Q_OBJECT
public:
    explicit clsMultiMonitorManeger(QObject* parent = nullptr);
    ~clsMultiMonitorManeger() override;

    void setShowChannelOnlyOnBroadcast(bool NewValue);
    void ClassInitialize(clsChannelManeger* ChannelManeger);

    // The folder of an identifier; nullptr for a removed folder or for a text
    // that names no slot.
    clsMultiMonitorFolder* MultiMonitor(const QString& MultiMonitorID) const;

    void AddMultiMonitorFolder(const QString& FolderName, bool IsExpand);
    void RemoveMultiMonitorFolder(const QString& MultiMonitorID);

    void RaiseEventRequest_AddChannelToMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID);
    void RaiseEventRequest_RemoveChannelFromMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID);
    void RaiseEventRequest_ChangeMultiMonitorFolderName(const QString& MultiMonitorID, const QString& NewFolderName);
    void RaiseEventRequest_ThumbnailRefresh(const QString& MultiMonitorID);

    int MultiMonitorCount() const { return int(mMultiMonitorFolder.size()) - 1; }  // highest slot used
    clsChannelManeger* ChannelManeger() const { return mChannelManeger; }

signals:
    // The first two events share their names with the operations that raise
    // them; C++ cannot tell a method from a signal of the same signature, so
    // these two carry the suffix Event.
    void AddMultiMonitorFolderEvent(const QString& MultiMonitorID, const QString& FolderName, bool IsExpand);
    void RemoveMultiMonitorFolderEvent(const QString& MultiMonitorID);
    void AddChannelToMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID);
    void RemoveChannelFromMultiMonitor(const QString& MultiMonitorID, const QString& ChannelID);
    void ChangeMultiMonitorFolderName(const QString& MultiMonitorID, const QString& NewFolderName);
    void ThumbnailBoxRefresh(const QString& MultiMonitorID);

private:
    clsChannelManeger* mChannelManeger = nullptr;
    std::vector<std::unique_ptr<clsMultiMonitorFolder>> mMultiMonitorFolder;  // slot 0 empty
};
