#pragma once
// The states of a channel's fetch cycle and what its show box holds, with
// the numbers the design gives them.

#include <QString>

enum class ChannelState {
    Stopped = 1,           // not viewed; no request
    InfoRequested = 2,     // the information file has been requested
    PictureRequested = 3,  // the picture (full or thumbnail) has been requested
    Waiting = 4,           // counting ticks to the next request
    InfoFailed = 5,        // the information request failed; passes at once into Waiting
    PictureFailed = 6,     // the picture request failed; passes at once into Waiting
    Error = 7,             // a response of the wrong kind, or one that failed analysis
};

enum class PictureKind { None = 1, Thumbnail = 2, Full = 3 };

// The state's text on the information line. A picture request names the
// picture of the view that asked for it.
QString ChannelStateText(ChannelState state, bool normalView, bool thumbnailView);

// The status word of a broadcasting status: 0 放送中, 1 休止中, 2 中止中,
// 3 情報なし; any other value has none.
QString StatusWord(int status);
