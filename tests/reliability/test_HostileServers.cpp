// The viewer's channel engine (manager, channels, transfer array, completion
// handler) against one server whose every channel misbehaves in its own way.
// For about half a minute of real time, ticks driven by hand, every channel
// must keep cycling through its failure state back to 待機中 and ask again;
// the process's memory must stay bounded; and no file may appear outside the
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
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace {

using Step = RawHttpServer::Step;
using Steps = std::vector<Step>;

constexpr int kRunMs = 30000;  // real time the channels cycle
constexpr int kTickMs = 400;   // one tick every this many milliseconds

#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kSanitizerSlackMb = 1024;  // shadow memory and the free quarantine
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr qint64 kSanitizerSlackMb = 1024;
#else
constexpr qint64 kSanitizerSlackMb = 0;
#endif
#else
constexpr qint64 kSanitizerSlackMb = 0;
#endif

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

QByteArray response(const QByteArray& statusLine, const QByteArray& contentType, const QByteArray& body) {
    return statusLine + "\r\nContent-Type: " + contentType + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}
Steps ok(const QByteArray& contentType, const QByteArray& body) {
    return {RawHttpServer::send(response("HTTP/1.1 200 OK", contentType, body))};
}

QByteArray infoFile(const QString& fileID, const QString& pictureURL, const QString& comment = QStringLiteral("c")) {
    return Cp932::encode(QStringLiteral("ProtocolSignature=VTR1\r\nChannelID=%1\r\nURL=%2\r\nThumbnailURL=%2\r\n"
                                        "ReloadTime=1\r\nStatusFlag=0\r\nCommentforChannel=%3\r\n"
                                        "Last-Modified=2002/10/05 12:34:56\r\n")
                             .arg(fileID, pictureURL, comment));
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

struct HostileChannel {
    QString id;    // the list's ChannelID (the save folder's name)
    QString path;  // its information file on the server
    Expect expect;
};

class HostileSite {
public:
    HostileSite() : server_([this](const QString& path) { return answer(path); }) {
        // 200 MB of text in a few hundred kilobytes (a zlib stream, which is
        // what "deflate" means in HTTP).
        deflateBomb_ = qCompress(QByteArray(200 * 1024 * 1024, 'A'), 9).mid(4);
    }

    QString url(const QString& path) const { return server_.url(path); }
    int count(const QString& path) const { return server_.count(path); }
    int countPrefix(const QString& prefix) const {
        int n = 0;
        for (const QString& p : server_.requests()) n += p.startsWith(prefix) ? 1 : 0;
        return n;
    }

private:
    Steps answer(const QString& path) {
        const QByteArray jpeg = JpegFactory::make(32, 24);
        const QString pic = url(path.section('/', 0, 1) + QStringLiteral("/pic.jpg"));
        const QString name = path.section('/', 1, 1);
        const bool isInfo = path.endsWith(QStringLiteral("/info.txt"));
        const QByteArray head200text = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
        const QByteArray head200image = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\n";
        const QByteArray chunk(64 * 1024, 'x');
        const qint64 hugeChunks = 200LL * 1024 * 1024 / chunk.size();  // 200 MB

        // Failures of the information file itself.
        if (name == "st404") return {RawHttpServer::send(response("HTTP/1.1 404 Not Found", "text/html", "gone"))};
        if (name == "st500")
            return {RawHttpServer::send(response("HTTP/1.1 500 Internal Server Error", "text/plain", "boom"))};
        if (name == "reset" && isInfo)
            return {RawHttpServer::send(head200text + "Content-Length: 5000\r\n\r\nProtocolSignature=VT"),
                    RawHttpServer::sleep(50), RawHttpServer::reset()};
        if (name == "silence") return {RawHttpServer::silence()};
        if (name == "hugedeclared" && isInfo)
            return {RawHttpServer::send(head200text + "Content-Length: 209715200\r\n\r\n"),
                    RawHttpServer::repeat(chunk, hugeChunks)};
        if (name == "hugestreamed" && isInfo)
            return {RawHttpServer::send("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"),
                    RawHttpServer::repeat(chunk, hugeChunks)};
        if (name == "drip" && isInfo) {
            Steps steps{RawHttpServer::send(head200text + "Content-Length: 1000\r\n\r\n")};
            for (int i = 0; i < 1000; ++i) {
                steps.push_back(RawHttpServer::send("x"));
                steps.push_back(RawHttpServer::sleep(1000));
            }
            return steps;
        }
        if (name == "endlessheader" && isInfo)
            return {RawHttpServer::send(head200text),
                    RawHttpServer::repeat("X-Filler: " + QByteArray(1000, 'a') + "\r\n", 200000)};
        if (name == "deflatebomb" && isInfo)
            return {RawHttpServer::send(head200text + "Content-Encoding: deflate\r\nContent-Length: " +
                                        QByteArray::number(deflateBomb_.size()) + "\r\nConnection: close\r\n\r\n" +
                                        deflateBomb_)};
        if (name == "infoasimage" && isInfo) return ok("image/jpeg", jpeg);
        if (name == "octet" && isInfo) return ok("application/octet-stream", infoFile(name, pic));
        if (name == "longline" && isInfo) return ok("text/plain", "ProtocolSignature=" + QByteArray(1024 * 1024, 'A'));
        if (name == "infogarbage" && isInfo) return ok("text/plain; charset=utf-8", randomBytes(65536, 7));
        if (name == "badcharset" && isInfo) return ok("text/plain; charset=\"../../../x\"", infoFile(name, pic));

        // Good information files; the pictures misbehave.
        if (isInfo) {
            QString fileID = name;
            const std::map<QString, QString> hostileIDs = {
                {"idup", "../../x"}, {"idabs", "/tmp/x"}, {"idback", "a\\b"}, {"iddot", "."}, {"iddotdot", ".."}};
            if (hostileIDs.count(name)) fileID = hostileIDs.at(name);
            const QString comment = name == "hugecomment" ? QString(1024 * 1024, QChar(u'あ')) : QStringLiteral("c");
            return ok("text/plain", infoFile(fileID, pic, comment));
        }
        if (name == "pic404") return {RawHttpServer::send(response("HTTP/1.1 404 Not Found", "text/html", "gone"))};
        if (name == "picreset")
            return {RawHttpServer::send(head200image + "Content-Length: " + QByteArray::number(jpeg.size()) +
                                        "\r\n\r\n" + jpeg.left(jpeg.size() / 2)),
                    RawHttpServer::sleep(50), RawHttpServer::reset()};
        if (name == "picastext") return ok("text/html", "<html>not a picture</html>");
        if (name == "pictruncated") return ok("image/jpeg", jpeg.left(jpeg.size() / 2));
        if (name == "picseglen") {
            QByteArray b("\xFF\xD8\xFF\xE0\xFF\xF0JFIF\0", 11);
            b += "\xFF\xD9";
            return ok("image/jpeg", b);
        }
        if (name == "picsegshort") return ok("image/jpeg", QByteArray("\xFF\xD8\xFF\xC0\x00\x01\xFF\xD9", 8));
        if (name == "picscan") return ok("image/jpeg", QByteArray("\xFF\xD8\xFF\xDA\x00\x02\x00\x00\xFF\xD9", 10));
        if (name == "picnotjpeg") return ok("image/jpeg", "\xFF\xD8" + randomBytes(4096, 3) + "\xFF\xD9");
        if (name == "pichuge")
            return {RawHttpServer::send("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n"),
                    RawHttpServer::repeat(chunk, hugeChunks)};
        if (name == "app5junk")
            return ok("image/jpeg", JpegFactory::withApp5(jpeg, Cp932::decode(randomBytes(1000, 5))));
        if (name == "app5numbers")
            return ok("image/jpeg", JpegFactory::withApp5(jpeg, "x,99999999999,1e300,..\\..\\evil,c"));
        if (name == "app5stamp")
            return ok("image/jpeg", JpegFactory::withApp5(jpeg, "x,0,1,../../../stamp/../x:/\\..\\y,comment"));
        if (name == "app5dots") return ok("image/jpeg", JpegFactory::withApp5(jpeg, "x,0,-7,..,c"));
        if (name == "app5long")
            return ok("image/jpeg", JpegFactory::withApp5(jpeg, "x,0,1," + QString(20000, QChar(u'名')) + ",c"));
        if (name == "app5empty") {
            QByteArray b = jpeg;
            b.insert(2, QByteArray("\xFF\xE5\x00\x02", 4));
            return ok("image/jpeg", b);
        }
        return ok("image/jpeg", jpeg);  // the hostile IDs and hugecomment: good pictures
    }

    QByteArray deflateBomb_;
    RawHttpServer server_;
};

QStringList filesBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(root).relativeFilePath(it.next());
    out.sort();
    return out;
}

const char* expectName(Expect e) {
    static const char* const names[] = {"InfoFails", "PictureFails", "Error", "FailsOrError", "Shown", "Dropped"};
    return names[int(e)];
}

TEST(HostileServers, EveryChannelKeepsCyclingWithinBoundedMemoryAndItsFolders) {
    QTemporaryDir root;  // everything the run may touch, and more
    ASSERT_TRUE(root.isValid());
    const QString program = root.path() + QStringLiteral("/a/b/prog");
    ProgramSettings settings;
    settings.ChachDirctory = program + QStringLiteral("/chach/");
    settings.PictureSaveDirctory = program + QStringLiteral("/save/");
    settings.DefaultWaitCount = 1;
    settings.Timeout = 3;
    ASSERT_TRUE(QDir().mkpath(settings.ChachDirctory));
    const QStringList outsideProbes = {"/tmp/x", "/tmp/x.jpg", "/tmp/x_thumbnail.jpg", "/tmp/stamp"};
    std::set<QString> existedBefore;
    for (const QString& p : outsideProbes)
        if (QFileInfo::exists(p)) existedBefore.insert(p);

    HostileSite site;
    CurlMulti curl;
    HTTPTransferArray http{curl};
    clsChannelManeger manager(settings, http);
    ChannelHTTPCompletion completion(http, manager);
    QObject::connect(&http, &HTTPTransferArray::StateChanged, &completion,
                     &ChannelHTTPCompletion::netChannelHTTP_StateChanged);
    PictureElementArray boxes;

    const std::vector<HostileChannel> plan = {
        {"st404", "/st404/info.txt", Expect::InfoFails},
        {"st500", "/st500/info.txt", Expect::InfoFails},
        {"reset", "/reset/info.txt", Expect::FailsOrError},
        {"silence", "/silence/info.txt", Expect::InfoFails},
        {"hugedeclared", "/hugedeclared/info.txt", Expect::InfoFails},
        {"hugestreamed", "/hugestreamed/info.txt", Expect::InfoFails},
        {"drip", "/drip/info.txt", Expect::InfoFails},
        {"endlessheader", "/endlessheader/info.txt", Expect::InfoFails},
        {"deflatebomb", "/deflatebomb/info.txt", Expect::FailsOrError},
        {"infoasimage", "/infoasimage/info.txt", Expect::Error},
        {"octet", "/octet/info.txt", Expect::Dropped},
        {"longline", "/longline/info.txt", Expect::Error},
        {"infogarbage", "/infogarbage/info.txt", Expect::Error},
        {"badcharset", "/badcharset/info.txt", Expect::Shown},
        {"pic404", "/pic404/info.txt", Expect::PictureFails},
        {"picreset", "/picreset/info.txt", Expect::FailsOrError},
        {"picastext", "/picastext/info.txt", Expect::Error},
        {"pictruncated", "/pictruncated/info.txt", Expect::Error},
        {"picseglen", "/picseglen/info.txt", Expect::Error},
        {"picsegshort", "/picsegshort/info.txt", Expect::Error},
        {"picscan", "/picscan/info.txt", Expect::Error},
        {"picnotjpeg", "/picnotjpeg/info.txt", Expect::Error},
        {"pichuge", "/pichuge/info.txt", Expect::PictureFails},
        {"app5junk", "/app5junk/info.txt", Expect::Shown},
        {"app5numbers", "/app5numbers/info.txt", Expect::Shown},
        {"app5stamp", "/app5stamp/info.txt", Expect::Shown},
        {"app5dots", "/app5dots/info.txt", Expect::Shown},
        {"app5long", "/app5long/info.txt", Expect::Shown},
        {"app5empty", "/app5empty/info.txt", Expect::Shown},
        {"hugecomment", "/hugecomment/info.txt", Expect::Shown},
        // Hostile names in the list as well as in the information file.
        {"../../x", "/idup/info.txt", Expect::Shown},
        {"/tmp/x", "/idabs/info.txt", Expect::Shown},
        {"a\\b", "/idback/info.txt", Expect::Shown},
        {".", "/iddot/info.txt", Expect::Shown},
        {"..", "/iddotdot/info.txt", Expect::Shown},
    };

    // Every state each channel reports, in order.
    std::map<QString, std::vector<ChannelState>> states;
    QObject::connect(&manager, &clsChannelManeger::ChannelInfomationRefresh, &manager,
                     [&](const QString& id, const QStringList&) {
                         if (const clsChannel* c = manager.Channel(id)) {
                             auto& seq = states[id];
                             if (seq.empty() || seq.back() != c->State()) seq.push_back(c->State());
                         }
                     });
    std::map<QString, int> picturesShown;
    QObject::connect(&manager, &clsChannelManeger::ShowBoxRefresh, &manager, [&](const QString& id) {
        const clsChannel* c = manager.Channel(id);
        if (c && c->ShowBox() && c->ShowBox()->HasPicture()) ++picturesShown[id];
    });

    for (const HostileChannel& h : plan) {
        const QStringList record{"Channel", "VTR1", h.id, "name", site.url(h.path), "True"};
        ASSERT_TRUE(manager.ChannelInitialize(boxes.Load(), record)) << qPrintable(h.id);
    }
    for (const HostileChannel& h : plan) manager.Channel(h.id)->ViewControl(clsChannel::NormalViewOpen, QString());

    const qint64 startRss = residentBytes();
    qint64 peakEarly = 0, peakLate = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 nextTick = kTickMs;
    while (clock.elapsed() < kRunMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (clock.elapsed() >= nextTick) {
            manager.CauseOneSecEvent();
            nextTick += kTickMs;
            qint64& peak = clock.elapsed() < kRunMs / 2 ? peakEarly : peakLate;
            peak = qMax(peak, residentBytes());
        }
    }
    const qint64 mb = 1024 * 1024;
    std::printf("RSS: start %lld MB, peak first half %lld MB, peak second half %lld MB\n", startRss / mb,
                peakEarly / mb, peakLate / mb);

    // Every channel cycled as its misbehaviour calls for.
    for (const HostileChannel& h : plan) {
        SCOPED_TRACE(qPrintable(QStringLiteral("%1 (%2)").arg(h.id, expectName(h.expect))));
        const std::vector<ChannelState>& seq = states[h.id];
        const int infoRequests = site.count(h.path);
        const int pictureRequests = site.countPrefix(h.path.section('/', 0, 1) + QStringLiteral("/pic"));
        QString trace;
        for (ChannelState st : seq) trace += QString::number(int(st));
        std::printf("%-14s %-13s info %3d picture %3d shown %3d states %s\n", qPrintable(h.id), expectName(h.expect),
                    infoRequests, pictureRequests, picturesShown[h.id], qPrintable(trace.left(60)));
        auto failedThenWaitedThenAskedAgain = [&seq](std::set<ChannelState> failure) {
            for (size_t i = 0; i < seq.size(); ++i) {
                if (!failure.count(seq[i])) continue;
                size_t j = i + 1;
                while (j < seq.size() && seq[j] != ChannelState::Waiting) ++j;
                while (j < seq.size() && seq[j] != ChannelState::InfoRequested &&
                       seq[j] != ChannelState::PictureRequested)
                    ++j;
                if (j < seq.size()) return true;
            }
            return false;
        };
        switch (h.expect) {
            case Expect::InfoFails:
                EXPECT_TRUE(failedThenWaitedThenAskedAgain({ChannelState::InfoFailed}));
                EXPECT_GE(infoRequests, 3);
                EXPECT_EQ(pictureRequests, 0);
                break;
            case Expect::PictureFails:
                EXPECT_TRUE(failedThenWaitedThenAskedAgain({ChannelState::PictureFailed}));
                EXPECT_GE(pictureRequests, 3);
                break;
            case Expect::Error:
                EXPECT_TRUE(failedThenWaitedThenAskedAgain({ChannelState::Error}));
                EXPECT_GE(infoRequests + pictureRequests, 4);
                break;
            case Expect::FailsOrError:
                EXPECT_TRUE(failedThenWaitedThenAskedAgain(
                    {ChannelState::InfoFailed, ChannelState::PictureFailed, ChannelState::Error}));
                EXPECT_GE(infoRequests + pictureRequests, 4);
                break;
            case Expect::Shown:
                EXPECT_GE(picturesShown[h.id], 3);
                EXPECT_GE(pictureRequests, 3);
                EXPECT_TRUE(std::count(seq.begin(), seq.end(), ChannelState::Waiting) >= 3);
                break;
            case Expect::Dropped:
                // The dropped answer leaves the channel waiting for it; it
                // neither errs nor asks again by itself.
                EXPECT_EQ(manager.Channel(h.id)->State(), ChannelState::InfoRequested);
                EXPECT_EQ(infoRequests, 1);
                break;
        }
    }

    // Bounded memory: no body above the limit is ever held, and nothing
    // accumulates from one cycle to the next.
    EXPECT_LT(peakEarly - startRss, (512 + kSanitizerSlackMb) * mb);
    EXPECT_LT(peakLate - startRss, (512 + kSanitizerSlackMb) * mb);
    EXPECT_LT(peakLate, peakEarly + (96 + kSanitizerSlackMb / 4) * mb);

    // Files only in the cache and save folders.
    for (const QString& f : filesBelow(root.path()))
        EXPECT_TRUE(f.startsWith("a/b/prog/chach/") || f.startsWith("a/b/prog/save/")) << qPrintable(f);
    for (const QString& p : outsideProbes) {
        if (!existedBefore.count(p)) {
            EXPECT_FALSE(QFileInfo::exists(p)) << qPrintable(p);
        }
    }
    const QStringList cache = filesBelow(settings.ChachDirctory);
    for (const char* name : {".._.._x.jpg", "_tmp_x.jpg", "a_b.jpg", "_.jpg", "__.jpg"})
        EXPECT_TRUE(cache.contains(QLatin1String(name))) << name << " in " << qPrintable(cache.join(' '));
    const QStringList saved = filesBelow(settings.PictureSaveDirctory);
    for (const char* folder : {".._.._x/", "_tmp_x/", "a_b/", "_/", "__/"})
        EXPECT_TRUE(std::any_of(saved.begin(), saved.end(), [&](const QString& f) { return f.startsWith(folder); }))
            << folder;
    // A saved picture is one file directly in its channel's folder.
    for (const QString& f : saved) EXPECT_EQ(f.count('/'), 1) << qPrintable(f);
}

}  // namespace
