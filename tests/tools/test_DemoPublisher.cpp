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

#include <QDateTime>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTimeZone>

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
    bool ok() const { return State == 12 && StatusLine.contains(QLatin1String(" 200 ")); }
    bool notFound() const { return State == 12 && StatusLine.startsWith(QLatin1String("HTTP/1.1 404")); }
};

class DemoPublisherTest : public ::testing::Test {
protected:
    void startWith(const char* line) {
        DemoOptions o = options(line);
        o.KeepAliveSeconds = 1;
        publisher = std::make_unique<DemoPublisher>(o, [this] { return now; });
        QString error;
        ASSERT_TRUE(publisher->start(&error)) << error.toStdString();
    }
    QString url(const QString& path) const { return publisher->baseUrl() + path; }

    // One GET through the viewer's own transfer object, waited for.
    Fetched get(const QString& address) {
        Fetched f;
        QSignalSpy spy(transfer, &HTTPTransfer::StateChanged);
        transfer->Execute(address, QStringLiteral("GET"));
        if (!spy.wait(15000)) return f;
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
    // A picture's APP5 record.
    static PictureInfomation record(const QByteArray& jpeg) {
        PictureInfomation p;
        EXPECT_EQ(AnalyzePicture(jpeg, p), ".jpg");
        return p;
    }

    qint64 now = kStartMs;
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
    // Favourites and the folder name listed channels; the INI keeps the
    // cache and pictures inside the folder.
    const QString list = Cp932::decode(folder.read(QStringLiteral("ChannelList.txt")));
    for (const char* file : {"Favorite.txt", "MultiMonitor.txt"}) {
        const QStringList lines = mdlFunction::ReadLines(folder.file(QLatin1String(file)), true);
        EXPECT_GE(lines.filter(QStringLiteral("Channel\t\t")).size(), 1) << file;
        for (const QString& line : lines.filter(QRegularExpression(QStringLiteral("Channel\t\t"))))
            EXPECT_TRUE(list.contains(line.section(QLatin1Char('\t'), -1))) << line.toStdString();
    }
    EXPECT_EQ(mdlFunction::GetIniFrom(folder.file(QStringLiteral("Vantomon.ini")), QStringLiteral("General"),
                                      QStringLiteral("ChachDirctory"), mdlFunction::IniText),
              folder.path() + QStringLiteral("/chach/"));

    program.terminate();  // SIGTERM: a clean stop
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
