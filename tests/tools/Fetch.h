#pragma once
// One GET through the viewer's own transfer object, waited for.

#include "channel/HTTPTransfer.h"

#include <QElapsedTimer>
#include <QSignalSpy>

struct Fetched {
    int State = 0;  // 12 completed, 11 error, 0 no answer in time
    QString StatusLine;
    QString ContentType;
    QString LastModified;
    QByteArray Body;
    QString Text;  // decoded as the viewer decodes text bodies
    qint64 ElapsedMs = 0;
    bool ok() const { return State == 12 && StatusLine.contains(QLatin1String(" 200 ")); }
};

class Fetcher {
public:
    Fetched get(const QString& url, int timeoutMs = 15000) {
        Fetched f;
        QSignalSpy spy(transfer_, &HTTPTransfer::StateChanged);
        QElapsedTimer clock;
        clock.start();
        transfer_->Execute(url, QStringLiteral("GET"));
        if (!spy.wait(timeoutMs)) return f;
        f.ElapsedMs = clock.elapsed();
        f.State = spy.takeFirst().at(1).toInt();
        if (f.State != 12) return f;
        const QString header = transfer_->GetHeader();
        f.StatusLine = header.left(header.indexOf(QLatin1String("\r\n")));
        f.ContentType = transfer_->GetHeader(QStringLiteral("Content-type"));
        f.LastModified = transfer_->GetHeader(QStringLiteral("Last-modified"));
        f.Body = transfer_->Body();
        f.Text = transfer_->BodyText();
        return f;
    }

private:
    HTTPTransferArray array_;
    HTTPTransfer* transfer_ = array_.getNewHTTPObject(20, QString(), false);
};
