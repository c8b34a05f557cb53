#include "channel/ChannelHTTPCompletion.h"

#include "channel/HTTPTransfer.h"
#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Logging.h"

ChannelHTTPCompletion::ChannelHTTPCompletion(HTTPTransferArray& http, clsChannelManeger& channels, QObject* parent)
    : QObject(parent), mHTTP(http), mChannels(channels) {}

void ChannelHTTPCompletion::netChannelHTTP_StateChanged(int Index, int State) {
    HTTPTransfer* element = mHTTP.Element(Index);
    if (!element) return;
    clsChannel* channel = mChannels.Channel(element->Tag);
    if (!channel) return;

    // The channel drops the reason of a failure; its watchers want it, and
    // only while the channel still waits for this answer.
    const bool awaited =
        channel->State() == ChannelState::InfoRequested || channel->State() == ChannelState::PictureRequested;
    auto failed = [&](const QString& reason) {
        if (awaited) mChannels.RaiseEventRequest_RequestOutcome(element->Tag, {ChannelOutcome::Failed, reason, {}, 0});
    };

    // The transfer logs its own failures (vantora.http).
    if (State == HTTPTransfer::StateError) {
        failed(element->ResponseInfo());
        channel->HTTPError(element->ResponseCode(), element->ResponseInfo());
        return;
    }
    if (State != HTTPTransfer::StateResponseCompleted) return;
    mChannels.RaiseEventRequest_RequestOutcome(element->Tag,
                                               {ChannelOutcome::Received, {}, {}, element->Body().size()});

    const QString statusLine = element->StatusLine();
    if (!statusLine.contains(QStringLiteral("200"), Qt::CaseInsensitive)) {
        qCDebug(lcChannel).noquote() << "channel" << element->Tag << "refused" << element->LastAddress() << "-"
                                     << statusLine;
        failed(statusLine);
        channel->HTTPInCorrectRespons(statusLine);
        return;
    }
    const QString contentType = element->GetHeader(QStringLiteral("Content-type"));
    const QString lastModified = element->GetHeader(QStringLiteral("Last-modified"));
    // Copies: the channel may start its next request on this element, which
    // clears the element's body, before it is done with these.
    if (contentType.contains(QStringLiteral("image"), Qt::CaseInsensitive)) {
        QByteArray bytes = element->Body();
        // An empty body reaches the channel as one zero byte, which the
        // picture check rejects.
        if (bytes.isEmpty()) bytes = QByteArray(1, '\0');
        channel->DataArrival(clsChannel::DataTypeBytes, QString(), bytes, lastModified);
    } else if (contentType.contains(QStringLiteral("text"), Qt::CaseInsensitive)) {
        const QString text = element->BodyText();
        channel->DataArrival(clsChannel::DataTypeText, text, QByteArray(), QString());
    } else {
        // Anything else is dropped; the channel is not told.
        qCDebug(lcChannel).noquote() << "channel" << element->Tag << "dropped" << element->LastAddress() << "of type"
                                     << contentType;
    }
}
