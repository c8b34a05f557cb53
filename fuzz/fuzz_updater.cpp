// The updater's three readers on hostile bytes. The input holds, separated
// by two NUL bytes: ChannelList.txt as found at start-up (LoadChannelList),
// a downloaded channel list (ParseChannelList and GetOrganizationNode), and
// a downloaded information file (ParseChannelInfomation, for the first
// channel of the first list node). Besides crashes, checks that the file
// the updater writes loads and writes back to the same bytes.
#include "FuzzSupport.h"
#include "common/TextFile.h"
#include "common/mdlFunction.h"
#include "updater/frmMain.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include "navigation/ChannelTreeModel.h"
#include "navigation/ChannelTreeView.h"

namespace {

QTemporaryDir* programDir() {
    static QTemporaryDir* dir = new QTemporaryDir(QStringLiteral("/dev/shm/vantora-fuzz-XXXXXX"));
    return dir;
}

// A body as the updater splits it: CR LF to LF, lines trimmed, empty ones gone.
QStringList bodyLines(const QByteArray& bytes) {
    QString text = DecodeText(bytes, DetectTextEncoding(bytes));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return mdlFunction::SplitString(text, QChar(u'\n'), true, true);
}

std::unique_ptr<updater::frmMain> openWindow(const QString& dir) {
    auto window = std::make_unique<updater::frmMain>(dir);
    window->ViewerRunning = [] { return false; };
    window->ShowError = [](QWidget*, const QString&, const QString&) {};
    FUZZ_CHECK(window->Form_Load());
    return window;
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Breadth first, as the corpus found its inputs.
TreeNode* firstListNode(const ChannelTreeModel& tree) {
    QList<TreeNode*> todo;
    for (int i = 0; i < tree.RootCount(); ++i) todo << tree.Root(i);
    while (!todo.isEmpty()) {
        TreeNode* node = todo.takeFirst();
        if (node->Kind() == NodeKind::ChannelList) return node;
        for (int i = 0; i < node->ChildCount(); ++i) todo << node->Child(i);
    }
    return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::initApplication<QApplication>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    const QByteArray all = fuzz::bytes(data, size);
    const QList<QByteArray> parts = fuzz::splitParts(all, 3);
    const QString dir = programDir()->path();
    const QString path = dir + QStringLiteral("/ChannelList.txt");
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(parts[0]) != parts[0].size()) fuzz::fail("cannot write");
    }

    QByteArray saved;
    {
        auto window = openWindow(dir);
        // Nothing listens on port 1: the requests fail later, unheard.
        window->StartAddChannelList(QStringLiteral("http://127.0.0.1:1/list.txt"));
        window->ParseChannelList(bodyLines(parts[1]));
        FUZZ_CHECK(window->UpdateState() == updater::UpdaterState::Idle);
        if (TreeNode* list = firstListNode(*window->TreeModel())) {
            window->tvwChannelSelect->SetCurrentNode(list);
            window->mnuUpdateChannel_Click();
            if (window->UpdateState() == updater::UpdaterState::DownloadingInfo)
                window->ParseChannelInfomation(bodyLines(parts[2]));
        }
        FUZZ_CHECK(window->SaveChannelList());
        saved = readFile(path);
    }
    {
        auto again = openWindow(dir);
        FUZZ_CHECK(again->SaveChannelList());
        const QByteArray again2 = readFile(path);
        if (again2 != saved) {
            std::fprintf(stderr, "first:\n%s\n--- second:\n%s\n---\n", saved.constData(), again2.constData());
            fuzz::fail("the file written back changed");
        }
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
