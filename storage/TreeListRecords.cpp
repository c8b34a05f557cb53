#include "storage/TreeListRecords.h"

#include "common/Numeric.h"
#include "navigation/ChannelTreeModel.h"
#include "storage/TreeListFormat.h"

#include <vector>

namespace {

struct RecordName {
    NodeKind Kind;
    QLatin1String Name;
};
constexpr RecordName kRecords[] = {
    {NodeKind::Node, QLatin1String("Node")},
    {NodeKind::ChannelList, QLatin1String("ChannelList")},
    {NodeKind::Channel, QLatin1String("Channel")},
    {NodeKind::FavariteRoot, QLatin1String("FavariteRoot")},
    {NodeKind::FavariteChannel, QLatin1String("FavariteChannel")},
    {NodeKind::MultiMonitorRoot, QLatin1String("MultiMonitorRoot")},
    {NodeKind::MultiMonitorFolder, QLatin1String("MultiMonitorFolder")},
    {NodeKind::MultiMonitorChannel, QLatin1String("MultiMonitorChannel")},
};
constexpr int kChannelListRecords = 3;  // the first three: what the updater reads

NodeKind recordKind(const QString& type, const TreeListDialect& dialect) {
    const int count = dialect.ExactRecordTypes ? kChannelListRecords : int(std::size(kRecords));
    const Qt::CaseSensitivity cs = dialect.ExactRecordTypes ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int i = 0; i < count; ++i)
        if (type.compare(kRecords[i].Name, cs) == 0) return kRecords[i].Kind;
    return NodeKind::None;
}

// A missing or non-Boolean flag reads as False: the record is kept.
bool flag(const QString& text) {
    bool value = false;
    return Numeric::ToBoolean(text, &value) && value;
}

// Node, ChannelList and Channel records are written to ChannelList.txt
// only, where every parent is a Node or a ChannelList record. One placed
// under a root or a folder (possible through a hand-made Favorite.txt or
// MultiMonitor.txt) would be written at a depth no file can take back, and
// vanish, with its channels, at the second start: it is skipped at once.
bool holdsListRecords(const TreeNode* parent) {
    return parent && (parent->Kind() == NodeKind::Node || parent->Kind() == NodeKind::ChannelList);
}

}  // namespace

void ReadTreeListRecords(ChannelTreeModel& model, const QStringList& lines, const TreeListDialect& dialect,
                         TreeListLoader& loader) {
    // The parent slot of each depth. A record that can hold children ends
    // the slots below it, placed or skipped: what sits under a skipped
    // record is skipped too, never attached to an earlier sibling.
    std::vector<TreeNode*> parents;
    auto slotAt = [&parents](int depth) -> TreeNode* {
        return depth >= 0 && depth < int(parents.size()) ? parents[size_t(depth)] : nullptr;
    };
    auto setSlot = [&parents](int depth, TreeNode* node) {
        parents.resize(size_t(depth) + 1, nullptr);
        parents[size_t(depth)] = node;
    };

    model.BeginBatch();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const TreeListLine line = ParseTreeListLine(lines[i]);
        const NodeKind kind = recordKind(line.RecordType(), dialect);
        const int depth = line.Depth;
        if (kind == NodeKind::None || depth > kDeepestTreeNode) continue;
        // U+0001 joins the fields of the updater's tags: a field holding one
        // would shift the others and lose the node at the next start.
        auto field = [&line, &dialect](int f) {
            return dialect.CleanFields ? CleanListField(line.Field(f)) : line.Field(f);
        };
        // A field of spaces only reads as empty: a record whose name is
        // empty is skipped, as written back it would shift the fields after it.
        const QString text = field(1);

        switch (kind) {
            case NodeKind::FavariteRoot:
            case NodeKind::MultiMonitorRoot: {
                setSlot(depth, nullptr);
                TreeNode* root =
                    model.NodeByKey(kind == NodeKind::FavariteRoot ? QStringLiteral("tvwKey_FAIVARIT_ROOT")
                                                                   : QStringLiteral("tvwKey_MULTIMONITOR_ROOT"));
                if (text.isEmpty() || !root) continue;
                model.SetText(root, text);
                model.SetExpanded(root, flag(line.Field(2)));
                setSlot(depth, root);
                break;
            }
            case NodeKind::Node:
            case NodeKind::ChannelList: {
                setSlot(depth, nullptr);
                TreeNode* parent = depth > 0 ? slotAt(depth - 1) : nullptr;
                // No parent for it at that depth.
                if (text.isEmpty() || (depth > 0 && !holdsListRecords(parent))) continue;
                QString address;
                if (kind == NodeKind::ChannelList) {
                    // Without its flag the address moves up into the flag's place.
                    address = field(3);
                    bool unused = false;
                    if (address.isEmpty() && !Numeric::ToBoolean(line.Field(2), &unused)) address = field(2);
                }
                TreeNode* node = model.AddNode(parent, kind, text, address);
                model.SetExpanded(node, flag(line.Field(2)));
                setSlot(depth, node);
                break;
            }
            case NodeKind::MultiMonitorFolder:
                setSlot(depth, nullptr);
                if (text.isEmpty()) continue;
                if (TreeNode* node = loader.FolderRead(text, flag(line.Field(2)))) setSlot(depth, node);
                break;
            case NodeKind::Channel: {
                // A record that can make no channel makes no node either.
                QStringList record{line.Field(0)};
                for (int f = 1; f <= 4; ++f) record << field(f);
                TreeNode* parent = slotAt(depth - 1);
                if (depth == 0 || record.mid(1).contains(QString()) || !holdsListRecords(parent)) continue;
                record << Numeric::BooleanText(flag(line.Field(5)));
                loader.ChannelRead(model.AddNode(parent, NodeKind::Channel, record[3], record[2]), record);
                break;
            }
            case NodeKind::FavariteChannel:
                if (!text.isEmpty()) loader.FavoriteRead(text);
                break;
            case NodeKind::MultiMonitorChannel: {
                TreeNode* folder = slotAt(depth - 1);
                if (!text.isEmpty() && depth > 0 && folder && folder->Kind() == NodeKind::MultiMonitorFolder)
                    loader.MemberRead(folder, text);
                break;
            }
            default:
                break;
        }
    }
    model.EndBatch();
}

void WriteTreeListRecords(const ChannelTreeModel& model, TreeListLines& lines, const ChannelRecordFields& channel,
                          const RecordsAfter& after, const TreeNode* from) {
    // Depth-first pre-order, with an explicit stack: the files list the
    // nodes as the tree shows them, however deep.
    std::vector<std::pair<const TreeNode*, int>> stack;
    if (from)
        stack.emplace_back(from, from->Depth());
    else
        for (int i = model.RootCount() - 1; i >= 0; --i) stack.emplace_back(model.Root(i), 0);
    while (!stack.empty()) {
        const TreeNode* node = stack.back().first;
        const int depth = stack.back().second;
        stack.pop_back();
        const QString& text = node->Text();
        const QString& id = node->ID();
        auto expanded = [node] { return Numeric::BooleanText(node->Expanded()); };
        switch (node->Kind()) {
            case NodeKind::Node:
                lines.Channels << FormatTreeListLine(depth, QStringLiteral("Node"), {text, expanded()}, true);
                break;
            case NodeKind::Channel:
                if (const std::optional<QString> fields = channel(node))
                    lines.Channels << FormatTreeListLine(depth, QStringLiteral("Channel"), {*fields}, false);
                break;
            case NodeKind::ChannelList:
                lines.Channels << FormatTreeListLine(depth, QStringLiteral("ChannelList"), {text, expanded(), id},
                                                     false);
                break;
            case NodeKind::FavariteRoot:
                lines.Favorites << FormatTreeListLine(depth, QStringLiteral("FavariteRoot"), {text, expanded()}, false);
                break;
            case NodeKind::FavariteChannel:
                lines.Favorites << FormatTreeListLine(depth, QStringLiteral("FavariteChannel"), {id}, false);
                break;
            case NodeKind::MultiMonitorRoot:
                lines.Folders << FormatTreeListLine(depth, QStringLiteral("MultiMonitorRoot"), {text, expanded()},
                                                    false);
                break;
            case NodeKind::MultiMonitorFolder:
                lines.Folders << FormatTreeListLine(depth, QStringLiteral("MultiMonitorFolder"), {text, expanded()},
                                                    false);
                break;
            case NodeKind::MultiMonitorChannel:
                lines.Folders << FormatTreeListLine(depth, QStringLiteral("MultiMonitorChannel"), {id}, false);
                break;
            default:
                break;
        }
        if (after) after(node, depth, lines);
        for (int c = node->ChildCount() - 1; c >= 0; --c) stack.emplace_back(node->Child(c), depth + 1);
    }
}
