// The demo publisher's output, fetched over real HTTP with the viewer's
// transfer object and checked with the viewer's own analysis.
#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "channel/ChannelInfomation.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"
#include "tools/demo_publisher/DemoPublisher.h"

#include <httplib.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTimeZone>

#include <atomic>
#include <memory>

namespace {

// 2026-03-01 09:00:00 UTC plus a little, so periods do not start exactly now.
constexpr qint64 kStartMs = 1772355600000LL + 400;

qint64 stampSeconds(const QString& stamp) {
    return QDateTime::fromString(stamp, QStringLiteral("yyyy/MM/dd HH:mm:ss")).toSecsSinceEpoch();
}

// Options as the program's command line gives them.
DemoOptions options(const char* line) {
    DemoOptions o;
    QString error;
    const QStringList args = QString::fromLatin1(line).split(QLatin1Char(' '));
    EXPECT_TRUE(ParseDemoOptions(QStringList{QStringLiteral("demo_publisher")} + args, o, &error)) << line;
    return o;
}

struct Fetched {
    int State = 0;                                        // 12 completed, 11 error, 0 no answer in time
    QString StatusLine, ContentType, LastModified, Text;  // Text: decoded as the viewer decodes text bodies
    QByteArray Body;
    qint64 ElapsedMs = 0;
    bool ok() const { return State == 12 && StatusLine.contains(QLatin1String(" 200 ")); }
    bool notFound() const { return State == 12 && StatusLine.startsWith(QLatin1String("HTTP/1.1 404")); }
};

class DemoPublisherTest : public ::testing::Test {
protected:
    void startWith(const char* line) {
        DemoOptions o = options(line);
        o.KeepAliveSeconds = 1;
        publisher = std::make_unique<DemoPublisher>(o, [this] { return now.load(); });
        QString error;
        ASSERT_TRUE(publisher->start(&error)) << error.toStdString();
    }
    void advanceSeconds(int s) { now += qint64(s) * 1000; }
    QString url(const QString& path) const { return publisher->baseUrl() + path; }

    // One GET through the viewer's own transfer object, waited for.
    Fetched get(const QString& address) {
        Fetched f;
        QSignalSpy spy(transfer, &HTTPTransfer::StateChanged);
        QElapsedTimer clock;
        clock.start();
        transfer->Execute(address, QStringLiteral("GET"));
        if (!spy.wait(15000)) return f;
        f.ElapsedMs = clock.elapsed();
        f.State = spy.takeFirst().at(1).toInt();
        if (f.State != 12) return f;
        const QString header = transfer->GetHeader();
        f.StatusLine = header.left(header.indexOf(QLatin1String("\r\n")));
        f.ContentType = transfer->GetHeader(QStringLiteral("Content-type"));
        f.LastModified = transfer->GetHeader(QStringLiteral("Last-modified"));
        f.Body = transfer->Body();
        f.Text = transfer->BodyText();
        return f;
    }
    // One channel's information file, analysed.
    ChannelInfomation info(const DemoChannel& c) {
        const Fetched f = get(url(Demo::InfoPath(c)));
        EXPECT_TRUE(f.ok()) << f.StatusLine.toStdString();
        ChannelInfomation out;
        EXPECT_TRUE(AnalyzeInfomationFile(f.Text, out)) << c.ChannelID.toStdString();
        return out;
    }
    // A picture's APP5 record.
    static PictureInfomation record(const QByteArray& jpeg) {
        PictureInfomation p;
        EXPECT_EQ(AnalyzePicture(jpeg, p), ".jpg");
        return p;
    }

    std::atomic<qint64> now{kStartMs};
    std::unique_ptr<DemoPublisher> publisher;
    // Declared after the publisher: its connections close before the server stops.
    CurlMulti curl;
    HTTPTransferArray transfers{curl};
    HTTPTransfer* transfer = transfers.getNewHTTPObject(20, QString(), false);
};

TEST_F(DemoPublisherTest, ListInformationFilesAndPicturesPassTheViewersAnalysis) {
    startWith("--channels 12 --reload 5 --status-cycle 60 --size 320x200 --thumbnail-size 96x60");
    const qint64 periodStart = kStartMs / 1000 / 5 * 5;

    // The updater's list: "id,signature,info URL" lines with dotted IDs in a few groups.
    const Fetched list = get(publisher->listUrl());
    ASSERT_TRUE(list.ok());
    EXPECT_TRUE(list.ContentType.contains(QLatin1String("text")));
    EXPECT_TRUE(list.Body.endsWith("\r\n"));
    QHash<QString, QStringList> listed;
    QSet<QString> groups;
    static const QRegularExpression dotted(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+){2,}$"));
    for (const QString& line : list.Text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(','));
        ASSERT_EQ(fields.size(), 3) << line.toStdString();
        EXPECT_TRUE(dotted.match(fields[0]).hasMatch()) << line.toStdString();
        listed.insert(fields[0], fields);
        groups << fields[0].section(QLatin1Char('.'), 0, -2);
    }
    EXPECT_EQ(listed.size(), 12);
    EXPECT_GE(groups.size(), 3);

    QSet<int> statuses;
    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        ASSERT_TRUE(listed.contains(c.ChannelID));
        const Fetched f = get(listed[c.ChannelID][2]);
        ASSERT_TRUE(f.ok());
        EXPECT_EQ(f.ContentType, "text/plain");  // no charset: CP932 by default
        EXPECT_TRUE(f.Body.contains(Cp932::encode(c.ChannelName)));
        EXPECT_FALSE(f.Body.contains(c.ChannelName.toUtf8()));
        EXPECT_EQ(f.Body.count("\n"), f.Body.count("\r\n"));

        ChannelInfomation i;
        ASSERT_TRUE(AnalyzeInfomationFile(f.Text, i));
        EXPECT_EQ(i.ProtocolSignature, listed[c.ChannelID][1]);
        EXPECT_EQ(i.ProtocolSignature, Demo::ProtocolSignature);
        EXPECT_EQ(i.ChannelID, c.ChannelID);
        EXPECT_EQ(i.ChannelName, c.ChannelName);
        EXPECT_EQ(i.ChannelNumber, QString::number(c.Index + 1));
        EXPECT_EQ(i.URL, url(QStringLiteral("/ch/%1/picture.jpg").arg(c.ChannelID)));
        EXPECT_EQ(i.ThumbnailURL, url(QStringLiteral("/ch/%1/thumbnail.jpg").arg(c.ChannelID)));
        EXPECT_EQ(i.ReloadTime, 5);
        EXPECT_EQ(i.CommentforChannel, c.Comment);
        EXPECT_FALSE(i.CommentforChannel.contains(QLatin1Char(',')));
        EXPECT_EQ(stampSeconds(i.LastModified), periodStart);
        // The broadcast started within the last cycle, not in the future.
        const qint64 started = stampSeconds(i.BroadCastStartTime);
        EXPECT_TRUE(started <= periodStart && started > periodStart - 60) << started - periodStart;
        statuses << i.StatusFlag;

        for (const auto& [address, size] :
             {std::pair{i.URL, QSize(320, 200)}, std::pair{i.ThumbnailURL, QSize(96, 60)}}) {
            const Fetched p = get(address);
            ASSERT_TRUE(p.ok()) << address.toStdString();
            EXPECT_EQ(p.ContentType, "image/jpeg");
            EXPECT_EQ(QImage::fromData(p.Body).size(), size);
            // The APP5 record agrees with the information file, the header with the stamp.
            const PictureInfomation r = record(p.Body);
            EXPECT_EQ(std::tuple(r.Status, r.ReloadTime, r.Stamp, r.Comment),
                      std::tuple(i.StatusFlag, i.ReloadTime, i.LastModified, i.CommentforChannel));
            QDateTime header =
                QLocale::c().toDateTime(p.LastModified, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
            header.setTimeZone(QTimeZone::utc());
            EXPECT_EQ(header.toSecsSinceEpoch(), stampSeconds(r.Stamp)) << p.LastModified.toStdString();
        }
    }
    EXPECT_GT(statuses.size(), 1);  // channels with random phases do not all share one status here
    for (const char* path : {"/ch/demo.nowhere.cam01/info.txt", "/ch/demo.tokyo.cam01/other.jpg", "/"})
        EXPECT_TRUE(get(url(QString::fromLatin1(path))).notFound()) << path;
}

TEST_F(DemoPublisherTest, PictureChangesEveryPeriodAndIsDrawnOncePerPeriod) {
    startWith("--channels 3 --reload 5 --status-cycle 0");  // always on air: only the clock moves
    const DemoChannel& c = publisher->channels().at(1);
    const qint64 before = publisher->renderCount();
    const Fetched first = get(url(Demo::PicturePath(c)));
    advanceSeconds(1);  // same period
    const Fetched again = get(url(Demo::PicturePath(c)));
    ASSERT_TRUE(first.ok() && again.ok());
    EXPECT_EQ(first.Body, again.Body);
    EXPECT_EQ(publisher->renderCount(), before + 1);

    advanceSeconds(5);  // next period
    const Fetched next = get(url(Demo::PicturePath(c)));
    ASSERT_TRUE(next.ok());
    EXPECT_NE(next.LastModified, first.LastModified);
    EXPECT_EQ(publisher->renderCount(), before + 2);
    EXPECT_EQ(stampSeconds(record(next.Body).Stamp) - stampSeconds(record(first.Body).Stamp), 5);
    // The drawing changed too (the clock), not only the record.
    EXPECT_NE(QImage::fromData(first.Body), QImage::fromData(next.Body));

    // A thumbnail is drawn when it is asked for, not with the picture.
    ASSERT_TRUE(get(url(Demo::ThumbnailPath(c))).ok());
    EXPECT_EQ(publisher->renderCount(), before + 3);

    // Without a cycle every channel stays on air, in the picture as in the information.
    EXPECT_EQ(record(first.Body).Status, 0);
    EXPECT_EQ(record(next.Body).Status, 0);
    for (int step = 0; step < 5; ++step, advanceSeconds(997))
        for (const DemoChannel& ch : publisher->channels()) EXPECT_EQ(info(ch).StatusFlag, 0) << step;
}

TEST_F(DemoPublisherTest, StatusesFollowTheCycleAndAgreeBetweenInfoAndPicture) {
    startWith("--channels 8 --reload 2 --status-cycle 20 --size 48x32 --thumbnail-size 48x32");
    const int steps = 2 * 20 / 2;  // two whole cycles
    QSet<QList<int>> sequences;
    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        now = kStartMs;
        QList<int> seen;
        for (int step = 0; step < steps; ++step, advanceSeconds(2)) {
            const ChannelInfomation i = info(c);
            EXPECT_EQ(record(get(i.ThumbnailURL).Body).Status, i.StatusFlag) << "step " << step;
            seen << i.StatusFlag;
        }
        // All three statuses, in the order 0 -> 1 -> 2 -> 0, repeating each cycle.
        EXPECT_TRUE(seen.contains(0) && seen.contains(1) && seen.contains(2));
        for (int k = 1; k < steps; ++k)
            EXPECT_TRUE(seen[k] == seen[k - 1] || seen[k] == (seen[k - 1] + 1) % 3) << seen[k - 1] << " -> " << seen[k];
        EXPECT_EQ(seen.mid(0, steps / 2), seen.mid(steps / 2));
        EXPECT_GE(seen.count(0), steps / 2);  // on air most of the cycle
        sequences << seen;
    }
    EXPECT_GT(sequences.size(), 1) << "every channel in step";
}

TEST_F(DemoPublisherTest, FaultSharesHitTheChannelsTheSeedChooses) {
#define FAULTS "--channels 20 --share-404 0.2 --share-slow 0.1 --slow-delay 300 --share-broken 0.15 --reload 4 "
    // The seed alone decides which channels misbehave.
    auto faults = [](const char* line) {
        QList<DemoFault> out;
        for (const DemoChannel& c : Demo::MakeCatalog(options(line))) out << c.Fault;
        return out;
    };
    const QList<DemoFault> chosen = faults(FAULTS "--seed 7");
    EXPECT_EQ(faults(FAULTS "--seed 7"), chosen);
    EXPECT_NE(faults(FAULTS "--seed 8"), chosen);
    EXPECT_EQ(chosen.count(DemoFault::NotFound), 4);
    EXPECT_EQ(chosen.count(DemoFault::Slow), 2);
    EXPECT_EQ(chosen.count(DemoFault::BrokenJpeg), 3);

    startWith(FAULTS "--seed 7 --size 64x48");
#undef FAULTS
    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        const Fetched i = get(url(Demo::InfoPath(c)));
        if (c.Fault == DemoFault::NotFound) {
            EXPECT_TRUE(i.notFound()) << i.StatusLine.toStdString();
            EXPECT_TRUE(get(url(Demo::PicturePath(c))).notFound());
            EXPECT_TRUE(get(url(Demo::ThumbnailPath(c))).notFound());
            continue;
        }
        EXPECT_TRUE(i.ok());
        if (c.Fault == DemoFault::BrokenJpeg) {
            // One period a cut-off stream the marker walk rejects, the next a
            // stream that passes it but holds no image.
            int rejected = 0, undecodable = 0;
            for (int k = 0; k < 2; ++k, advanceSeconds(4)) {
                const Fetched p = get(url(Demo::PicturePath(c)));
                ASSERT_TRUE(p.ok());
                PictureInfomation r;
                if (AnalyzePicture(p.Body, r).isEmpty()) {
                    ++rejected;
                    continue;
                }
                EXPECT_TRUE(QImage::fromData(p.Body).isNull());
                EXPECT_FALSE(r.Stamp.isEmpty());  // the record survives, the image does not
                ++undecodable;
            }
            EXPECT_EQ(rejected, 1);
            EXPECT_EQ(undecodable, 1);
            continue;
        }
        const Fetched p = get(url(Demo::PicturePath(c)));
        EXPECT_FALSE(record(p.Body).Stamp.isEmpty());
        EXPECT_FALSE(QImage::fromData(p.Body).isNull());
        if (c.Fault == DemoFault::Slow) {
            EXPECT_TRUE(i.ElapsedMs >= 300 && i.ElapsedMs < 3000) << i.ElapsedMs;  // --slow-delay, not the default
            EXPECT_GE(p.ElapsedMs, 300);
        }
    }
}

TEST_F(DemoPublisherTest, PrerenderedFramesRepeatWhileTheRecordMovesOn) {
    startWith("--channels 2 --reload 1 --prerender 3 --status-cycle 0 --size 120x90");
    // Everything is drawn before the first request: 2 channels x 2 sizes x 3.
    EXPECT_EQ(publisher->renderCount(), 12);
    QList<QByteArray> drawn;  // the JPEG after its leading APP5 segment
    QSet<QString> stamps;
    for (int k = 0; k < 6; ++k, advanceSeconds(1)) {
        const QByteArray jpeg = get(url(Demo::PicturePath(publisher->channels().at(0)))).Body;
        stamps << record(jpeg).Stamp;
        ASSERT_TRUE(quint8(jpeg[2]) == 0xFF && quint8(jpeg[3]) == 0xE5);
        drawn << jpeg.mid(4 + ((quint8(jpeg[4]) << 8) | quint8(jpeg[5])));
    }
    EXPECT_EQ(drawn[0], drawn[3]);
    EXPECT_EQ(drawn[1], drawn[4]);
    EXPECT_NE(drawn[0], drawn[1]);
    EXPECT_NE(drawn[1], drawn[2]);
    EXPECT_EQ(stamps.size(), 6);
    EXPECT_EQ(publisher->renderCount(), 12);
}

TEST_F(DemoPublisherTest, WithoutKeepAliveEveryAnswerClosesItsConnection) {
    startWith("--channels 2");
    DemoPublisher closing(options("--channels 2 --keep-alive 0"), [this] { return now.load(); });
    ASSERT_TRUE(closing.start());
    // A client that would keep the connection (the viewer asks for
    // "Connection: close" itself, so it cannot tell the two apart).
    auto connectionHeader = [&](int port) {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        const auto res = client.Get(Demo::ThumbnailPath(publisher->channels().at(0)).toStdString());
        EXPECT_TRUE(res && res->status == 200);
        return res ? QString::fromStdString(res->get_header_value("Connection")).toLower() : QString();
    };
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(connectionHeader(closing.port()), "close");
        EXPECT_NE(connectionHeader(publisher->port()), "close");
    }
}

// The program as the run command starts it: the folder it prepares points at
// it, and its options reach what it serves.
TEST_F(DemoPublisherTest, ProgramWritesTheFolderThenPrintsItsPortAndServesItsOptions) {
    TempProgramDir folder;
    QProcess program;
    program.setProgram(QStringLiteral(DEMO_PUBLISHER_PROGRAM));
    program.setArguments(QStringLiteral("--port 0 --channels 3 --size 64x48 --thumbnail-size 32x24 --reload 2 "
                                        "--status-cycle 0 --share-404 0.34 --duration 60 --keep-alive 1 --prepare")
                             .split(QLatin1Char(' '))
                         << folder.path());
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    while (!program.canReadLine() && program.state() == QProcess::Running) program.waitForReadyRead(200);
    bool isNumber = false;
    const int port = QString::fromLatin1(program.readLine()).trimmed().toInt(&isNumber);
    ASSERT_TRUE(isNumber && port > 0) << program.readAllStandardError().toStdString();

    // The folder is complete by the time the port is out.
    EXPECT_TRUE(folder.exists(QStringLiteral("Vantomon.ini")));
    int channels = 0, missing = 0;
    for (const QString& raw : mdlFunction::ReadLines(folder.file(QStringLiteral("ChannelList.txt")), true)) {
        SCOPED_TRACE(raw.toStdString());
        const TreeListLine r = ParseTreeListLine(raw);
        if (r.RecordType() == QLatin1String("ChannelList")) {
            EXPECT_EQ(r.Field(3), QStringLiteral("http://127.0.0.1:%1/list.txt").arg(port));
            const Fetched list = get(r.Field(3));
            ASSERT_TRUE(list.ok());
            EXPECT_EQ(list.Text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).size(), 3);
        }
        if (r.RecordType() != QLatin1String("Channel")) continue;
        ++channels;
        const Fetched f = get(r.Field(4));
        if (f.notFound()) {
            ++missing;
            continue;
        }
        ChannelInfomation i;
        ASSERT_TRUE(AnalyzeInfomationFile(f.Text, i));
        EXPECT_EQ(std::tuple(i.ChannelID, i.ChannelName, i.ReloadTime, i.StatusFlag),
                  std::tuple(r.Field(2), r.Field(3), 2, 0));
        EXPECT_EQ(QImage::fromData(get(i.URL).Body).size(), QSize(64, 48));
        EXPECT_EQ(QImage::fromData(get(i.ThumbnailURL).Body).size(), QSize(32, 24));
    }
    EXPECT_EQ(channels, 3);
    EXPECT_EQ(missing, 1);  // a third of three channels answer 404

    program.terminate();  // SIGTERM: a clean stop
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
