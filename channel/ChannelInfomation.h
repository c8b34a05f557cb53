#pragma once
// The channel information file (key=value text) and the check of a fetched
// picture with the record a publisher may embed in its JPEG stream.

#include <QByteArray>
#include <QString>

// Fields of the information file. Each starts empty (integers 0) and is only
// ever overwritten: a key missing from a later file keeps the earlier value.
struct ChannelInfomation {
    QString ProtocolSignature;
    QString ChannelID;  // the file's ChannelID; names the cache files
    QString ChannelName;
    QString ChannelNumber;
    QString URL;
    QString ThumbnailURL;
    int ReloadTime = 0;
    QString CommentforChannel;
    int StatusFlag = 0;
    QString BroadCastStartTime;
    QString LastModified;  // key "Last-Modified"
};

// The record of an APP5 segment: status, reload seconds, stamp, comment.
struct PictureInfomation {
    int Status = 3;
    int ReloadTime = -1;
    QString Stamp;
    QString Comment;
};

// True when all five required keys (ProtocolSignature, ChannelID, URL,
// ReloadTime, Last-Modified) were seen. Values are stored as they are read.
bool AnalyzeInfomationFile(const QString& TextData, ChannelInfomation& info);

// ".jpg" for an acceptable JPEG stream (FF D8 ... FF D9 and a marker walk
// that stays inside the body), "" otherwise. An accepted stream sets
// picture (reset values, then the APP5 record); a rejected one leaves it.
QString AnalyzePicture(const QByteArray& BinaryData, PictureInfomation& picture);
