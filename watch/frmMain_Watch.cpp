// The window's part of the watch: the 表示 menu's 状態を表示 and チャンネルの状態,
// the status bar's counts, the condition drawn on the boxes and shown on
// the channel tree's nodes, the health view and the desktop notifications.
// All of it sits beside the specified handlers and follows the INI section
// Watch.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/TextCompare.h"
#include "desktop/DesktopNotifications.h"
#include "navigation/ChannelTreeModel.h"
#include "view/ShowAreaWidget.h"
#include "watch/ConditionIcons.h"
#include "watch/ConditionOverlay.h"
#include "watch/FavoriteWatch.h"
#include "watch/HealthView.h"
#include "watch/WatchSettingsPage.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>

namespace {

// A left click on a widget that has no click of its own.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> clicked) : QObject(parent), clicked_(std::move(clicked)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            clicked_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> clicked_;
};

QString escaped(const QString& text) { return DesktopNotifications::EscapeMarkup(text); }

}  // namespace

void frmMain::createWatchControls() {
    // After the specified items of 表示.
    mnuShow->addSeparator();
    mShowStatusOverlay = mnuShow->addAction(QStringLiteral("状態を表示"));
    mShowStatusOverlay->setCheckable(true);
    mShowStatusOverlay->setChecked(mWatch.StatusOverlay);
    connect(mShowStatusOverlay, &QAction::triggered, this, &frmMain::mnuShowStatusOverlay_Click);
    mChannelHealth = mnuShow->addAction(QStringLiteral("チャンネルの状態"));
    mChannelHealth->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(mChannelHealth, &QAction::triggered, this, &frmMain::mnuChannelHealth_Click);

    mStatusMessage->setToolTip(QStringLiteral("クリックするとチャンネルの状態を表示します"));
    mStatusMessage->installEventFilter(new ClickFilter(mStatusMessage, [this] { mnuChannelHealth_Click(); }));

    if (mSetting) {
        mSetting->AddPage(QStringLiteral("状態と通知"), new WatchSettingsPage(&mWatch));
        connect(mSetting.get(), &QDialog::accepted, this, &frmMain::ApplyWatchSettings);
    }

    // A channel's nodes show its condition, asked when a node is drawn;
    // without the watch (before the lists are read, after the unload) the
    // plain channel image. Set while the tree is still empty.
    ChannelLook look;
    look.Icon = [this](const QString& id) {
        return mChannelWatch ? ConditionIcon(mChannelWatch->Now(id).What) : QIcon();
    };
    look.ToolTip = [this](const QString& id) {
        return mChannelWatch ? ChannelToolTip(mChannelWatch->Health(id)) : QString();
    };
    mTreeModel->SetChannelLook(std::move(look));
}

void frmMain::startWatch() {
    mChannelWatch = std::make_unique<ChannelWatch>(*mChannelManeger, WatchClock, WatchWallClock);
    mFavoriteWatch = std::make_unique<FavoriteWatch>(*mChannelManeger, *mChannelWatch, *mCurl);
    mConditionOverlay = std::make_unique<ConditionOverlay>(*mChannelWatch, mShowArea->font());
    ChannelWatch* watch = mChannelWatch.get();

    connect(watch, &ChannelWatch::WentOnAir, this, [this](const QString& id) {
        if (!mWatch.NotifyOnAir) return;
        const QString comment = mChannelWatch->InfoComment(id);
        QString body = escaped(mChannelWatch->Health(id).Name);
        if (!comment.isEmpty()) body += QLatin1Char('\n') + escaped(comment);
        notify(QStringLiteral("放送が始まりました"), body, id);
    });
    connect(watch, &ChannelWatch::FailingLong, this, [this](const QString& id) {
        if (!mWatch.NotifyFailure) return;
        const ChannelHealth h = mChannelWatch->Health(id);
        mAnnouncedFailures.insert(CaseKey(id));
        notify(QStringLiteral("受信できません"), escaped(h.Name) + QLatin1Char('\n') + escaped(h.Now.FailureText), id);
    });
    // Only the nodes of channels whose condition changed are drawn again,
    // once a tick.
    connect(watch, &ChannelWatch::ConditionsChanged, this, [this](const QStringList& ids) {
        for (const QString& id : ids) mTreeModel->ChannelLookChanged(id);
    });
    connect(watch, &ChannelWatch::Recovered, this, [this](const QString& id) {
        // Only a failure that was told of is followed by its recovery.
        if (!mAnnouncedFailures.remove(CaseKey(id))) return;
        notify(QStringLiteral("受信が回復しました"), escaped(mChannelWatch->Health(id).Name), id);
    });
    ApplyWatchSettings();
}

void frmMain::stopWatch() {
    delete mHealthView;
    mHealthView = nullptr;
    if (mShowArea) mShowArea->setOverlay(nullptr);
    mConditionOverlay.reset();
    mFavoriteWatch.reset();
    mChannelWatch.reset();
}

void frmMain::ApplyWatchSettings() {
    mShowStatusOverlay->setChecked(mWatch.StatusOverlay);
    if (!mChannelWatch) return;
    mShowArea->setOverlay(mWatch.StatusOverlay ? mConditionOverlay.get() : nullptr);
    mChannelWatch->setFailureNoticeMs(qint64(mWatch.NotifyFailureMinutes) * 60 * 1000);
    mFavoriteWatch->setEnabled(mWatch.NotifyOnAir);
    showStatusCounts();
}

void frmMain::WatchTick() {
    if (!mChannelWatch) return;
    mChannelWatch->Tick();
    mFavoriteWatch->Tick();
    showStatusCounts();
    // Ages and silences grow by the second.
    if (mWatch.StatusOverlay) mShowArea->update();
    if (mHealthView) mHealthView->Refresh();
}

void frmMain::showStatusCounts() {
    if (!mWatch.StatusOverlay || !mChannelWatch) {
        mStatusMessage->clear();
        return;
    }
    // Over the channels that a view shows; the favourites alone do not count.
    int counts[6] = {};
    for (const QString& id : mChannelWatch->Tracked()) ++counts[int(mChannelWatch->Now(id).What)];
    QStringList parts;
    for (Condition c : {Condition::Live, Condition::OffAir, Condition::Failing, Condition::Stale})
        parts << ConditionWord(c) + QLatin1Char(' ') + QString::number(counts[int(c)]);
    if (counts[int(Condition::Waiting)] > 0)
        parts << ConditionWord(Condition::Waiting) + QLatin1Char(' ') +
                     QString::number(counts[int(Condition::Waiting)]);
    const int shown = mChannelWatch->Tracked().size() - counts[int(Condition::NotViewed)];
    mStatusMessage->setText(shown > 0 ? QLatin1Char(' ') + parts.join(QStringLiteral(" · ")) : QString());
}

void frmMain::mnuShowStatusOverlay_Click() {
    // The menu has already flipped its check mark.
    mWatch.StatusOverlay = mShowStatusOverlay->isChecked();
    ApplyWatchSettings();
}

void frmMain::mnuChannelHealth_Click() {
    if (!mChannelWatch) return;
    if (!mHealthView) {
        mHealthView = new HealthView(*mChannelWatch, this);
        connect(mHealthView, &HealthView::OpenChannel, this, &frmMain::openWatchedChannel);
    }
    mHealthView->show();
    mHealthView->raise();
    mHealthView->activateWindow();
}

void frmMain::notify(const QString& summary, const QString& body, const QString& ChannelID) {
    if (!mNotifications) {
        mNotifications = new DesktopNotifications(DesktopBus ? DesktopBus() : DesktopSessionBus(), this);
        connect(mNotifications, &DesktopNotifications::Activated, this, &frmMain::openWatchedChannel);
    }
    mNotifications->Notify(summary, body, ChannelID);
}

void frmMain::openWatchedChannel(const QString& ChannelID) {
    OpenChannelTab(ChannelID);
    if (windowState() & Qt::WindowMinimized) setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}
