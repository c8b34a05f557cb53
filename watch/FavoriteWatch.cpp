#include "watch/FavoriteWatch.h"

#include "channel/ChannelInfomation.h"
#include "channel/HTTPTransfer.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "watch/ChannelWatch.h"

#include <algorithm>

FavoriteWatch::FavoriteWatch(clsChannelManeger& channels, ChannelWatch& watch, CurlMulti& multi, QObject* parent)
    : QObject(parent), mChannels(channels), mWatch(watch), mMulti(multi) {}

FavoriteWatch::~FavoriteWatch() = default;

void FavoriteWatch::setEnabled(bool enabled) { mEnabled = enabled; }

void FavoriteWatch::Tick() {
    if (!mEnabled) return;
    const qint64 now = mWatch.NowMs();
    for (const QString& id : mWatch.Tracked()) {
        const clsChannel* channel = mChannels.Channel(id);
        // A shown favourite reads its own information file.
        if (!channel || !channel->BelongFavarite() || channel->ViewFlag() != 0) continue;
        Entry& e = mEntries[CaseKey(id)];
        if (e.http && e.http->StillExecuting()) continue;
        if (e.lastRequestAt >= 0 && now - e.lastRequestAt < qint64(e.intervalSeconds) * 1000) continue;
        e.lastRequestAt = now;
        request(channel->ChannelID(), channel->ChannelInfomationURL(), e);
    }
}

int FavoriteWatch::InFlight() const {
    int n = 0;
    for (const auto& [key, e] : mEntries) n += e.http && e.http->StillExecuting();
    return n;
}

void FavoriteWatch::request(const QString& ChannelID, const QString& address, Entry& e) {
    const ProgramSettings& settings = mChannels.Settings();
    if (!e.http) {
        e.http = std::make_unique<HTTPTransfer>(0, &mMulti);
        e.http->Tag = ChannelID;
        connect(e.http.get(), &HTTPTransfer::StateChanged, this,
                [this, ChannelID](int, int state) { completed(ChannelID, state); });
    }
    // The settings in force now, as the channels' own transfers have them.
    e.http->RequestTimeout = settings.Timeout;
    const bool named = settings.ProxyEnable && !settings.Proxy.isEmpty();
    e.http->Proxy = named ? settings.Proxy : QString();
    e.http->AccessType = named ? HTTPTransfer::AccessNamedProxy : HTTPTransfer::AccessDefault;
    e.http->Execute(address);
}

void FavoriteWatch::completed(const QString& ChannelID, int state) {
    const auto it = mEntries.find(CaseKey(ChannelID));
    const clsChannel* channel = mChannels.Channel(ChannelID);
    if (it == mEntries.end() || !it->second.http || !channel) return;
    // A view opened meanwhile: the channel's own reading counts.
    if (channel->ViewFlag() != 0) return;
    Entry& e = it->second;
    const HTTPTransfer& http = *e.http;
    if (state == HTTPTransfer::StateError) return mWatch.WatchedFailed(ChannelID, http.ResponseInfo());
    const QString statusLine = http.StatusLine();
    if (!statusLine.contains(QStringLiteral("200"))) return mWatch.WatchedFailed(ChannelID, statusLine);
    ChannelInfomation info;
    if (!http.GetHeader(QStringLiteral("Content-type")).contains(QStringLiteral("text"), Qt::CaseInsensitive) ||
        !AnalyzeInfomationFile(http.BodyText(), info))
        return mWatch.WatchedFailed(ChannelID, QStringLiteral("情報ファイルが正しくありません"));
    e.intervalSeconds = std::max(info.ReloadTime, kMinimumSeconds);
    mWatch.WatchedInfoRead(ChannelID, info.StatusFlag, info.ChannelName, info.CommentforChannel);
}
