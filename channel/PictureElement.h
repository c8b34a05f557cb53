#pragma once
// A picture element of the window's array imgChannelShow: a lightweight
// object (not a widget) that the show area paints. Element 0 is a hidden
// template; a channel's own element is its show box; an element registered
// with a folder for one member is a thumbnail box. A channel's show box and
// its thumbnail boxes share one decoded image (QImage is shared on copy).

#include <QImage>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

class PictureElement {
public:
    explicit PictureElement(int index) : index_(index) {}

    int Index() const { return index_; }

    QString Tag;  // ChannelID of the channel whose picture it shows
    bool Visible = false;

    const QImage& Picture() const { return picture_; }
    // With stretching off the element takes the picture's natural size; an
    // empty picture keeps the element's size.
    void setPicture(const QImage& picture);
    void clearPicture() { setPicture(QImage()); }
    bool HasPicture() const { return !picture_.isNull(); }
    QSize NaturalSize() const { return picture_.isNull() ? QSize(0, 0) : picture_.size(); }

    bool Stretch() const { return stretch_; }
    void setStretch(bool stretch);

    QRect Rect() const { return rect_; }
    int Left() const { return rect_.x(); }
    int Top() const { return rect_.y(); }
    int Width() const { return rect_.width(); }
    int Height() const { return rect_.height(); }
    void Move(int left, int top);
    void Move(int left, int top, int width, int height);

    // Changes whenever the picture changes: the painter's cache key.
    quint64 PictureSerial() const { return serial_; }

private:
    int index_;
    QImage picture_;
    bool stretch_ = false;
    QRect rect_{0, 2, 137, 105};  // the template's design rectangle
    quint64 serial_ = 0;
};

// The control array imgChannelShow: element 0 exists from the start; new
// elements are appended hidden at the template's place. A channel's show box
// is only reserved when the channel is created and made when the channel
// first shows a picture: until then it would be exactly a fresh element,
// hidden and empty, so nothing can tell the difference.
class PictureElementArray {
public:
    PictureElementArray();

    // Number of elements, reserved ones included (the next free index).
    int Count() const { return int(elements_.size()); }
    // The element, or nullptr for a reserved element not made yet (which is
    // hidden and holds no picture) and for an index out of range.
    PictureElement* Element(int index) const;
    PictureElement* operator[](int index) const { return Element(index); }

    // Creates element Count() (a copy of the template) and returns it.
    PictureElement* Load();
    // Takes index Count() for an element made later by Make.
    int Reserve();
    // Element index, made now if it was only reserved.
    PictureElement* Make(int index);
    // Removes the last element (the loader's spare); others stay for the run.
    void UnloadLast();

private:
    std::vector<std::unique_ptr<PictureElement>> elements_;
};
