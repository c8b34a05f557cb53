#pragma once
// A Listmender window on a temporary program folder, with its dialogs
// answered by the test and a helper to wait until an operation has ended.

#include <gtest/gtest.h>

#include "TempProgramDir.h"
#include "updater/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTest>
#include <QTreeWidget>

#include <memory>
#include <ostream>

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        w = std::make_unique<updater::frmMain>(dir.path());
        w->ViewerRunning = [] { return false; };
        w->InputBox = [this](QWidget*, const QString& prompt, const QString& title) {
            prompts << prompt + QLatin1Char('|') + title;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
        w->ConfirmBox = [this](QWidget*, const QString& text, const QString& title) {
            confirms << text + QLatin1Char('|') + title;
            return confirmAnswer;
        };
        w->ShowError = [this](QWidget*, const QString& text, const QString& title) {
            errors << text + QLatin1Char('|') + title;
        };
        w->ShowPopup = [this](QMenu* menu, const QPoint&) { popups << menu; };
    }

    void TearDown() override { w.reset(); }

    // Loads ChannelList.txt (if the test wrote one) as start-up does.
    void load() { ASSERT_TRUE(w->Form_Load()); }

    // Waits until the running operation has ended.
    bool waitIdle(int ms = 15000) {
        return QTest::qWaitFor([this] { return w->UpdateState() == 1; }, ms);
    }

    // チャンネルリストの追加 with the given address, to its end.
    void addList(const QString& url) {
        answers << url;
        w->mnuAddChannelList_Click();
        ASSERT_TRUE(waitIdle()) << url.toStdString();
    }

    // Selects node as a right click does and runs a popup command.
    void select(QTreeWidgetItem* node) { w->tvwChannelSelect->setCurrentItem(node); }

    QString status() const { return w->StatusText(); }

    // The tree as "depth|text" lines in pre-order.
    QStringList shape() const {
        QStringList out;
        std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* n, int d) {
            out << QString::number(d) + QLatin1Char('|') + n->text(0);
            for (int i = 0; i < n->childCount(); ++i) walk(n->child(i), d + 1);
        };
        for (int i = 0; i < w->tvwChannelSelect->topLevelItemCount(); ++i) walk(w->tvwChannelSelect->topLevelItem(i), 0);
        return out;
    }

    // The node whose shown text is text (first in pre-order).
    QTreeWidgetItem* node(const QString& text) const {
        const auto found = w->tvwChannelSelect->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }

    // Tag fields of a node, U+0001 shown as "|".
    static QString tag(const QTreeWidgetItem* n) {
        return updater::frmMain::Tag(n).replace(QChar(u'\u0001'), QLatin1Char('|'));
    }

    bool commandsEnabled() const {
        return w->mnuAddChannelList->isEnabled() && w->mnuUpdateChannelList->isEnabled() &&
               w->mnuUpdateChannel->isEnabled();
    }

    TempProgramDir dir;
    std::unique_ptr<updater::frmMain> w;
    QStringList answers;
    QStringList prompts;
    QStringList confirms;
    QStringList errors;
    QList<QMenu*> popups;
    bool confirmAnswer = true;
};

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
