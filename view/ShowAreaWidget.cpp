#include "view/ShowAreaWidget.h"

#include "channel/PictureElement.h"
#include "view/BoxOverlay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <iterator>

namespace {
QSize deviceSizeOf(const QSize& logical, qreal ratio) {
    return QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio));
}
}  // namespace

ShowAreaWidget::ShowAreaWidget(PictureElementArray& elements, QWidget* parent) : QWidget(parent), elements_(elements) {
    setObjectName(QStringLiteral("cntShowBox"));
    labels_.emplace_back();
    setAutoFillBackground(false);
    setFocusPolicy(Qt::TabFocus);
}

void ShowAreaWidget::LoadLabel() { labels_.push_back(labels_.front()); }

void ShowAreaWidget::setOverlay(BoxOverlay* overlay) {
    if (overlay_ == overlay) return;
    overlay_ = overlay;
    update();
}

int ShowAreaWidget::ElementAt(const QPoint& point) const {
    for (int i = elements_.Count() - 1; i >= 1; --i) {
        const PictureElement* e = elements_.Element(i);
        if (e && e->Visible && e->Rect().contains(point)) return i;
    }
    return 0;
}

const QPixmap& ShowAreaWidget::pixmapFor(int index, qreal ratio) {
    const PictureElement* e = elements_.Element(index);
    const QSize device = deviceSizeOf(e->Stretch() ? e->Rect().size() : e->NaturalSize(), ratio);
    Cached& c = cache_[index];
    if (c.serial != e->PictureSerial() || c.deviceSize != device || c.pixmap.isNull()) {
        c.serial = e->PictureSerial();
        c.deviceSize = device;
        // From the source pixels straight to the device pixels: scaling to
        // the logical size first would throw away half the detail at ratio 2.
        const QImage& picture = e->Picture();
        c.pixmap = picture.size() == device
                       ? QPixmap::fromImage(picture)
                       : QPixmap::fromImage(picture.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        c.pixmap.setDevicePixelRatio(ratio);
    }
    return c.pixmap;
}

const QPixmap& ShowAreaWidget::labelPixmap(NameLabel& label, qreal ratio) {
    // Text layout is the costly part of a grid's paint: each label is laid
    // out once, at the device's resolution, and then drawn as a picture.
    const QSize device = deviceSizeOf(label.Rect.size(), ratio);
    if (label.RenderedDeviceSize != device || label.RenderedCaption != label.Caption || label.Rendered.isNull()) {
        label.Rendered = QPixmap(device);
        label.Rendered.setDevicePixelRatio(ratio);
        // The colours of the information labels: the window text colour on
        // the window colour, as the system draws a text field.
        label.Rendered.fill(palette().color(QPalette::Base));
        QPainter p(&label.Rendered);
        p.setFont(font());
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRect(QPoint(0, 0), label.Rect.size()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   label.Caption);
        label.RenderedCaption = label.Caption;
        label.RenderedDeviceSize = device;
    }
    return label.Rendered;
}

void ShowAreaWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The ratio of the surface actually painted: the screen's backing store,
    // or the image of a grab or render.
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    painter.fillRect(event->rect(), palette().window());
    const QRect dirty = event->rect();
    for (int i = 1; i < elements_.Count(); ++i) {
        const PictureElement* e = elements_.Element(i);
        if (!e || !e->Visible || !e->Rect().intersects(dirty)) continue;
        if (e->Rect().isEmpty()) continue;
        if (e->HasPicture()) {
            if (ScaledTiles) {
                tiles_.DrawPicture(painter, quintptr(e), e->Picture(), e->PictureSerial(), e->Rect(), ratio);
            } else {
                painter.drawPixmap(e->Rect().topLeft(), pixmapFor(i, ratio));
            }
        }
        if (overlay_) overlay_->PaintBox(painter, *e, ratio);
    }
    for (size_t i = 1; i < labels_.size(); ++i) {
        NameLabel& label = labels_[i];
        if (!label.Visible || label.Rect.isEmpty() || !label.Rect.intersects(dirty)) continue;
        painter.drawPixmap(label.Rect.topLeft(),
                           ScaledTiles
                               ? tiles_.Label(i, label.Caption, label.Rect.size(), ratio, font(),
                                              palette().color(QPalette::WindowText), palette().color(QPalette::Window))
                               : labelPixmap(label, ratio));
    }
    if (SelectedBoxVisible) {
        painter.setPen(QPen(QColor(255, 0, 0), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(SelectedBoxRect.adjusted(0, 0, -1, -1));
    }
    if (hasFocus()) {
        // The keyboard's place: a frame of the selection colour along the edge.
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void ShowAreaWidget::mousePressEvent(QMouseEvent* event) {
    pressedIndex_ = ElementAt(event->position().toPoint());
    if (pressedIndex_ > 0) emit ElementMouseDown(pressedIndex_, ButtonCodeOf(event->button()));
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
        emit ElementMouseDown(index, ButtonCodeOf(event->button()));
        emit ElementDblClick(index);
    }
}

void ShowAreaWidget::keyPressEvent(QKeyEvent* event) {
    static const int keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,     Qt::Key_Down,
                               Qt::Key_Home, Qt::Key_End,   Qt::Key_Return, Qt::Key_Enter};
    if ((event->modifiers() & ~Qt::KeypadModifier) ||
        std::find(std::begin(keys), std::end(keys), event->key()) == std::end(keys))
        return QWidget::keyPressEvent(event);
    emit KeyDown(event->key());
}
