#pragma once
// The opt-in watch of favourites that no view shows: only their information
// file is fetched, each at most once per max(its ReloadTime, 60 s), on a
// transfer of the watch's own (the channel's is its fetch cycle's), so that
// a favourite going on air can be announced. Pictures are never fetched.

#include <QObject>
#include <QString>

#include <memory>
#include <unordered_map>

class ChannelWatch;
class CurlMulti;
class HTTPTransfer;
class clsChannelManeger;

class FavoriteWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinimumSeconds = 60;

    FavoriteWatch(clsChannelManeger& channels, ChannelWatch& watch, CurlMulti& multi, QObject* parent = nullptr);
    ~FavoriteWatch() override;

    void setEnabled(bool enabled);
    bool Enabled() const { return mEnabled; }
    // Once a tick: requests the information files that are due.
    void Tick();
    // Requests not yet answered.
    int InFlight() const;

private:
    struct Entry {
        std::unique_ptr<HTTPTransfer> http;
        qint64 lastRequestAt = -1;
        int intervalSeconds = kMinimumSeconds;
    };
    void request(const QString& ChannelID, const QString& address, Entry& e);
    void completed(const QString& ChannelID, int state);

    clsChannelManeger& mChannels;
    ChannelWatch& mWatch;
    CurlMulti& mMulti;
    bool mEnabled = false;
    std::unordered_map<QString, Entry> mEntries;  // by CaseKey
};
