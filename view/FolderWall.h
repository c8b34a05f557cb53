#pragma once
// A folder's pictures drawn by a widget of their own, apart from the main
// window's show area and its picture elements: the folder's grid (the same
// arithmetic and placement as the folder tab, or tiles that fill their
// cells), and during a tour the member on screen as large as the widget.
// A folder window shows both; the main window lays one over its show area
// while a folder tab tours. Pictures come from the channels themselves, so
// nothing here moves or hides an element of the main window.

#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include "view/FolderTour.h"
#include "view/ScaledTiles.h"

class clsChannel;
struct WatchSettings;

// What the views beyond the specified ones share, from the main window.
struct WallContext {
    clsChannelManeger* Channels = nullptr;
    clsMultiMonitorManeger* Folders = nullptr;
    const WatchSettings* Watch = nullptr;
    FailingChannels* Failing = nullptr;
    TourViewing* Viewing = nullptr;

    FolderTour::Context TourContext() const;
};

// The caption a channel has on its tab and under its thumbnail.
QString ChannelCaptionOf(const clsChannel* channel);

class FolderWallWidget : public QWidget {
    Q_OBJECT
public:
    FolderWallWidget(const WallContext& context, const QString& MultiMonitorID, QWidget* parent = nullptr);

    QString MultiMonitorID() const { return mMultiMonitorID; }
    // Without the grid only a tour's member is drawn (the main window's grid
    // stays visible below while the tour waits).
    void SetGridShown(bool shown);
    void SetTour(FolderTour* tour);
    FolderTour* Tour() const { return mTour; }
    // The tour's member fills the widget now.
    bool ShowsTourMember() const;

    struct Tile {
        QString ChannelID;
        QRect Box;             // the picture's element rectangle
        QRect Label;           // its name under it
        bool Fitted = false;   // drawn fitted into Box keeping its aspect ratio
        bool Stretch = false;  // drawn stretched to Box
    };
    // The grid as it is drawn now, in member order.
    QList<Tile> Tiles() const;
    // The picture's rectangle and the caption's during a tour.
    QRect TourPictureArea() const;

signals:
    void MemberDoubleClicked(const QString& ChannelID);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void paintGrid(QPainter& painter, qreal ratio);
    void paintTour(QPainter& painter, qreal ratio);
    QString tileAt(const QPoint& point) const;

    WallContext mContext;
    QString mMultiMonitorID;
    bool mGridShown = true;
    QPointer<FolderTour> mTour;
    ScaledTilePainter mTiles;
    QString mPressed;
};
