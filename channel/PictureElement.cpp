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

PictureElement* PictureElementArray::Load() { return Make(Reserve()); }

int PictureElementArray::Reserve() {
    elements_.emplace_back();
    return Count() - 1;
}

PictureElement* PictureElementArray::Make(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    std::unique_ptr<PictureElement>& slot = elements_[size_t(index)];
    if (!slot) slot = std::make_unique<PictureElement>(index);
    return slot.get();
}

void PictureElementArray::UnloadLast() {
    if (elements_.size() > 1) elements_.pop_back();
}
