#include "DemoCatalog.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

struct City {
    const char* id;
    const char16_t* name;
};
const City kCities[] = {
    {"tokyo", u"東京"},   {"osaka", u"大阪"}, {"nagoya", u"名古屋"}, {"sapporo", u"札幌"},
    {"fukuoka", u"福岡"}, {"kyoto", u"京都"}, {"sendai", u"仙台"},   {"hiroshima", u"広島"},
};
const char16_t* const kPlaces[] = {u"駅前",   u"港",   u"中央公園", u"交差点", u"展望台", u"商店街",
                                   u"川沿い", u"空港", u"城址",     u"海岸",   u"大橋",   u"市場"};
const char16_t* const kComments[] = {
    u"定点観測中", u"晴れ時々くもり～", u"夜間は照明あり", u"混雑状況をお届けします", u"テスト配信、画質調整中",
    u"定時更新"};

// Channels go to the cities in blocks, so every group holds a run of
// consecutive channels and small demos still get a few groups.
int cityCount(int channels) { return std::clamp((channels + 3) / 4, 1, int(std::size(kCities))); }

}  // namespace

namespace Demo {

QList<DemoChannel> MakeCatalog(const DemoOptions& options) {
    const int n = options.Channels;
    const int cities = cityCount(n);
    const int perCity = (n + cities - 1) / cities;
    std::mt19937 random(options.Seed);

    QList<DemoChannel> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        DemoChannel c;
        c.Index = i;
        const City& city = kCities[i / perCity];
        const int inCity = i % perCity + 1;
        c.Group = QString::fromLatin1(city.id);
        c.ChannelID = QStringLiteral("demo.%1.cam%2").arg(c.Group).arg(inCity, 2, 10, QLatin1Char('0'));
        const auto place = QString::fromUtf16(kPlaces[random() % std::size(kPlaces)]);
        c.ChannelName = QStringLiteral("%1 %2カメラ %3")
                            .arg(QString::fromUtf16(city.name), place)
                            .arg(inCity, 2, 10, QLatin1Char('0'));
        c.ChannelNumber = QString::number(i + 1);
        c.Comment = QString::fromUtf16(kComments[random() % std::size(kComments)]);
        // Golden-ratio hue steps keep neighbouring channels apart in colour.
        const double hue = std::fmod(0.13 + i * 0.618033988749895, 1.0);
        c.Colour = QColor::fromHsvF(float(hue), 0.55f, 0.80f);
        c.PhaseSeconds = options.StatusCycleSeconds > 0 ? int(random() % unsigned(options.StatusCycleSeconds)) : 0;
        out.append(c);
    }

    // Faults: a shuffled order of the channels, cut into runs of the asked
    // sizes. Same seed, same channels.
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    const std::pair<double, DemoFault> shares[] = {{options.NotFoundShare, DemoFault::NotFound},
                                                   {options.SlowShare, DemoFault::Slow},
                                                   {options.BrokenShare, DemoFault::BrokenJpeg}};
    size_t next = 0;
    for (const auto& [share, fault] : shares) {
        const size_t count = std::min(size_t(std::llround(share * n)), order.size() - next);
        for (size_t k = 0; k < count; ++k) out[order[next++]].Fault = fault;
    }
    return out;
}

QString InfoPath(const DemoChannel& channel) { return QStringLiteral("/ch/%1/info.txt").arg(channel.ChannelID); }
QString PicturePath(const DemoChannel& channel) { return QStringLiteral("/ch/%1/picture.jpg").arg(channel.ChannelID); }
QString ThumbnailPath(const DemoChannel& channel) {
    return QStringLiteral("/ch/%1/thumbnail.jpg").arg(channel.ChannelID);
}
QString BaseUrl(const QString& host, int port) { return QStringLiteral("http://%1:%2").arg(host).arg(port); }

namespace {
qint64 positionInCycle(const DemoChannel& c, int cycle, qint64 t) {
    const qint64 p = (t + c.PhaseSeconds) % cycle;
    return p < 0 ? p + cycle : p;
}
}  // namespace

int StatusAt(const DemoChannel& channel, int cycleSeconds, qint64 t) {
    if (cycleSeconds <= 0) return 0;
    const qint64 p = positionInCycle(channel, cycleSeconds, t);
    if (p * 100 < qint64(cycleSeconds) * 60) return 0;
    if (p * 100 < qint64(cycleSeconds) * 85) return 1;
    return 2;
}

qint64 BroadcastStartAt(const DemoChannel& channel, int cycleSeconds, qint64 t) {
    if (cycleSeconds <= 0) return t - t % 86400;  // on air since midnight UTC
    return t - positionInCycle(channel, cycleSeconds, t);
}

QString ChannelListText(const QList<DemoChannel>& channels, const QString& baseUrl) {
    QString text;
    for (const DemoChannel& c : channels)
        text += QStringLiteral("%1,%2,%3%4\r\n").arg(c.ChannelID, ProtocolSignature, baseUrl, InfoPath(c));
    return text;
}

QString StampText(qint64 t) { return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

QString HttpDate(qint64 t) {
    return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(t, QTimeZone::utc()),
                                 QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
}

}  // namespace Demo
