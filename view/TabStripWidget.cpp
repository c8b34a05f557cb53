#include "view/TabStripWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace {

constexpr int kFrame = 2;  // the client area sits this far inside the pane's frame

class MinimumWidthTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;
    int minimumTabWidth = 0;

protected:
    QSize tabSizeHint(int index) const override {
        QSize s = QTabBar::tabSizeHint(index);
        s.setWidth(qMax(s.width(), minimumTabWidth));
        return s;
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }
};

}  // namespace

TabStripWidget::TabStripWidget(QWidget* parent) : QWidget(parent), bar_(new MinimumWidthTabBar(this)) {
    setObjectName(QStringLiteral("tabChannelSelect"));
    // Reached with the Tab key; a click leaves the focus where it is.
    bar_->setFocusPolicy(Qt::TabFocus);
    bar_->setExpanding(false);
    bar_->setUsesScrollButtons(true);
    bar_->setElideMode(Qt::ElideNone);
    bar_->setDrawBase(false);
    bar_->setTabsClosable(true);
    bar_->installEventFilter(this);
    connect(bar_, &QTabBar::tabCloseRequested, this, [this](int index) { emit CloseRequested(index + 1); });
    // The strip starts with one blank tab and is never empty.
    Add(QString(), QString());
}

int TabStripWidget::Count() const { return bar_->count(); }
int TabStripWidget::SelectedIndex() const { return bar_->currentIndex() + 1; }

QString TabStripWidget::Tag(int index) const {
    return index >= 1 && index <= Count() ? bar_->tabData(index - 1).toString() : QString();
}

QString TabStripWidget::Caption(int index) const {
    return index >= 1 && index <= Count() ? bar_->tabText(index - 1) : QString();
}

void TabStripWidget::SetTag(int index, const QString& tag) {
    if (index < 1 || index > Count()) return;
    bar_->setTabData(index - 1, tag);
    showCloseButton(index);
}

void TabStripWidget::showCloseButton(int index) {
    const auto side = QTabBar::ButtonPosition(style()->styleHint(QStyle::SH_TabBar_CloseButtonPosition, nullptr, bar_));
    if (QWidget* button = bar_->tabButton(index - 1, side)) button->setVisible(!Tag(index).isEmpty());
}

void TabStripWidget::SetCaption(int index, const QString& caption) {
    if (index >= 1 && index <= Count()) bar_->setTabText(index - 1, caption);
}

int TabStripWidget::Add(const QString& caption, const QString& tag) {
    const QSignalBlocker block(bar_);
    const int i = bar_->addTab(caption);
    bar_->setTabData(i, tag);
    showCloseButton(i + 1);
    return i + 1;
}

void TabStripWidget::Remove(int index) {
    if (index < 1 || index > Count() || Count() == 1) return;
    const QSignalBlocker block(bar_);
    bar_->removeTab(index - 1);
}

void TabStripWidget::SetSelected(int index) {
    if (index < 1 || index > Count()) return;
    const QSignalBlocker block(bar_);
    bar_->setCurrentIndex(index - 1);
}

void TabStripWidget::SetMinimumTabWidth(int pixels) {
    static_cast<MinimumWidthTabBar*>(bar_)->minimumTabWidth = pixels;
    bar_->adjustSize();
    resizeEvent(nullptr);
}

TabStripMetrics TabStripWidget::Metrics() const {
    TabStripMetrics m;
    const int barHeight = bar_->sizeHint().height();
    m.ClientLeft = kFrame + 2;
    m.ClientRight = kFrame + 2;
    m.ClientBottom = kFrame + 2;
    m.ClientTop = barHeight + kFrame;
    return m;
}

bool TabStripWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != bar_) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* e = static_cast<QMouseEvent*>(event);
            emit Pressed(ButtonCodeOf(e->button()), bar_->tabAt(e->position().toPoint()) + 1);
            return true;  // the window decides what the press selects
        }
        case QEvent::MouseButtonRelease:
        case QEvent::Wheel:
            return true;
        case QEvent::KeyPress: {
            // The keys that would change the tab; the others (Tab among
            // them) go their usual way.
            const auto* keyEvent = static_cast<QKeyEvent*>(event);
            if (keyEvent->modifiers() & ~Qt::KeypadModifier) return false;
            const int key = keyEvent->key();
            const int current = SelectedIndex();
            int target = 0;
            if (key == Qt::Key_Left) target = current > 1 ? current - 1 : Count();
            if (key == Qt::Key_Right) target = current < Count() ? current + 1 : 1;
            if (key == Qt::Key_Home) target = 1;
            if (key == Qt::Key_End) target = Count();
            if (target == 0) return false;
            emit KeySelected(target);
            return true;
        }
        default:
            return false;
    }
}

void TabStripWidget::mousePressEvent(QMouseEvent* event) {
    // A press on the strip's frame, outside the tabs.
    emit Pressed(ButtonCodeOf(event->button()), 0);
}

void TabStripWidget::resizeEvent(QResizeEvent*) {
    bar_->setGeometry(kFrame, 0, qMax(0, width() - 2 * kFrame), bar_->sizeHint().height());
}

void TabStripWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    const int top = bar_->sizeHint().height() - 1;
    option.rect = QRect(0, top, width(), height() - top);
    option.shape = QTabBar::RoundedNorth;
    option.tabBarSize = bar_->size();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}
