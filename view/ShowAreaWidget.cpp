#include "view/ShowAreaWidget.h"

#include "channel/PictureElement.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
int buttonOf(Qt::MouseButton b) { return b == Qt::LeftButton ? 1 : b == Qt::RightButton ? 2 : 4; }
}  // namespace

ShowAreaWidget::ShowAreaWidget(PictureElementArray& elements, QWidget* parent)
    : QWidget(parent), elements_(elements) {
    setObjectName(QStringLiteral("cntShowBox"));
    labels_.emplace_back();
    setAutoFillBackground(false);
}

void ShowAreaWidget::LoadLabel() { labels_.push_back(labels_.front()); }

int ShowAreaWidget::ElementAt(const QPoint& point) const {
    for (int i = elements_.Count() - 1; i >= 1; --i) {
        const PictureElement* e = elements_.Element(i);
        if (e && e->Visible && e->Rect().contains(point)) return i;
    }
    return 0;
}

const QPixmap& ShowAreaWidget::pixmapFor(int index) {
    const PictureElement* e = elements_.Element(index);
    const QSize size = e->Stretch() ? e->Rect().size() : e->NaturalSize();
    Cached& c = cache_[index];
    if (c.serial != e->PictureSerial() || c.size != size || c.pixmap.isNull()) {
        c.serial = e->PictureSerial();
        c.size = size;
        const QImage& picture = e->Picture();
        c.pixmap = picture.size() == size
                       ? QPixmap::fromImage(picture)
                       : QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return c.pixmap;
}

const QPixmap& ShowAreaWidget::labelPixmap(NameLabel& label) {
    // Text layout is the costly part of a grid's paint: each label is laid
    // out once and then drawn as a picture.
    if (label.Rendered.size() != label.Rect.size() || label.RenderedCaption != label.Caption) {
        label.Rendered = QPixmap(label.Rect.size());
        label.Rendered.fill(palette().color(QPalette::Window));
        QPainter p(&label.Rendered);
        p.setFont(font());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(QPoint(0, 0), label.Rect.size()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   label.Caption);
        label.RenderedCaption = label.Caption;
    }
    return label.Rendered;
}

void ShowAreaWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    const QRect dirty = event->rect();
    for (int i = 1; i < elements_.Count(); ++i) {
        const PictureElement* e = elements_.Element(i);
        if (!e || !e->Visible || !e->HasPicture() || !e->Rect().intersects(dirty)) continue;
        if (e->Rect().isEmpty()) continue;
        painter.drawPixmap(e->Rect().topLeft(), pixmapFor(i));
    }
    for (size_t i = 1; i < labels_.size(); ++i) {
        NameLabel& label = labels_[i];
        if (!label.Visible || label.Rect.isEmpty() || !label.Rect.intersects(dirty)) continue;
        painter.drawPixmap(label.Rect.topLeft(), labelPixmap(label));
    }
    if (SelectedBoxVisible) {
        painter.setPen(QPen(QColor(255, 0, 0), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(SelectedBoxRect.adjusted(0, 0, -1, -1));
    }
}

void ShowAreaWidget::mousePressEvent(QMouseEvent* event) {
    pressedIndex_ = ElementAt(event->position().toPoint());
    if (pressedIndex_ > 0) emit ElementMouseDown(pressedIndex_, buttonOf(event->button()));
}

void ShowAreaWidget::mouseReleaseEvent(QMouseEvent* event) {
    const int index = ElementAt(event->position().toPoint());
    const int pressed = pressedIndex_;
    pressedIndex_ = 0;
    if (index > 0 && index == pressed) emit ElementClick(index);
}

void ShowAreaWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    const int index = ElementAt(event->position().toPoint());
    if (index > 0) {
        emit ElementMouseDown(index, buttonOf(event->button()));
        emit ElementDblClick(index);
    }
}
