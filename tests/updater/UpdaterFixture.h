#pragma once
// A Listmender window on a temporary program folder, its dialogs answered.

#include <gtest/gtest.h>

#include "Rows.h"
#include "TempProgramDir.h"
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"
#include "updater/frmMain.h"

#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTest>
#include <QTreeView>

#include <functional>
#include <memory>
#include <ostream>

// Lines joined with CR LF, one after the last, as the programs write them.
inline QByteArray crlf(const QStringList& lines) { return (lines.join("\r\n") + "\r\n").toUtf8(); }

class UpdaterTest : public ::testing::Test {
public:
    // A node's tag as "kind|field|field...", and an expected one.
    static QString tag(const TreeNode* n) { return updater::frmMain::Tag(n).Fields.join(QLatin1Char('|')); }
    static QString tagOf(updater::NodeKind kind, const QString& fields) {
        return updater::KindName(kind) + QLatin1Char('|') + fields;
    }

protected:
    void SetUp() override {
        QApplication::setQuitOnLastWindowClosed(false);
        w = open(dir);
    }

    std::unique_ptr<updater::frmMain> open(const TempProgramDir& folder, const QString& programFiles = QString()) {
        auto win = std::make_unique<updater::frmMain>(folder.path(), programFiles);
        win->ViewerRunning = [] { return false; };
        win->InputBox = [this](QWidget*, const QString& prompt, const QString& title) {
            prompts << prompt + QLatin1Char('|') + title;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
        win->ConfirmBox = [this](QWidget*, const QString& text, const QString& title) {
            confirms << text + QLatin1Char('|') + title;
            return confirmAnswer;
        };
        win->ShowError = [this](QWidget*, const QString& text, const QString& title) {
            errors << text + QLatin1Char('|') + title;
        };
        win->ShowPopup = [this](QMenu* menu, const QPoint&) { popups << menu; };
        return win;
    }

    // Start-up on ChannelList.txt (written first when file is given).
    void load(const QByteArray& file = QByteArray()) {
        if (!file.isNull()) dir.write("ChannelList.txt", file);
        ASSERT_TRUE(w->Form_Load());
    }
    bool waitIdle() {
        return QTest::qWaitFor([this] { return w->UpdateState() == updater::UpdaterState::Idle; }, 15000);
    }
    // チャンネルリストの追加 with the given address, to its end.
    void addList(const QString& url) {
        answers << url;
        w->mnuAddChannelList_Click();
        ASSERT_TRUE(waitIdle()) << url.toStdString();
    }

    void select(TreeNode* node) { w->tvwChannelSelect->SetCurrentNode(node); }
    TreeNode* top(int i) const { return w->TreeModel()->Root(i); }
    int roots() const { return w->TreeModel()->RootCount(); }
    QString text(const TreeNode* n) const { return w->TreeModel()->DisplayText(n); }
    QString status() const { return w->StatusText(); }
    // The tree as "depth|text" lines in pre-order.
    QStringList shape() const {
        QStringList out;
        w->TreeModel()->Walk([&](TreeNode* n) {
            out << QString::number(n->Depth()) + QLatin1Char('|') + text(n);
            return true;
        });
        return out;
    }
    // The first node in tree order that shows text.
    TreeNode* node(const QString& shown) const {
        TreeNode* found = nullptr;
        w->TreeModel()->Walk([&](TreeNode* n) {
            if (!found && text(n) == shown) found = n;
            return !found;
        });
        return found;
    }
    bool commandsEnabled() const {
        return w->mnuAddChannelList->isEnabled() && w->mnuUpdateChannelList->isEnabled() &&
               w->mnuUpdateChannel->isEnabled();
    }

    TempProgramDir dir;
    QStringList answers, prompts, confirms, errors;
    QList<QMenu*> popups;
    bool confirmAnswer = true;
    std::unique_ptr<updater::frmMain> w;  // last: goes first
};

// Readable failure messages for Qt texts and bytes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray& b, std::ostream* os) { *os << '"' << b.toStdString() << '"'; }
