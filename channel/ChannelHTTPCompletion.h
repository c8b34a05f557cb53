#pragma once
// The completion handler of netChannelHTTP: finds the channel through the
// element's tag, checks the status line and the content type, and hands the
// body, the failure or the refused status line to the channel. The main
// window owns one and connects the array's StateChanged to it.

#include <QObject>

class HTTPTransferArray;
class clsChannelManeger;

class ChannelHTTPCompletion : public QObject {
    Q_OBJECT
public:
    ChannelHTTPCompletion(HTTPTransferArray& http, clsChannelManeger& channels, QObject* parent = nullptr);

    void netChannelHTTP_StateChanged(int Index, int State);

private:
    HTTPTransferArray& mHTTP;
    clsChannelManeger& mChannels;
};
