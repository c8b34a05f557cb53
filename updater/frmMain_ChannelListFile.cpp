// ChannelList.txt as the updater reads and writes it: only Node, ChannelList
// and Channel records, record types in exact letter case. A record's type is
// the kind name of the node it makes (KindName).

#include "updater/frmMain.h"

#include "common/Numeric.h"
#include "common/TextCompare.h"
#include "storage/TreeListFormat.h"

#include <QTreeWidget>

namespace updater {

namespace {

int Depth(const QTreeWidgetItem* node) {
    int depth = 0;
    for (const QTreeWidgetItem* p = node->parent(); p; p = p->parent()) ++depth;
    return depth;
}

}  // namespace

QString frmMain::ChannelListPath() const { return mProgramDirectory + QStringLiteral("/ChannelList.txt"); }

void frmMain::LoadChannelList(const QStringList& lines) {
    // parents: the node last placed at each depth. A node placed at depth d ends the
    // parents below it, so a line never lands under a stale deeper node; a
    // line that cannot be placed clears its own slot, so its children are
    // dropped with it instead of joining a neighbour.
    QVector<QTreeWidgetItem*> parents;
    auto parentFor = [&parents](int depth) -> QTreeWidgetItem* {
        return depth >= 1 && depth - 1 < parents.size() ? parents[depth - 1] : nullptr;
    };
    auto clearFrom = [&parents](int depth) {
        if (depth < parents.size()) parents.resize(depth);
    };
    // A missing or non-Boolean flag reads as False; the record stays.
    auto flag = [](const QString& text) {
        bool value = false;
        return Numeric::ToBoolean(text, &value) && value;
    };
    // The first channel of each ID, without regard to case: a later one is
    // the same channel to the viewer, and is written as that one. The nodes
    // of such a channel are kept alike from then on (SetChannelNode).
    struct First {
        QStringList fields;
        qint64 node;
    };
    QHash<QString, First> channels;
    mChannelCopies.clear();

    for (int i = 1; i < lines.size(); ++i) {
        const TreeListLine line = ParseTreeListLine(lines[i]);
        const NodeKind kind = KindNamed(line.RecordType());
        const int depth = line.Depth;
        if (kind == NodeKind::Group || kind == NodeKind::ChannelList) {
            const bool isList = kind == NodeKind::ChannelList;
            QTreeWidgetItem* parent = parentFor(depth);
            // U+0001 joins the fields of a tag: a field holding one would
            // shift the others and lose the node at the next start.
            const QString name = CleanListField(line.Field(1));
            if (name.isEmpty() || depth > kDeepestNode || (depth > 0 && !parent)) {
                clearFrom(depth);
                continue;
            }
            // Without its flag a list's address stands in the flag's place.
            QString address = CleanListField(line.Field(3));
            bool unused = false;
            if (address.isEmpty() && !Numeric::ToBoolean(line.Field(2), &unused))
                address = CleanListField(line.Field(2));
            QTreeWidgetItem* node = isList ? NewNode(parent, MakeTag(NodeKind::ChannelList, {name, address}),
                                                     name + QLatin1Char('(') + address + QLatin1Char(')'))
                                           : NewNode(parent, MakeTag(NodeKind::Group, {name}), name);
            node->setExpanded(flag(line.Field(2)));
            parents.resize(depth + 1);
            parents[depth] = node;
        } else if (kind == NodeKind::Channel) {
            QTreeWidgetItem* parent = parentFor(depth);
            if (!parent) continue;
            QStringList fields;  // signature, ID, name, address
            for (int f = 1; f <= 4; ++f) fields << CleanListField(line.Field(f));
            if (fields.contains(QString())) continue;  // a field missing, or of U+0001 alone
            fields << Numeric::BooleanText(flag(line.Field(5)));
            const QString key = CaseKey(fields[1]);
            const auto first = channels.constFind(key);
            if (first == channels.constEnd()) {
                channels.insert(key, {fields, NodeId(NewChannelNode(parent, fields[1], fields[0], fields[2], fields[3],
                                                                    fields[4] == QLatin1String("True")))});
                continue;
            }
            const QStringList& c = first->fields;
            QVector<qint64>& copies = mChannelCopies[key];
            if (copies.isEmpty()) copies << first->node;
            copies << NodeId(NewChannelNode(parent, c[1], c[0], c[2], c[3], c[4] == QLatin1String("True")));
        }
    }

    // The group for channels without an organisation is found by its key;
    // give it back to the first saved one so restarts do not add another.
    for (int i = 0; i < tvwChannelSelect->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tvwChannelSelect->topLevelItem(i);
        const NodeTag tag = Tag(root);
        if (tag.Kind == NodeKind::Group && tag.Name() == kUnknownOrganizationName) {
            SetKey(root, kUnknownOrganizationKey);
            break;
        }
    }
}

void frmMain::SaveChannelListNode(QTreeWidgetItem* node, QStringList& lines) const {
    // Pre-order with an explicit stack: a deep tree must not exhaust ours.
    struct Entry {
        QTreeWidgetItem* node;
        int depth;
    };
    QVector<Entry> stack{{node, Depth(node)}};
    while (!stack.isEmpty()) {
        const Entry e = stack.takeLast();
        const NodeTag t = Tag(e.node);
        const QString type = KindName(t.Kind);
        auto expanded = [&e] { return Numeric::BooleanText(e.node->isExpanded()); };
        if (t.Kind == NodeKind::Group)
            lines.append(FormatTreeListLine(e.depth, type, {t.Name(), expanded()}, true));
        else if (t.Kind == NodeKind::ChannelList)
            lines.append(FormatTreeListLine(e.depth, type, {t.Name(), expanded(), t.ListAddress()}, false));
        else if (t.Kind == NodeKind::Channel)
            lines.append(FormatTreeListLine(
                e.depth, type, {t.Protocol(), t.Name(), t.ChannelName(), t.InfoAddress(), t.SaveSwitch()}, false));
        for (int i = e.node->childCount() - 1; i >= 0; --i) stack.append({e.node->child(i), e.depth + 1});
    }
}

bool frmMain::SaveChannelList(QString* error) {
    if (tvwChannelSelect->topLevelItemCount() == 0) return true;  // the file stays as it is
    // A file that exists but could not be read is kept: writing the tree
    // over it would lose the lists it holds.
    if (mFileInfo.exists && !mFileInfo.readable) {
        if (error) *error = QStringLiteral("起動時に読み込めなかったファイルは上書きしません。");
        return false;
    }
    QStringList lines;
    for (int i = 0; i < tvwChannelSelect->topLevelItemCount(); ++i)
        SaveChannelListNode(tvwChannelSelect->topLevelItem(i), lines);
    const TextEncoding encoding = mFileInfo.exists ? mFileInfo.encoding : TextEncoding::Cp932;
    return WriteTreeListFile(ChannelListPath(), lines, encoding, error);
}

}  // namespace updater
