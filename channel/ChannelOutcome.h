#pragma once
// What became of one of a channel's requests, told to whoever watches the
// channels from beside the fetch cycle (the condition badges, the health
// view, the notifications). The cycle itself never listens.

#include <QByteArray>
#include <QString>

struct ChannelOutcome {
    enum Kind {
        InfoRead,     // an information file was accepted
        PictureRead,  // a picture was accepted; Picture holds its bytes
        Refused,      // the answer had the wrong kind or failed analysis; Text says which
        Failed,       // the transfer failed or the status line was not 200; Text is the reason
        Received,     // a response body of Bytes bytes arrived
        Saved,        // a picture was saved into the picture directory
    };
    Kind What = Received;
    QString Text;
    QByteArray Picture;  // shared with the channel, not copied
    qint64 Bytes = 0;
};
