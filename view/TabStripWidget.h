#pragma once
// The tab strip tabChannelSelect: a tab bar over a framed client area. Each
// tab has a caption and a tag. The strip never changes its selection by
// itself: presses, the tabs' close buttons and the arrow keys (the bar takes
// the focus from the Tab key, and shows it on the selected tab) are
// reported, and the window selects and closes tabs through its own
// before-click / click path. No wheel switching.

#include <QWidget>

#include "common/MouseButtonCode.h"
#include "view/MainWindowLayout.h"

class QTabBar;

class TabStripWidget : public QWidget {
    Q_OBJECT
public:
    explicit TabStripWidget(QWidget* parent = nullptr);

    // 1-based like the classic control; 0 is never a tab.
    int Count() const;
    int SelectedIndex() const;
    QString Tag(int index) const;
    QString Caption(int index) const;
    void SetTag(int index, const QString& tag);
    void SetCaption(int index, const QString& caption);
    int Add(const QString& caption, const QString& tag);  // appends, returns its index
    void Remove(int index);
    // Changes the selected tab without any notification.
    void SetSelected(int index);

    // The narrowest a tab may be, in pixels.
    void SetMinimumTabWidth(int pixels);

    // The client rectangle relative to the strip.
    TabStripMetrics Metrics() const;
    QTabBar* Bar() const { return bar_; }

signals:
    // A press on the strip: the button and the 1-based tab under the
    // pointer (0 when none).
    void Pressed(MouseButtonCode Button, int TabIndex);
    // The close button of tab TabIndex (1-based) was clicked.
    void CloseRequested(int TabIndex);
    // An arrow key, Home or End on the focused bar: the tab it points at.
    void KeySelected(int TabIndex);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The blank tab offers nothing to close.
    void showCloseButton(int index);

    QTabBar* bar_;
};
