// The demo publisher as the run command starts it, read with the viewer's
// transfer and analysis: its folder points at it, and it serves what the
// programs read.
#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "channel/ChannelInfomation.h"
#include "channel/HTTPTransfer.h"
#include "common/Cp932.h"
#include "common/mdlFunction.h"
#include "storage/TreeListFormat.h"

#include <QImage>
#include <QProcess>
#include <QSignalSpy>

namespace {

TEST(DemoPublisher, PreparesItsFolderThenServesWhatTheProgramsRead) {
    TempProgramDir folder;
    QProcess program;
    program.start(QStringLiteral(DEMO_PUBLISHER_PROGRAM),
                  QStringLiteral("--port 0 --channels 3 --size 64x48 --thumbnail-size 32x24 --reload 2 "
                                 "--status-cycle 0 --share-404 0.34 --duration 60 --keep-alive 1 --prepare")
                          .split(' ')
                      << folder.path());
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    while (!program.canReadLine() && program.state() == QProcess::Running) program.waitForReadyRead(200);
    const int port = program.readLine().trimmed().toInt();
    ASSERT_GT(port, 0) << program.readAllStandardError().toStdString();

    CurlMulti curl;
    HTTPTransferArray transfers{curl};
    HTTPTransfer* t = transfers.getNewHTTPObject(20, QString(), false);
    auto get = [t](const QString& address) {  // the status line, or the failure
        QSignalSpy spy(t, &HTTPTransfer::StateChanged);
        t->Execute(address, QStringLiteral("GET"));
        return spy.wait(15000) ? (t->StatusLine().isEmpty() ? t->ResponseInfo() : t->StatusLine()) : QString();
    };
    // The folder is complete by the time the port is out; its list names
    // the publisher's list, whose lines are "id,signature,info URL".
    QHash<QString, QStringList> listed;
    int channels = 0, missing = 0;
    for (const QString& raw : mdlFunction::ReadLines(folder.file(QStringLiteral("ChannelList.txt")), true)) {
        const TreeListLine r = ParseTreeListLine(raw);
        if (r.RecordType() == QLatin1String("ChannelList")) {
            EXPECT_EQ(r.Field(3), QStringLiteral("http://127.0.0.1:%1/list.txt").arg(port));
            ASSERT_EQ(get(r.Field(3)), "HTTP/1.1 200 OK");
            EXPECT_TRUE(t->Body().endsWith("\r\n"));
            for (const QString& line : t->BodyText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
                listed.insert(line.section(',', 0, 0), line.split(','));
            EXPECT_EQ(listed.size(), 3);
        }
        if (r.RecordType() != QLatin1String("Channel")) continue;
        ++channels;
        const QString id = r.Field(2);
        EXPECT_EQ(listed.value(id).value(2), r.Field(4)) << id.toStdString();
        if (get(r.Field(4)) == "HTTP/1.1 404 Not Found") {
            ++missing;
            continue;
        }
        // Information files in CP932 with CR LF, without a charset.
        EXPECT_EQ(t->GetHeader(QStringLiteral("Content-Type")), "text/plain");
        EXPECT_TRUE(t->Body().contains(Cp932::encode(r.Field(3))) && !t->Body().contains(r.Field(3).toUtf8()));
        EXPECT_EQ(t->Body().count("\n"), t->Body().count("\r\n"));
        ChannelInfomation i;
        ASSERT_TRUE(AnalyzeInfomationFile(t->BodyText(), i)) << id.toStdString();
        EXPECT_EQ(std::tuple(i.ChannelID, i.ChannelName, i.ProtocolSignature, i.ReloadTime, i.StatusFlag),
                  std::tuple(id, r.Field(3), listed.value(id).value(1), 2, 0));
        // Pictures of the sizes asked for, whose APP5 record agrees with the information file.
        for (const auto& [address, size] :
             {std::pair{i.URL, QSize(64, 48)}, std::pair{i.ThumbnailURL, QSize(32, 24)}}) {
            ASSERT_EQ(get(address), "HTTP/1.1 200 OK");
            EXPECT_EQ(t->GetHeader(QStringLiteral("Content-Type")), "image/jpeg");
            EXPECT_EQ(QImage::fromData(t->Body()).size(), size);
            PictureInfomation p;
            EXPECT_EQ(AnalyzePicture(t->Body(), p), ".jpg");
            // A frame may turn over between the two requests on a loaded machine.
            if (p.Stamp != i.LastModified && get(r.Field(4)) == "HTTP/1.1 200 OK")
                AnalyzeInfomationFile(t->BodyText(), i);
            EXPECT_EQ(std::tuple(p.Status, p.ReloadTime, p.Stamp, p.Comment),
                      std::tuple(i.StatusFlag, i.ReloadTime, i.LastModified, i.CommentforChannel));
        }
    }
    EXPECT_EQ(channels, 3);
    EXPECT_EQ(missing, 1);  // a third of three channels answer 404
    // The INI keeps the cache inside the folder.
    EXPECT_EQ(mdlFunction::GetIniFrom(folder.file(QStringLiteral("Vantomon.ini")), QStringLiteral("General"),
                                      QStringLiteral("ChachDirctory"), mdlFunction::IniText),
              folder.path() + QStringLiteral("/chach/"));

    program.terminate();  // SIGTERM: a clean stop
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}

}  // namespace
