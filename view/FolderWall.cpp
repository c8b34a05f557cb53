#include "view/FolderWall.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Numeric.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "storage/WatchSettings.h"
#include "view/ThumbnailGrid.h"

#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>

namespace {

constexpr int kLabelHeight = 12;
constexpr int kTourCaption = 18;  // the strip under a touring member's picture
const QColor kTourBackground(0, 0, 0);
const QColor kTourText(255, 255, 255);

// What the channel's boxes hold: its latest picture, unless it has none to show.
QImage pictureOf(const clsChannel* channel) {
    return channel && channel->PictureType() != PictureKind::None ? channel->DecodedPicture() : QImage();
}

}  // namespace

FolderTour::Context WallContext::TourContext() const {
    FolderTour::Context c;
    c.Channels = Channels;
    c.Folders = Folders;
    c.Failing = Failing;
    c.Viewing = Viewing;
    const WatchSettings* watch = Watch;
    c.Seconds = [watch] { return watch ? watch->TourSeconds : WatchSettings().TourSeconds; };
    return c;
}

QString ChannelCaptionOf(const clsChannel* channel) {
    if (!channel) return QString();
    return Numeric::IsNumeric(channel->ChannelNumber())
               ? QStringLiteral("Ch.") + channel->ChannelNumber() + QLatin1Char(' ') + channel->ChannelName()
               : channel->ChannelName();
}

FolderWallWidget::FolderWallWidget(const WallContext& context, const QString& MultiMonitorID, QWidget* parent)
    : QWidget(parent), mContext(context), mMultiMonitorID(MultiMonitorID) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FolderWallWidget::SetGridShown(bool shown) {
    mGridShown = shown;
    update();
}

void FolderWallWidget::SetTour(FolderTour* tour) {
    mTour = tour;
    update();
}

bool FolderWallWidget::ShowsTourMember() const { return mTour && mTour->Running() && !mTour->Current().isEmpty(); }

QList<FolderWallWidget::Tile> FolderWallWidget::Tiles() const {
    const clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(mMultiMonitorID) : nullptr;
    if (!folder || !mContext.Channels) return {};
    // The members the folder shows now (its ShowBox rule), in member order.
    QList<const clsChannel*> shown;
    for (const QString& id : folder->Members()) {
        const clsChannel* channel = mContext.Channels->Channel(id);
        if (channel && (!folder->ShowChannelOnlyOnBroadcast() || channel->IsOnBroadcast())) shown << channel;
    }
    const ThumbnailGrid grid = ChooseThumbnailGrid(int(shown.size()), width(), height());
    if (grid.Columns == 0) return {};
    const bool scaled = mContext.Watch && mContext.Watch->ScaleTiles;
    QList<Tile> tiles;
    for (int i = 1; i <= int(shown.size()); ++i) {
        const clsChannel* channel = shown[i - 1];
        const QSize natural = pictureOf(channel).size();
        Tile tile;
        tile.ChannelID = channel->ChannelID();
        const QPoint cell = grid.CellOrigin(i);
        if (!scaled && !natural.isEmpty() && natural.width() < grid.CellWidth && natural.height() < grid.CellHeight) {
            tile.Box = QRect(cell, natural);
        } else {
            tile.Box = QRect(cell, QSize(qMax(1, grid.CellWidth), qMax(1, grid.CellHeight)));
            tile.Fitted = scaled;
            tile.Stretch = !scaled;
        }
        tile.Label = QRect(tile.Box.left(), tile.Box.bottom() + 1 + 2, tile.Box.width(), kLabelHeight);
        tiles << tile;
    }
    return tiles;
}

QRect FolderWallWidget::TourPictureArea() const { return QRect(0, 0, width(), qMax(1, height() - kTourCaption)); }

void FolderWallWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    if (ShowsTourMember()) {
        paintTour(painter, ratio);
    } else if (mGridShown) {
        paintGrid(painter, ratio);
    } else {
        painter.fillRect(rect(), kTourBackground);
    }
}

void FolderWallWidget::paintGrid(QPainter& painter, qreal ratio) {
    painter.fillRect(rect(), palette().window());
    const clsMultiMonitorFolder* folder = mContext.Folders ? mContext.Folders->MultiMonitor(mMultiMonitorID) : nullptr;
    const QString selected = folder ? folder->SelectedChannelID() : QString();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    quintptr labelSlot = 1;
    for (const Tile& tile : Tiles()) {
        const clsChannel* channel = mContext.Channels->Channel(tile.ChannelID);
        const QImage picture = pictureOf(channel);
        if (!picture.isNull()) {
            if (tile.Fitted) {
                mTiles.DrawPicture(painter, quintptr(channel), picture, quint64(picture.cacheKey()), tile.Box, ratio);
            } else {
                painter.drawImage(tile.Box, picture);
            }
        }
        painter.drawPixmap(tile.Label.topLeft(),
                           mTiles.Label(labelSlot++, ChannelCaptionOf(channel), tile.Label.size(), ratio, font(),
                                        palette().color(QPalette::WindowText), palette().color(QPalette::Window)));
        if (tile.ChannelID == selected) {
            painter.setPen(QPen(QColor(255, 0, 0), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(tile.Box.adjusted(0, 0, -1, -1));
        }
    }
}

void FolderWallWidget::paintTour(QPainter& painter, qreal ratio) {
    painter.fillRect(rect(), kTourBackground);
    const clsChannel* channel = mContext.Channels ? mContext.Channels->Channel(mTour->Current()) : nullptr;
    const QImage picture = pictureOf(channel);
    if (!picture.isNull())
        mTiles.DrawPicture(painter, quintptr(channel), picture, quint64(picture.cacheKey()), TourPictureArea(), ratio);
    QString caption = ChannelCaptionOf(channel);
    if (mTour->Paused()) caption += QStringLiteral("　（一時停止中）");
    const QRect strip(0, height() - kTourCaption, width(), kTourCaption);
    painter.drawPixmap(strip.topLeft(),
                       mTiles.Label(0, caption, strip.size(), ratio, font(), kTourText, kTourBackground));
}

QString FolderWallWidget::tileAt(const QPoint& point) const {
    if (ShowsTourMember()) return mTour->Current();
    if (!mGridShown) return QString();
    for (const Tile& tile : Tiles())
        if (tile.Box.contains(point)) return tile.ChannelID;
    return QString();
}

void FolderWallWidget::mousePressEvent(QMouseEvent* event) {
    mPressed = event->button() == Qt::LeftButton ? tileAt(event->position().toPoint()) : QString();
}

void FolderWallWidget::mouseReleaseEvent(QMouseEvent* event) {
    const QString id = tileAt(event->position().toPoint());
    if (id.isEmpty() || id != mPressed || ShowsTourMember()) return;
    // A click selects the member in this folder, as in its tab.
    if (clsMultiMonitorFolder* folder = mContext.Folders->MultiMonitor(mMultiMonitorID))
        folder->setSelectedChannelID(id);
    update();
}

void FolderWallWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QString id = tileAt(event->position().toPoint());
    if (!id.isEmpty()) emit MemberDoubleClicked(id);
}
