#pragma once
// The show area cntShowBox: paints the visible picture elements (natural
// size, or stretched to the element's rectangle without keeping the aspect
// ratio), the name labels lblChannelName and the red selection frame
// shpSelectedBox, and maps mouse presses, clicks and double clicks to the
// topmost visible element under the pointer. Pictures are scaled from their
// source pixels straight to the device pixels of their box, and labels are
// drawn at the device pixel ratio, so both stay sharp on any screen; both are
// cached by device size, so a repaint never scales again and a move to a
// screen of another ratio draws them anew. The area takes the focus from the
// Tab key and then shows a frame of the selection colour; the arrow keys,
// Home, End and Enter are reported to the window.

#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

#include <vector>

#include "common/MouseButtonCode.h"
#include "view/ScaledTiles.h"

class BoxOverlay;
class PictureElementArray;

struct NameLabel {
    QString Caption;
    QRect Rect{0, 0, 137, 12};  // the template: 12 pixels high
    bool Visible = false;

    // The drawn label, made again only when caption or device size change.
    QPixmap Rendered;
    QString RenderedCaption;
    QSize RenderedDeviceSize;
};

class ShowAreaWidget : public QWidget {
    Q_OBJECT
public:
    ShowAreaWidget(PictureElementArray& elements, QWidget* parent = nullptr);

    // lblChannelName: element 0 is the hidden template.
    int LabelCount() const { return int(labels_.size()); }
    NameLabel& Label(int index) { return labels_[size_t(index)]; }
    const NameLabel& Label(int index) const { return labels_[size_t(index)]; }
    void LoadLabel();  // creates label LabelCount() as a copy of the template

    // shpSelectedBox.
    QRect SelectedBoxRect;
    bool SelectedBoxVisible = false;

    // A folder's grid with ScaleTiles on: every picture fitted into its box
    // keeping its aspect ratio, and the names elided.
    bool ScaledTiles = false;

    // The topmost visible element at a point (0 when none).
    int ElementAt(const QPoint& point) const;

    // How many scaled pictures the cache holds (for tests of the cache).
    int CachedPictures() const { return int(cache_.size()); }

    // Drawing laid over the boxes; none by default. Not owned.
    void setOverlay(BoxOverlay* overlay);
    BoxOverlay* Overlay() const { return overlay_; }

signals:
    void ElementMouseDown(int Index, MouseButtonCode Button);
    void ElementClick(int Index);
    void ElementDblClick(int Index);
    // An arrow key, Home, End, Return or Enter pressed without modifiers.
    void KeyDown(int Key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Cached {
        quint64 serial = 0;
        QSize deviceSize;
        QPixmap pixmap;
    };
    const QPixmap& pixmapFor(int index, qreal ratio);
    const QPixmap& labelPixmap(NameLabel& label, qreal ratio);

    PictureElementArray& elements_;
    std::vector<NameLabel> labels_;
    QHash<int, Cached> cache_;
    ScaledTilePainter tiles_;
    int pressedIndex_ = 0;
    BoxOverlay* overlay_ = nullptr;
};
