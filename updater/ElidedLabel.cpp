#include "updater/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace updater {

void ElidedLabel::SetWholeText(const QString& text) {
    setText(text);
    setToolTip(text);
}

QString ElidedLabel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

QSize ElidedLabel::minimumSizeHint() const { return QSize(0, QLabel::minimumSizeHint().height()); }

QSize ElidedLabel::sizeHint() const { return QSize(0, QLabel::sizeHint().height()); }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(), ShownText(),
                          foregroundRole());
}

}  // namespace updater
