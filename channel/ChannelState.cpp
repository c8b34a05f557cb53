#include "channel/ChannelState.h"

QString ChannelStateText(ChannelState state, bool normalView, bool thumbnailView) {
    if (state == ChannelState::PictureRequested && !normalView)
        return thumbnailView ? QStringLiteral("サムネイル画像取得中") : QStringLiteral("内部エラー");
    struct Row {
        ChannelState State;
        QString Text;
    };
    static const Row kRows[] = {
        {ChannelState::Stopped, QStringLiteral("閲覧停止中")},
        {ChannelState::InfoRequested, QStringLiteral("情報取得中")},
        {ChannelState::PictureRequested, QStringLiteral("画像取得中")},
        {ChannelState::Waiting, QStringLiteral("待機中")},
        {ChannelState::InfoFailed, QStringLiteral("情報ファイルの取得に失敗")},
        {ChannelState::PictureFailed, QStringLiteral("画像ファイルの取得に失敗")},
        {ChannelState::Error, QStringLiteral("エラー発生")},
    };
    for (const Row& row : kRows)
        if (row.State == state) return row.Text;
    return QString();
}

QString StatusWord(int status) {
    switch (status) {
        case 0:
            return QStringLiteral("放送中");
        case 1:
            return QStringLiteral("休止中");
        case 2:
            return QStringLiteral("中止中");
        case 3:
            return QStringLiteral("情報なし");
        default:
            return QString();
    }
}
