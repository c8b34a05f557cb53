// The viewer's channel engine (manager, channels, transfer array, completion
// handler) against one server whose every channel misbehaves in its own way.
// For half a minute of real time, ticks driven by hand, every channel must
// keep cycling through its failure state back to 待機中 and ask again; the
// process's memory must stay bounded; and no file may appear outside the
// cache and save folders, whatever the ChannelIDs and stamps say.
#include <gtest/gtest.h>

#include "JpegFactory.h"
#include "TestHttpServer.h"
#include "channel/ChannelHTTPCompletion.h"
#include "channel/HTTPTransfer.h"
#include "channel/PictureElement.h"
#include "channel/ProgramSettings.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Cp932.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>
#include <algorithm>
#include <map>
#include <set>

namespace {

using Steps = std::vector<RawHttpServer::Step>;

constexpr int kRunMs = 30000;  // real time the channels cycle
constexpr int kTickMs = 400;   // one tick every this many milliseconds
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kSlackMb = 1024;  // shadow memory and the free quarantine
#else
constexpr qint64 kSlackMb = 0;
#endif

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

Steps ok(const QByteArray& contentType, const QByteArray& body, const QByteArray& status = "200 OK") {
    return {RawHttpServer::send("HTTP/1.1 " + status + "\r\nContent-Type: " + contentType + "\r\nContent-Length: " +
                                QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body)};
}

QByteArray randomBytes(int n, quint32 seed) {
    QRandomGenerator rng(seed);
    QByteArray b(n, '\0');
    for (char& c : b) c = char(rng.bounded(256));
    return b;
}

// How a channel is expected to behave.
enum class Expect {
    InfoFails,     // 情報ファイルの取得に失敗, then a wait and a new info request
    PictureFails,  // 画像ファイルの取得に失敗
    Error,         // エラー発生
    FailsOrError,  // a cut body: a failed request or an error, depending on where the cut lands
    Shown,         // pictures accepted and shown, again and again
    Dropped,       // application/octet-stream: dropped, the channel keeps waiting for it
};

// Channels whose ChannelID (in the list and in the information file) is
// hostile; the others are named after their folder on the server.
const std::map<QString, QString> kHostileIDs = {{"idup", "../../x"}, {"idabs", "/tmp/x"}, {"iddotdot", ".."}};
QString idOf(const QString& name) { return kHostileIDs.count(name) ? kHostileIDs.at(name) : name; }

// What the server answers for a channel's info file and picture.
Steps answer(const QString& name, bool isInfo, const QString& pictureUrl) {
    const QByteArray jpeg = JpegFactory::make(32, 24);
    const QByteArray text = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
    const QByteArray image = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n";
    const QByteArray chunk(64 * 1024, 'x');
    const qint64 huge = 200LL * 1024 * 1024 / chunk.size();  // 200 MB
    const QString comment = name == "hugecomment" ? QString(1024 * 1024, QChar(u'あ')) : QStringLiteral("c");
    const QByteArray info =
        Cp932::encode(QStringLiteral("ProtocolSignature=VTR1\r\nChannelID=%1\r\nURL=%2\r\nThumbnailURL=%2\r\n"
                                     "ReloadTime=1\r\nStatusFlag=0\r\nCommentforChannel=%3\r\n"
                                     "Last-Modified=2002/10/05 12:34:56\r\n")
                          .arg(idOf(name), pictureUrl, comment));
    if (name == "st404") return ok("text/html", "gone", "404 Not Found");
    if (name == "silence") return {RawHttpServer::silence()};
    if (isInfo) {
        if (name == "reset")
            return {RawHttpServer::send(text + "Content-Length: 5000\r\n\r\nProtocolSignature=VT"),
                    RawHttpServer::sleep(50), RawHttpServer::reset()};
        if (name == "hugedeclared")
            return {RawHttpServer::send(text + "Content-Length: 209715200\r\n\r\n"),
                    RawHttpServer::repeat(chunk, huge)};
        if (name == "hugestreamed")
            return {RawHttpServer::send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"),
                    RawHttpServer::repeat(chunk, huge)};
        if (name == "drip") {
            Steps steps{RawHttpServer::send(text + "Content-Length: 1000\r\n\r\n")};
            for (int i = 0; i < 1000; ++i)
                steps.insert(steps.end(), {RawHttpServer::send("x"), RawHttpServer::sleep(1000)});
            return steps;
        }
        if (name == "endlessheader")
            return {RawHttpServer::send(text),
                    RawHttpServer::repeat("X-Filler: " + QByteArray(1000, 'a') + "\r\n", 200000)};
        if (name == "deflatebomb") {
            // 200 MB of text in a few hundred kilobytes ("deflate" is a zlib stream).
            static const QByteArray bomb = qCompress(QByteArray(200 * 1024 * 1024, 'A'), 9).mid(4);
            return {RawHttpServer::send(text + "Content-Encoding: deflate\r\nContent-Length: " +
                                        QByteArray::number(bomb.size()) + "\r\nConnection: close\r\n\r\n" + bomb)};
        }
        if (name == "infoasimage") return ok("image/jpeg", jpeg);
        if (name == "octet") return ok("application/octet-stream", info);
        if (name == "longline") return ok("text/plain", "ProtocolSignature=" + QByteArray(1024 * 1024, 'A'));
        if (name == "infogarbage") return ok("text/plain; charset=utf-8", randomBytes(65536, 7));
        if (name == "badcharset") return ok("text/plain; charset=\"../../../x\"", info);
        return ok("text/plain", info);  // good information files; the pictures misbehave
    }
    if (name == "pic404") return ok("text/html", "gone", "404 Not Found");
    if (name == "picreset")
        return {RawHttpServer::send(image + "Content-Length: " + QByteArray::number(jpeg.size()) + "\r\n\r\n" +
                                    jpeg.left(jpeg.size() / 2)),
                RawHttpServer::sleep(50), RawHttpServer::reset()};
    if (name == "picastext") return ok("text/html", "<html>not a picture</html>");
    if (name == "pictruncated") return ok("image/jpeg", jpeg.left(jpeg.size() / 2));
    if (name == "picnotjpeg") return ok("image/jpeg", "\xFF\xD8" + randomBytes(4096, 3) + "\xFF\xD9");
    if (name == "pichuge")
        return {RawHttpServer::send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n"),
                RawHttpServer::repeat(chunk, huge)};
    if (name == "app5stamp")
        return ok("image/jpeg", JpegFactory::withApp5(jpeg, "x,0,1,../../../stamp/../x:/\\..\\y,comment"));
    if (name == "app5long")
        return ok("image/jpeg", JpegFactory::withApp5(jpeg, "x,0,1," + QString(20000, QChar(u'名')) + ",c"));
    return ok("image/jpeg", jpeg);
}

QStringList filesBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(root).relativeFilePath(it.next());
    return out;
}

TEST(HostileServers, EveryChannelKeepsCyclingWithinBoundedMemoryAndItsFolders) {
    QTemporaryDir root;  // everything the run may touch, and more
    const QString program = root.path() + QStringLiteral("/a/b/prog");
    ProgramSettings settings;
    settings.ChachDirctory = program + QStringLiteral("/chach/");
    settings.PictureSaveDirctory = program + QStringLiteral("/save/");
    settings.DefaultWaitCount = 1;
    settings.Timeout = 3;
    ASSERT_TRUE(QDir().mkpath(settings.ChachDirctory));
    const QStringList outsideProbes = {"/tmp/x", "/tmp/x.jpg", "/tmp/stamp"};
    std::set<QString> existedBefore;
    for (const QString& p : outsideProbes)
        if (QFileInfo::exists(p)) existedBefore.insert(p);

    QString base;  // the server's address, known once it runs
    RawHttpServer site([&base](const QString& path) {
        const QString name = path.section('/', 1, 1);
        return answer(name, path.endsWith(QStringLiteral("/info.txt")), base + "/" + name + "/pic.jpg");
    });
    base = site.url(QString());
    CurlMulti curl;
    HTTPTransferArray http{curl};
    clsChannelManeger manager(settings, http);
    ChannelHTTPCompletion completion(http, manager);
    QObject::connect(&http, &HTTPTransferArray::StateChanged, &completion,
                     &ChannelHTTPCompletion::netChannelHTTP_StateChanged);
    PictureElementArray boxes;

    using E = Expect;
    const std::map<Expect, QStringList> plan = {
        {E::InfoFails, {"st404", "silence", "hugedeclared", "hugestreamed", "drip", "endlessheader"}},
        {E::PictureFails, {"pic404", "pichuge"}},
        {E::Error, {"infoasimage", "longline", "infogarbage", "picastext", "pictruncated", "picnotjpeg"}},
        {E::FailsOrError, {"reset", "deflatebomb", "picreset"}},
        {E::Shown, {"badcharset", "app5stamp", "app5long", "hugecomment", "idup", "idabs", "iddotdot"}},
        {E::Dropped, {"octet"}}};

    // Every state each channel reports, in order, and the pictures shown.
    std::map<QString, std::vector<ChannelState>> states;
    std::map<QString, int> shown;
    QObject::connect(&manager, &clsChannelManeger::ChannelInfomationRefresh, &manager, [&](const QString& id) {
        auto& seq = states[id];
        if (const clsChannel* c = manager.Channel(id); c && (seq.empty() || seq.back() != c->State()))
            seq.push_back(c->State());
    });
    QObject::connect(&manager, &clsChannelManeger::ShowBoxRefresh, &manager, [&](const QString& id) {
        if (const clsChannel* c = manager.Channel(id); c && c->ShowBox()->HasPicture()) ++shown[id];
    });
    for (const auto& [expect, names] : plan) {
        for (const QString& name : names) {
            const QStringList record{"Channel", "VTR1", idOf(name), "name", site.url("/" + name + "/info.txt"), "True"};
            ASSERT_TRUE(manager.ChannelInitialize(boxes.Load(), record)) << qPrintable(name);
            manager.Channel(idOf(name))->ViewControl(clsChannel::NormalViewOpen, QString());
        }
    }

    const qint64 startRss = residentBytes();
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
    const qint64 mb = 1024 * 1024;
    std::printf("RSS: start %lld MB, peak first half %lld MB, second half %lld MB\n", startRss / mb, peakEarly / mb,
                peakLate / mb);

    for (const auto& [expect, names] : plan)
        for (const QString& name : names) {
            const QString id = idOf(name);
            const std::vector<ChannelState>& seq = states[id];
            const int infos = site.count("/" + name + "/info.txt"), pictures = site.count("/" + name + "/pic.jpg");
            QString trace;
            for (ChannelState st : seq) trace += QString::number(int(st));
            const std::string what = QString::asprintf("%s: %d info, %d picture requests, %d shown, states %s",
                                                       qPrintable(id), infos, pictures, shown[id], qPrintable(trace))
                                         .toStdString();
            // A failure state, later 待機中, later a new request.
            auto failedWaitedAskedAgain = [&seq](std::set<ChannelState> failure) {
                const auto f = std::find_if(seq.begin(), seq.end(), [&](ChannelState s) { return failure.count(s); });
                const auto w = std::find(f, seq.end(), ChannelState::Waiting);
                return std::find_if(w, seq.end(), [](ChannelState s) {
                           return s == ChannelState::InfoRequested || s == ChannelState::PictureRequested;
                       }) != seq.end();
            };
            switch (expect) {
                case E::InfoFails:
                    EXPECT_TRUE(failedWaitedAskedAgain({ChannelState::InfoFailed})) << what;
                    EXPECT_TRUE(infos >= 3 && pictures == 0) << what;
                    break;
                case E::PictureFails:
                    EXPECT_TRUE(failedWaitedAskedAgain({ChannelState::PictureFailed}) && pictures >= 3) << what;
                    break;
                case E::Error:
                    EXPECT_TRUE(failedWaitedAskedAgain({ChannelState::Error}) && infos + pictures >= 4) << what;
                    break;
                case E::FailsOrError:
                    EXPECT_TRUE(failedWaitedAskedAgain(
                                    {ChannelState::InfoFailed, ChannelState::PictureFailed, ChannelState::Error}) &&
                                infos + pictures >= 4)
                        << what;
                    break;
                case E::Shown:
                    EXPECT_TRUE(shown[id] >= 3 && pictures >= 3) << what;
                    EXPECT_GE(std::count(seq.begin(), seq.end(), ChannelState::Waiting), 3) << what;
                    break;
                case E::Dropped:  // neither an error nor a new request by itself
                    EXPECT_TRUE(manager.Channel(id)->State() == ChannelState::InfoRequested && infos == 1) << what;
                    break;
            }
        }

    // Bounded memory: no body above the limit is ever held, and nothing
    // accumulates from one cycle to the next.
    EXPECT_LT(peakEarly - startRss, (512 + kSlackMb) * mb);
    EXPECT_LT(peakLate - startRss, (512 + kSlackMb) * mb);
    EXPECT_LT(peakLate, peakEarly + (96 + kSlackMb / 4) * mb);

    // Files only in the cache and save folders, a saved picture directly in
    // its channel's folder.
    for (const QString& f : filesBelow(root.path()))
        EXPECT_TRUE(f.startsWith("a/b/prog/chach/") || f.startsWith("a/b/prog/save/")) << qPrintable(f);
    for (const QString& p : outsideProbes)
        EXPECT_TRUE(existedBefore.count(p) || !QFileInfo::exists(p)) << qPrintable(p);
    const QStringList cache = filesBelow(settings.ChachDirctory);
    for (const char* name : {".._.._x.jpg", "_tmp_x.jpg", "__.jpg"}) EXPECT_TRUE(cache.contains(name)) << name;
    const QStringList saved = filesBelow(settings.PictureSaveDirctory);
    for (const char* folder : {".._.._x/", "_tmp_x/", "__/"})
        EXPECT_TRUE(std::any_of(saved.begin(), saved.end(), [&](const QString& f) { return f.startsWith(folder); }))
            << folder;
    for (const QString& f : saved) EXPECT_EQ(f.count('/'), 1) << qPrintable(f);
}

}  // namespace
