// The demo publisher's output, fetched over real HTTP with the viewer's
// transfer object and checked with the viewer's own analysis.
#include <gtest/gtest.h>

#include "Fetch.h"
#include "TempProgramDir.h"
#include "channel/ChannelInfomation.h"
#include "common/Cp932.h"
#include "tools/demo_publisher/DemoPublisher.h"

#include <httplib.h>

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

#include <atomic>
#include <memory>

namespace {

// 2026-03-01 09:00:00 UTC plus a little, so periods do not start exactly now.
constexpr qint64 kStartMs = 1772355600000LL + 400;

QString localStamp(qint64 secs) {
    return QDateTime::fromSecsSinceEpoch(secs).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

qint64 stampSeconds(const QString& stamp) {
    return QDateTime::fromString(stamp, QStringLiteral("yyyy/MM/dd HH:mm:ss")).toSecsSinceEpoch();
}

QDateTime httpDate(const QString& text) {
    QDateTime t = QLocale::c().toDateTime(text, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    t.setTimeZone(QTimeZone::utc());
    return t;
}

// The JPEG without its leading APP5 segment: what was drawn, not the record.
QByteArray drawnPart(const QByteArray& jpeg) {
    if (jpeg.size() < 6 || quint8(jpeg[2]) != 0xFF || quint8(jpeg[3]) != 0xE5) return jpeg;
    const int length = (quint8(jpeg[4]) << 8) | quint8(jpeg[5]);
    return jpeg.mid(4 + length);
}

class DemoPublisherTest : public ::testing::Test {
protected:
    void startWith(DemoOptions options) {
        options.KeepAliveSeconds = 1;
        publisher = std::make_unique<DemoPublisher>(options, [this] { return now.load(); });
        QString error;
        ASSERT_TRUE(publisher->start(&error)) << error.toStdString();
    }
    void advanceSeconds(int s) { now += qint64(s) * 1000; }
    QString url(const QString& path) const { return publisher->baseUrl() + path; }

    // Fetches and analyses one channel's information file.
    ChannelInfomation info(const DemoChannel& c) {
        const Fetched f = fetch.get(url(Demo::InfoPath(c)));
        EXPECT_TRUE(f.ok()) << f.StatusLine.toStdString();
        ChannelInfomation out;
        EXPECT_TRUE(AnalyzeInfomationFile(f.Text, out)) << c.ChannelID.toStdString();
        return out;
    }

    std::atomic<qint64> now{kStartMs};
    std::unique_ptr<DemoPublisher> publisher;
    Fetcher fetch;  // declared last: its connections close before the server stops
};

TEST_F(DemoPublisherTest, InformationFilesPassTheViewersAnalysis) {
    DemoOptions o;
    o.Channels = 6;
    o.ReloadSeconds = 5;
    o.StatusCycleSeconds = 60;
    startWith(o);
    const qint64 periodStart = kStartMs / 1000 / 5 * 5;

    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        const Fetched f = fetch.get(url(Demo::InfoPath(c)));
        ASSERT_TRUE(f.ok());
        EXPECT_EQ(f.ContentType, "text/plain");  // no charset: CP932 by default
        // CP932 on the wire, CR LF line ends.
        EXPECT_TRUE(f.Body.contains(Cp932::encode(c.ChannelName)));
        EXPECT_FALSE(f.Body.contains(c.ChannelName.toUtf8()));
        EXPECT_EQ(f.Body.count("\n"), f.Body.count("\r\n"));

        ChannelInfomation i;
        ASSERT_TRUE(AnalyzeInfomationFile(f.Text, i));
        EXPECT_EQ(i.ProtocolSignature, Demo::ProtocolSignature);
        EXPECT_EQ(i.ChannelID, c.ChannelID);
        EXPECT_EQ(i.ChannelName, c.ChannelName);
        EXPECT_EQ(i.ChannelNumber, QString::number(c.Index + 1));
        EXPECT_EQ(i.URL, url(QStringLiteral("/ch/%1/picture.jpg").arg(c.ChannelID)));
        EXPECT_EQ(i.ThumbnailURL, url(QStringLiteral("/ch/%1/thumbnail.jpg").arg(c.ChannelID)));
        EXPECT_EQ(i.ReloadTime, 5);
        EXPECT_EQ(i.CommentforChannel, c.Comment);
        EXPECT_FALSE(i.CommentforChannel.contains(QLatin1Char(',')));
        EXPECT_TRUE(i.StatusFlag >= 0 && i.StatusFlag <= 2) << i.StatusFlag;
        EXPECT_EQ(i.LastModified, localStamp(periodStart));
        // The broadcast started within the last cycle, not in the future.
        const qint64 started = stampSeconds(i.BroadCastStartTime);
        EXPECT_LE(started, periodStart);
        EXPECT_GT(started, periodStart - 60);
    }
}

TEST_F(DemoPublisherTest, PicturesCarryTheRecordOfTheInformationFile) {
    DemoOptions o;
    o.Channels = 5;
    o.ReloadSeconds = 7;
    o.StatusCycleSeconds = 30;
    o.PictureSize = QSize(320, 200);
    o.ThumbnailSize = QSize(96, 60);
    startWith(o);

    QSet<int> statuses;
    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        const ChannelInfomation i = info(c);
        statuses << i.StatusFlag;
        for (const auto& [address, size] : {std::pair{i.URL, o.PictureSize}, std::pair{i.ThumbnailURL, o.ThumbnailSize}}) {
            const Fetched f = fetch.get(address);
            ASSERT_TRUE(f.ok()) << address.toStdString();
            EXPECT_EQ(f.ContentType, "image/jpeg");
            PictureInfomation p;
            ASSERT_EQ(AnalyzePicture(f.Body, p), ".jpg");
            EXPECT_EQ(p.Status, i.StatusFlag);
            EXPECT_EQ(p.ReloadTime, i.ReloadTime);
            EXPECT_EQ(p.Stamp, i.LastModified);
            EXPECT_EQ(p.Comment, i.CommentforChannel);
            // The header names the same moment as the stamp.
            ASSERT_FALSE(f.LastModified.isEmpty());
            EXPECT_EQ(httpDate(f.LastModified).toSecsSinceEpoch(), stampSeconds(p.Stamp)) << f.LastModified.toStdString();
            const QImage image = QImage::fromData(f.Body);
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.size(), size);
        }
    }
    // Five channels with random phases do not all share one status here;
    // if they did, the phases would not be spread.
    EXPECT_GT(statuses.size(), 1);
}

TEST_F(DemoPublisherTest, PictureChangesEveryPeriodAndIsDrawnOncePerPeriod) {
    DemoOptions o;
    o.Channels = 3;
    o.ReloadSeconds = 5;
    o.StatusCycleSeconds = 0;  // always on air: only the clock moves
    startWith(o);
    const DemoChannel& c = publisher->channels().at(1);
    const QString address = url(Demo::PicturePath(c));

    const qint64 before = publisher->renderCount();
    const Fetched first = fetch.get(address);
    advanceSeconds(1);  // same period
    const Fetched again = fetch.get(address);
    ASSERT_TRUE(first.ok() && again.ok());
    EXPECT_EQ(first.Body, again.Body);
    EXPECT_EQ(publisher->renderCount(), before + 1);

    advanceSeconds(5);  // next period
    const Fetched next = fetch.get(address);
    ASSERT_TRUE(next.ok());
    EXPECT_NE(next.Body, first.Body);
    EXPECT_NE(next.LastModified, first.LastModified);
    EXPECT_EQ(publisher->renderCount(), before + 2);

    PictureInfomation p1, p2;
    ASSERT_EQ(AnalyzePicture(first.Body, p1), ".jpg");
    ASSERT_EQ(AnalyzePicture(next.Body, p2), ".jpg");
    EXPECT_EQ(stampSeconds(p2.Stamp) - stampSeconds(p1.Stamp), 5);
    EXPECT_EQ(p1.Status, 0);
    EXPECT_EQ(p2.Status, 0);
    // The drawing changed too (the clock), not only the record.
    EXPECT_NE(QImage::fromData(first.Body), QImage::fromData(next.Body));

    // A thumbnail is drawn when it is asked for, not with the picture.
    const qint64 drawn = publisher->renderCount();
    ASSERT_TRUE(fetch.get(url(Demo::ThumbnailPath(c))).ok());
    EXPECT_EQ(publisher->renderCount(), drawn + 1);
}

TEST_F(DemoPublisherTest, StatusesFollowTheCycleAndAgreeBetweenInfoAndPicture) {
    DemoOptions o;
    o.Channels = 8;
    o.ReloadSeconds = 2;
    o.StatusCycleSeconds = 20;
    o.PictureSize = o.ThumbnailSize = QSize(48, 32);
    startWith(o);
    const int steps = 2 * 20 / 2;  // two whole cycles

    QList<QList<int>> sequences;
    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        now = kStartMs;
        QList<int> seen;
        for (int step = 0; step < steps; ++step) {
            const ChannelInfomation i = info(c);
            PictureInfomation p;
            ASSERT_EQ(AnalyzePicture(fetch.get(i.ThumbnailURL).Body, p), ".jpg");
            EXPECT_EQ(p.Status, i.StatusFlag) << "step " << step;
            seen << i.StatusFlag;
            advanceSeconds(2);
        }
        // All three statuses, in the order 0 -> 1 -> 2 -> 0, repeating each cycle.
        EXPECT_TRUE(seen.contains(0) && seen.contains(1) && seen.contains(2));
        for (int k = 1; k < steps; ++k) {
            const int from = seen[k - 1], to = seen[k];
            EXPECT_TRUE(from == to || to == (from + 1) % 3) << from << " -> " << to;
        }
        EXPECT_EQ(seen.mid(0, steps / 2), seen.mid(steps / 2));
        // On air most of the cycle.
        EXPECT_GE(seen.count(0), steps / 2);
        sequences << seen;
    }
    EXPECT_GT(QSet<QList<int>>(sequences.begin(), sequences.end()).size(), 1) << "every channel in step";
}

TEST_F(DemoPublisherTest, WithoutACycleEveryChannelStaysOnAir) {
    DemoOptions o;
    o.Channels = 4;
    o.ReloadSeconds = 3;
    o.StatusCycleSeconds = 0;
    startWith(o);
    for (int step = 0; step < 5; ++step) {
        for (const DemoChannel& c : publisher->channels()) EXPECT_EQ(info(c).StatusFlag, 0);
        advanceSeconds(997);
    }
}

TEST_F(DemoPublisherTest, FaultSharesHitTheChannelsTheSeedChooses) {
    DemoOptions o;
    o.Channels = 20;
    o.NotFoundShare = 0.2;
    o.SlowShare = 0.1;
    o.SlowDelayMs = 300;
    o.BrokenShare = 0.15;
    o.Seed = 7;
    o.ReloadSeconds = 4;
    o.PictureSize = QSize(64, 48);

    // The seed alone decides which channels misbehave.
    auto faults = [](const DemoOptions& options) {
        QList<DemoFault> out;
        for (const DemoChannel& c : Demo::MakeCatalog(options)) out << c.Fault;
        return out;
    };
    EXPECT_EQ(faults(o), faults(o));
    DemoOptions other = o;
    other.Seed = 8;
    EXPECT_NE(faults(o), faults(other));
    const QList<DemoFault> chosen = faults(o);
    EXPECT_EQ(chosen.count(DemoFault::NotFound), 4);
    EXPECT_EQ(chosen.count(DemoFault::Slow), 2);
    EXPECT_EQ(chosen.count(DemoFault::BrokenJpeg), 3);

    startWith(o);
    for (const DemoChannel& c : publisher->channels()) {
        SCOPED_TRACE(c.ChannelID.toStdString());
        const Fetched i = fetch.get(url(Demo::InfoPath(c)));
        ASSERT_EQ(i.State, 12);
        switch (c.Fault) {
        case DemoFault::NotFound:
            EXPECT_TRUE(i.StatusLine.startsWith(QLatin1String("HTTP/1.1 404"))) << i.StatusLine.toStdString();
            EXPECT_TRUE(fetch.get(url(Demo::PicturePath(c))).StatusLine.contains(QLatin1String("404")));
            EXPECT_TRUE(fetch.get(url(Demo::ThumbnailPath(c))).StatusLine.contains(QLatin1String("404")));
            break;
        case DemoFault::Slow: {
            EXPECT_TRUE(i.ok());
            EXPECT_GE(i.ElapsedMs, 300);
            const Fetched p = fetch.get(url(Demo::PicturePath(c)));
            EXPECT_GE(p.ElapsedMs, 300);
            PictureInfomation record;
            EXPECT_EQ(AnalyzePicture(p.Body, record), ".jpg");
            break;
        }
        case DemoFault::BrokenJpeg: {
            EXPECT_TRUE(i.ok());
            // One period a cut-off stream the marker walk rejects, the next a
            // stream that passes it but holds no image.
            int rejected = 0, undecodable = 0;
            for (int k = 0; k < 2; ++k) {
                const Fetched p = fetch.get(url(Demo::PicturePath(c)));
                ASSERT_TRUE(p.ok());
                PictureInfomation record;
                if (AnalyzePicture(p.Body, record).isEmpty()) {
                    ++rejected;
                } else {
                    EXPECT_TRUE(QImage::fromData(p.Body).isNull());
                    EXPECT_FALSE(record.Stamp.isEmpty());  // the record survives, the image does not
                    ++undecodable;
                }
                advanceSeconds(4);
            }
            EXPECT_EQ(rejected, 1);
            EXPECT_EQ(undecodable, 1);
            break;
        }
        case DemoFault::None: {
            EXPECT_TRUE(i.ok());
            const Fetched p = fetch.get(url(Demo::PicturePath(c)));
            PictureInfomation record;
            EXPECT_EQ(AnalyzePicture(p.Body, record), ".jpg");
            EXPECT_FALSE(QImage::fromData(p.Body).isNull());
            break;
        }
        }
    }
}

TEST_F(DemoPublisherTest, ChannelListNamesEveryChannelWithAnAnsweringInfoFile) {
    DemoOptions o;
    o.Channels = 12;
    startWith(o);
    const Fetched f = fetch.get(publisher->listUrl());
    ASSERT_TRUE(f.ok());
    EXPECT_TRUE(f.ContentType.contains(QLatin1String("text")));
    EXPECT_TRUE(f.Body.endsWith("\r\n"));

    const QStringList lines = f.Text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    QSet<QString> ids, groups;
    static const QRegularExpression dotted(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+){2,}$"));
    for (const QString& line : lines) {
        SCOPED_TRACE(line.toStdString());
        const QStringList fields = line.split(QLatin1Char(','));
        ASSERT_EQ(fields.size(), 3);
        EXPECT_TRUE(dotted.match(fields[0]).hasMatch());
        ids << fields[0];
        groups << fields[0].section(QLatin1Char('.'), 0, -2);
        ChannelInfomation i;
        const Fetched answer = fetch.get(fields[2]);
        ASSERT_TRUE(answer.ok());
        ASSERT_TRUE(AnalyzeInfomationFile(answer.Text, i));
        EXPECT_EQ(i.ChannelID, fields[0]);
        EXPECT_EQ(i.ProtocolSignature, fields[1]);
    }
    EXPECT_EQ(ids.size(), 12);
    EXPECT_GE(groups.size(), 3);
}

TEST_F(DemoPublisherTest, PrerenderedFramesRepeatWhileTheRecordMovesOn) {
    DemoOptions o;
    o.Channels = 2;
    o.ReloadSeconds = 1;
    o.PrerenderFrames = 3;
    o.StatusCycleSeconds = 0;
    o.PictureSize = QSize(120, 90);
    startWith(o);
    // Everything is drawn before the first request: 2 channels x 2 sizes x 3.
    EXPECT_EQ(publisher->renderCount(), 12);

    const QString address = url(Demo::PicturePath(publisher->channels().at(0)));
    QList<QByteArray> drawn;
    QStringList stamps;
    for (int k = 0; k < 6; ++k) {
        const Fetched f = fetch.get(address);
        PictureInfomation p;
        ASSERT_EQ(AnalyzePicture(f.Body, p), ".jpg");
        drawn << drawnPart(f.Body);
        stamps << p.Stamp;
        advanceSeconds(1);
    }
    EXPECT_EQ(drawn[0], drawn[3]);
    EXPECT_EQ(drawn[1], drawn[4]);
    EXPECT_NE(drawn[0], drawn[1]);
    EXPECT_NE(drawn[1], drawn[2]);
    EXPECT_EQ(QSet<QString>(stamps.begin(), stamps.end()).size(), 6);
    EXPECT_EQ(publisher->renderCount(), 12);
}

TEST_F(DemoPublisherTest, UnknownAddressesAnswer404) {
    DemoOptions o;
    o.Channels = 2;
    startWith(o);
    for (const char* path : {"/ch/demo.nowhere.cam01/info.txt", "/ch/demo.tokyo.cam01/other.jpg", "/"}) {
        const Fetched f = fetch.get(url(QString::fromLatin1(path)));
        EXPECT_EQ(f.State, 12);
        EXPECT_TRUE(f.StatusLine.contains(QLatin1String("404"))) << path;
    }
}

TEST_F(DemoPublisherTest, WithoutKeepAliveEveryAnswerClosesItsConnection) {
    DemoOptions o;
    o.Channels = 2;
    publisher = std::make_unique<DemoPublisher>(o, [this] { return now.load(); });
    o.KeepAliveSeconds = 0;
    DemoPublisher closing(o, [this] { return now.load(); });
    ASSERT_TRUE(publisher->start());
    ASSERT_TRUE(closing.start());

    // A client that would keep the connection (the viewer asks for
    // "Connection: close" itself, so it cannot tell the two apart).
    auto connectionHeader = [&](int port, const QString& path) {
        httplib::Client client("127.0.0.1", port);
        client.set_keep_alive(true);
        const auto res = client.Get(path.toStdString());
        EXPECT_TRUE(res && res->status == 200);
        return res ? QString::fromStdString(res->get_header_value("Connection")).toLower() : QString();
    };
    const QString path = Demo::ThumbnailPath(publisher->channels().at(0));
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(connectionHeader(closing.port(), path), "close");
        EXPECT_NE(connectionHeader(publisher->port(), path), "close");
    }
}

TEST_F(DemoPublisherTest, ProgramPrintsItsPortFirstAndWritesTheFolderBefore) {
    TempProgramDir folder;
    QProcess program;
    program.setProgram(QStringLiteral(DEMO_PUBLISHER_PROGRAM));
    program.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--channels"),
                          QStringLiteral("3"), QStringLiteral("--duration"), QStringLiteral("60"),
                          QStringLiteral("--keep-alive"), QStringLiteral("1"),
                          QStringLiteral("--prepare"), folder.path()});
    program.start();
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    while (!program.canReadLine() && program.state() == QProcess::Running) program.waitForReadyRead(200);
    bool isNumber = false;
    const int port = QString::fromLatin1(program.readLine()).trimmed().toInt(&isNumber);
    ASSERT_TRUE(isNumber && port > 0) << program.readAllStandardError().toStdString();

    // The folder is complete by the time the port is out, and names this port.
    const QString list = Cp932::decode(folder.read(QStringLiteral("ChannelList.txt")));
    EXPECT_TRUE(list.contains(QStringLiteral("http://127.0.0.1:%1/list.txt").arg(port)));
    EXPECT_TRUE(folder.exists(QStringLiteral("Vantomon.ini")));

    const Fetched f = fetch.get(QStringLiteral("http://127.0.0.1:%1/list.txt").arg(port));
    ASSERT_TRUE(f.ok());
    EXPECT_EQ(f.Text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).size(), 3);

    program.terminate();  // SIGTERM: a clean stop
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
