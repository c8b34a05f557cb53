// Half a minute of channels that each misbehave in their own way: every one
// keeps cycling through its failure back to 待機中, memory stays bounded, and
// no file appears outside the cache and save folders.
#include "ChannelRig.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <unistd.h>
#include <algorithm>
#include <set>

namespace {

using Steps = std::vector<RawHttpServer::Step>;
const auto send = &RawHttpServer::send;
const auto repeat = &RawHttpServer::repeat;
const auto ok = &RawHttpServer::ok;

// GCC says ASan with __SANITIZE_ADDRESS__, clang 14 only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define VANTORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTORA_ASAN 1
#endif
#endif
#ifdef VANTORA_ASAN
constexpr qint64 kSlackMb = 1024;  // shadow memory and the free quarantine
#else
constexpr qint64 kSlackMb = 0;
#endif

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE)
                                           : -1;
}

// Hostile ChannelIDs; the others are named after their folder on the server.
const std::map<QString, QString> kHostileIDs = {{"idup", "../../x"}, {"idabs", "/tmp/x"}, {"iddotdot", ".."}};
QString idOf(const QString& name) { return kHostileIDs.count(name) ? kHostileIDs.at(name) : name; }

Steps answer(const QString& name, bool isInfo, const QString& pictureUrl) {
    const QByteArray jpeg = JpegFactory::make(32, 24), chunk(64 * 1024, 'x');
    const qint64 huge = 200LL * 1024 * 1024 / chunk.size();  // 200 MB
    const QString comment = name == "hugecomment" ? QString(1024 * 1024, QChar(u'あ')) : QStringLiteral("c");
    const QByteArray info = Cp932::encode(
        QStringLiteral("ProtocolSignature=VTR1\r\nChannelID=%1\r\nURL=%2\r\nThumbnailURL=%2\r\nReloadTime=1\r\n"
                       "StatusFlag=0\r\nCommentforChannel=%3\r\nLast-Modified=2002/10/05 12:34:56\r\n")
            .arg(idOf(name), pictureUrl, comment));
    if (name == "hugestreamed" || (name == "pichuge" && !isInfo))
        return {send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"), repeat(chunk, huge)};
    if (!isInfo)
        return ok("image/jpeg",
                  name == "app5stamp" ? JpegFactory::withApp5(jpeg, "x,0,1,../../st/../x:/\\..\\y,c") : jpeg);
    if (name == "deflatebomb") {
        // 200 MB of text in a few hundred kilobytes ("deflate" is a zlib stream).
        static const QByteArray bomb = qCompress(QByteArray(200 * 1024 * 1024, 'A'), 9).mid(4);
        return RawHttpServer::answer("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Encoding: deflate", bomb);
    }
    if (name == "badcharset") return ok("text/plain; charset=\"../../../x\"", info);
    return ok("text/plain", info);  // good information files; the pictures misbehave
}

TEST(HostileServers, EveryChannelKeepsCyclingWithinBoundedMemoryAndItsFolders) {
    ChannelRig rig;  // its folder's parent is where hostile names aim
    rig.settings.DefaultWaitCount = 1;
    rig.settings.Timeout = 3;
    const QString up = QFileInfo(rig.dir.path()).absolutePath();
    std::set<QString> outside;  // paths the hostile names aim at, when not there already
    for (const QString& p : {up + "/x", up + "/x.jpg", up + "/st", QStringLiteral("/tmp/x")})
        if (!QFileInfo::exists(p)) outside.insert(p);
    QString base;  // the server's address, known once it runs
    RawHttpServer site([&base](const QString& path) {
        const QString name = path.section('/', 1, 1);
        return answer(name, path.endsWith(QStringLiteral("/info.txt")), base + "/" + name + "/pic.jpg");
    });
    base = site.url(QString());
    clsChannelManeger& manager = *rig.manager;

    using S = ChannelState;
    // The failure states before each new request; none: pictures keep coming.
    // clang-format off
    const std::map<QString, std::set<S>> plan = {
        {"hugestreamed", {S::InfoFailed}}, {"pichuge", {S::PictureFailed}},
        {"deflatebomb", {S::InfoFailed, S::Error}}, {"badcharset", {}}, {"app5stamp", {}}, {"hugecomment", {}},
        {"idup", {}}, {"idabs", {}}, {"iddotdot", {}}};
    // clang-format on

    std::map<QString, std::vector<S>> states;
    QObject::connect(&manager, &clsChannelManeger::ChannelInfomationRefresh, &manager, [&](const QString& id) {
        auto& seq = states[id];
        if (const clsChannel* c = manager.Channel(id); c && (seq.empty() || seq.back() != c->State()))
            seq.push_back(c->State());
    });
    for (const auto& [name, failures] : plan) {
        const QStringList record{"Channel", "VTR1", idOf(name), "name", site.url("/" + name + "/info.txt"), "True"};
        ASSERT_TRUE(manager.ChannelInitialize(rig.boxes.Load(), record)) << qPrintable(name);
        manager.Channel(idOf(name))->ViewControl(clsChannel::NormalViewOpen, QString());
    }

    constexpr int kRunMs = 30000, kTickMs = 400;
    const qint64 startRss = residentBytes(), mb = 1024 * 1024;
    qint64 peakEarly = 0, peakLate = 0;
    QElapsedTimer clock;
    clock.start();
    for (qint64 nextTick = kTickMs; clock.elapsed() < kRunMs;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (clock.elapsed() < nextTick) continue;
        manager.CauseOneSecEvent();
        nextTick += kTickMs;
        qint64& peak = clock.elapsed() < kRunMs / 2 ? peakEarly : peakLate;
        peak = qMax(peak, residentBytes());
    }
    std::printf("RSS: start %lld MB, peak first half %lld MB, second half %lld MB\n", startRss / mb, peakEarly / mb,
                peakLate / mb);

    for (const auto& [name, failures] : plan) {
        const std::vector<S>& seq = states[idOf(name)];
        const int infos = site.count("/" + name + "/info.txt"), pictures = site.count("/" + name + "/pic.jpg");
        QString trace;
        for (S st : seq) trace += QString::number(int(st));
        SCOPED_TRACE(QString::asprintf("%s: %d info, %d picture requests, states %s", qPrintable(name), infos, pictures,
                                       qPrintable(trace))
                         .toStdString());
        if (failures.empty()) {
            EXPECT_TRUE(pictures >= 3 && std::count(seq.begin(), seq.end(), S::Waiting) >= 3 &&
                        std::none_of(seq.begin(), seq.end(), [](S s) { return s >= S::InfoFailed; }));
        } else {
            // A failure state, later 待機中, later a new request.
            const auto f = std::find_if(seq.begin(), seq.end(), [&failed = failures](S s) { return failed.count(s); });
            const auto w = std::find(f, seq.end(), S::Waiting);
            EXPECT_NE(std::find_if(w, seq.end(), [](S s) { return s == S::InfoRequested || s == S::PictureRequested; }),
                      seq.end());
            EXPECT_GE(infos + pictures, 3);
            EXPECT_TRUE(failures != std::set<S>{S::InfoFailed} || pictures == 0);
        }
    }

    EXPECT_LT(peakEarly - startRss, (512 + kSlackMb) * mb);
    EXPECT_LT(peakLate - startRss, (512 + kSlackMb) * mb);
    EXPECT_LT(peakLate, peakEarly + (96 + kSlackMb / 4) * mb);

    const QStringList files = rig.dir.allFiles();
    for (const QString& f : files) EXPECT_TRUE(f.startsWith("chach/") || f.startsWith("save/")) << qPrintable(f);
    for (const QString& p : outside) EXPECT_FALSE(QFileInfo::exists(p)) << qPrintable(p);
    const QStringList saved = files.filter(QRegularExpression("^save/"));
    for (const QString& name : {QStringLiteral(".._.._x"), QStringLiteral("_tmp_x"), QStringLiteral("__")})
        EXPECT_TRUE(files.contains("chach/" + name + ".jpg") && saved.join('\n').contains("save/" + name + "/"))
            << qPrintable(name);
    for (const QString& f : saved) EXPECT_EQ(f.count('/'), 2) << qPrintable(f);
}

}  // namespace
