#pragma once
// A status panel whose text is cut with "…" where it does not fit, with the
// whole text as its tool tip; it never asks the window for more width.

#include <QLabel>

namespace updater {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    void SetWholeText(const QString& text);
    // What the panel shows at its present width.
    QString ShownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace updater
