#include "updater/ChannelListFile.h"

#include "common/TextCompare.h"
#include "navigation/ChannelTreeModel.h"
#include "storage/TreeListFormat.h"
#include "storage/TreeListRecords.h"

#include <optional>

namespace updater {

namespace {

// The first channel of each ID, without regard to case: a later one is the
// same channel to the viewer, and is written as that one.
class Loader : public TreeListLoader {
public:
    Loader(ChannelTreeModel& tree, QHash<QString, QVector<qint64>>& copies) : mTree(tree), mCopies(copies) {}

    void ChannelRead(TreeNode* node, const QStringList& record) override {
        // record: type, signature, ID, name, address, switch
        const QString key = CaseKey(record[2]);
        const auto first = mFirst.constFind(key);
        if (first == mFirst.constEnd()) {
            mFirst.insert(key, {record, node->Serial()});
            return setChannel(node, record);
        }
        QVector<qint64>& copies = mCopies[key];
        if (copies.isEmpty()) copies << first->node;
        copies << node->Serial();
        setChannel(node, first->record);
    }

private:
    void setChannel(TreeNode* node, const QStringList& r) {
        mTree.SetNode(node, NodeKind::Channel, r[3], r[2], {r[1], r[4], r[5]});
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

void ChannelListFile::Read() {
    const TreeListFile file = ReadTreeListFile(mPath);
    SetFound(file.Info);
    QHash<QString, QVector<qint64>> copies;
    Load(file.Lines, copies);
}

void ChannelListFile::Load(const QStringList& lines, QHash<QString, QVector<qint64>>& copies) {
    Loader loader(mTree, copies);
    ReadTreeListRecords(mTree, lines, kUpdaterRecords, loader);
}

QStringList ChannelListFile::Records(const TreeNode* node) const {
    TreeListLines out;
    WriteTreeListRecords(
        mTree, out,
        [](const TreeNode* channel) -> std::optional<QString> {
            const QStringList& f = channel->Fields();
            const QString sep = QStringLiteral("\t\t");
            return f.value(0) + sep + channel->ID() + sep + channel->Text() + sep + f.value(1) + sep + f.value(2);
        },
        nullptr, node);
    return out.Channels;
}

bool ChannelListFile::Write(QString* error) const {
    if (mTree.RootCount() == 0) return true;  // the file stays as it is
    // A file that exists but could not be read is kept: writing the tree
    // over it would lose the lists it holds.
    if (mInfo.exists && !mInfo.readable) {
        if (error) *error = QStringLiteral("起動時に読み込めなかったファイルは上書きしません。");
        return false;
    }
    QStringList lines;
    for (int i = 0; i < mTree.RootCount(); ++i) lines << Records(mTree.Root(i));
    const TextEncoding encoding = mInfo.exists ? mInfo.encoding : TextEncoding::Cp932;
    return WriteTreeListFile(mPath, lines, encoding, error);
}

}  // namespace updater
