#pragma once
// Drawing that the show area lays over its boxes, kept apart from the
// area's own painting of pictures, names and the selection frame.

class PictureElement;
class QPainter;

class BoxOverlay {
public:
    virtual ~BoxOverlay() = default;
    // Called for every visible box, with or without a picture, after the
    // pictures and before the names and the selection frame; ratio is the
    // painted surface's device pixel ratio.
    virtual void PaintBox(QPainter& painter, const PictureElement& box, qreal ratio) = 0;
};
