#include "channel/PictureElement.h"

void PictureElement::setPicture(const QImage& picture) {
    picture_ = picture;
    ++serial_;
    if (!stretch_ && !picture_.isNull()) rect_.setSize(picture_.size());
}

void PictureElement::setStretch(bool stretch) {
    stretch_ = stretch;
    if (!stretch_ && !picture_.isNull()) rect_.setSize(picture_.size());
}

void PictureElement::Move(int left, int top) { rect_.moveTo(left, top); }

void PictureElement::Move(int left, int top, int width, int height) {
    rect_ = QRect(left, top, qMax(0, width), qMax(0, height));
}

PictureElementArray::PictureElementArray() { elements_.push_back(std::make_unique<PictureElement>(0)); }

PictureElement* PictureElementArray::Element(int index) const {
    if (index < 0 || index >= int(elements_.size())) return nullptr;
    return elements_[size_t(index)].get();
}

PictureElement* PictureElementArray::Load() {
    elements_.push_back(std::make_unique<PictureElement>(int(elements_.size())));
    return elements_.back().get();
}

void PictureElementArray::UnloadLast() {
    if (elements_.size() > 1) elements_.pop_back();
}
