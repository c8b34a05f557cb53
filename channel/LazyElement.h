#pragma once
// An element of a control array (netChannelHTTP, imgChannelShow) that a
// channel owns. Its index is taken when the channel is created, in creation
// order as always; the object itself is made the first time the channel needs
// it, so a list of 100 000 channels of which a few are ever shown holds a few
// transfer objects and show boxes, not 100 000 of each. An element that was
// made already (tests, a box handed over by a caller) is held as it is.
//
// Array must offer Element* Make(int index): the element of that index,
// made now if it was only reserved.

template <class Array, class Element>
class LazyElement {
public:
    LazyElement() = default;
    LazyElement(Element* made) : made_(made) {}  // implicit: an element made already
    LazyElement(Array& array, int index) : array_(&array), index_(index) {}

    // The element, or nullptr while it has not been needed.
    Element* IfMade() const { return made_; }
    // The element, made now if needed; *fresh says whether this call made it.
    Element* Get(bool* fresh = nullptr) const {
        const bool make = !made_ && array_;
        if (make) made_ = array_->Make(index_);
        if (fresh) *fresh = make && made_;
        return made_;
    }

private:
    Array* array_ = nullptr;
    int index_ = 0;
    mutable Element* made_ = nullptr;
};

class HTTPTransfer;
class HTTPTransferArray;
class PictureElement;
class PictureElementArray;

// A channel's show box and transfer object.
using ShowBoxElement = LazyElement<PictureElementArray, PictureElement>;
using TransferElement = LazyElement<HTTPTransferArray, HTTPTransfer>;
