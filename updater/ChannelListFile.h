#pragma once
// ChannelList.txt as the updater keeps it, apart from its window: read into
// the tree model at start-up by the record rules both programs share (only
// Node, ChannelList and Channel records, spelled exactly), written back from
// it at close. A group holds its name as text; a list its name and address;
// a channel its name and ChannelID, and protocol, information address and
// saving switch as fields.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include "common/TextFile.h"

class ChannelTreeModel;
class TreeNode;

namespace updater {

class ChannelListFile {
public:
    ChannelListFile(ChannelTreeModel& tree, const QString& path) : mTree(tree), mPath(path) {}

    const QString& Path() const { return mPath; }
    // Reads the file into the tree; a missing file adds nothing.
    void Read();
    // How the file was found at start-up: Write keeps its encoding, and
    // never replaces one that could not be read.
    void SetFound(const TextFileInfo& info) { mInfo = info; }
    // Adds the records of lines (element 0 is no line, as ReadLines gives
    // them) to the tree. A channel listed again (its ID in any letter case)
    // becomes a node of the first one; copies gets every such channel's
    // node ids by CaseKey.
    void Load(const QStringList& lines, QHash<QString, QVector<qint64>>& copies);
    // The lines of node and everything under it, in pre-order.
    QStringList Records(const TreeNode* node) const;
    // Writes the tree. An empty tree leaves the file as it is; a file that
    // existed but could not be read is never replaced. False when nothing
    // could be written (*error says why, in Japanese).
    bool Write(QString* error = nullptr) const;

private:
    ChannelTreeModel& mTree;
    QString mPath;
    TextFileInfo mInfo;
};

}  // namespace updater
