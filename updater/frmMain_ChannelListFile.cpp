// ChannelList.txt as the updater reads and writes it: only Node, ChannelList
// and Channel records, record types in exact letter case, by the record
// rules both programs share (storage/TreeListRecords).

#include "updater/frmMain.h"

#include "common/Numeric.h"
#include "common/TextCompare.h"
#include "navigation/ChannelTreeModel.h"
#include "storage/TreeListFormat.h"
#include "storage/TreeListRecords.h"

namespace updater {

namespace {

// The first channel of each ID, without regard to case: a later one is the
// same channel to the viewer, and is written as that one. The nodes of such
// a channel are kept alike from then on (SetChannelNode).
class UpdaterLoader : public TreeListLoader {
public:
    UpdaterLoader(ChannelTreeModel& tree, QHash<QString, QVector<qint64>>& copies) : mTree(tree), mCopies(copies) {}

    void ChannelRead(TreeNode* node, const QStringList& record) override {
        // record: type, signature, ID, name, address, switch
        const QString key = CaseKey(record[2]);
        const auto first = mFirst.constFind(key);
        if (first == mFirst.constEnd()) {
            mFirst.insert(key, {record, frmMain::NodeId(node)});
            return setChannel(node, record);
        }
        QVector<qint64>& copies = mCopies[key];
        if (copies.isEmpty()) copies << first->node;
        copies << frmMain::NodeId(node);
        setChannel(node, first->record);
    }

private:
    void setChannel(TreeNode* node, const QStringList& r) {
        mTree.SetNode(node, ::NodeKind::Channel, r[3], r[2], {r[1], r[4], r[5]});
    }
    struct First {
        QStringList record;
        qint64 node;
    };
    ChannelTreeModel& mTree;
    QHash<QString, QVector<qint64>>& mCopies;
    QHash<QString, First> mFirst;
};

}  // namespace

QString frmMain::ChannelListPath() const { return mProgramDirectory + QStringLiteral("/ChannelList.txt"); }

void frmMain::LoadChannelList(const QStringList& lines) {
    mChannelCopies.clear();
    UpdaterLoader loader(*mTreeModel, mChannelCopies);
    ReadTreeListRecords(*mTreeModel, lines, kUpdaterRecords, loader);

    // The group for channels without an organisation is found by its key;
    // give it back to the first saved one so restarts do not add another.
    for (int i = 0; i < mTreeModel->RootCount(); ++i) {
        TreeNode* root = mTreeModel->Root(i);
        if (root->Kind() == ::NodeKind::Node && root->Text() == kUnknownOrganizationName) {
            SetKey(root, kUnknownOrganizationKey);
            break;
        }
    }
}

void frmMain::SaveChannelListNode(TreeNode* node, QStringList& lines) const {
    TreeListLines out;
    WriteTreeListRecords(
        *mTreeModel, out,
        [](const TreeNode* channel) -> std::optional<QString> {
            // Protocol, ID, name, address, switch: the tag's fields 2, 1, 3, 4, 5.
            const QStringList& f = channel->Fields();
            const QString sep = QStringLiteral("\t\t");
            return f.value(0) + sep + channel->ID() + sep + channel->Text() + sep + f.value(1) + sep + f.value(2);
        },
        nullptr, node);
    lines << out.Channels;
}

bool frmMain::SaveChannelList(QString* error) {
    if (mTreeModel->RootCount() == 0) return true;  // the file stays as it is
    // A file that exists but could not be read is kept: writing the tree
    // over it would lose the lists it holds.
    if (mFileInfo.exists && !mFileInfo.readable) {
        if (error) *error = QStringLiteral("起動時に読み込めなかったファイルは上書きしません。");
        return false;
    }
    QStringList lines;
    for (int i = 0; i < mTreeModel->RootCount(); ++i) SaveChannelListNode(mTreeModel->Root(i), lines);
    const TextEncoding encoding = mFileInfo.exists ? mFileInfo.encoding : TextEncoding::Cp932;
    return WriteTreeListFile(ChannelListPath(), lines, encoding, error);
}

}  // namespace updater
