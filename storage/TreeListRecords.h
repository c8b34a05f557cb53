#pragma once
// The record rules of the tree list files, on the tree model, for both
// programs: which record makes which node where (depth and parent slots),
// what a damaged record keeps, and the lines written back. The viewer reads
// all eight record types in any letter case; the updater only the channel
// list's three, spelled exactly, with fields cleaned of what would break its
// tags. What a record means beyond its node (a channel object, a favourite
// mark, a folder) is the program's, through TreeListLoader.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ChannelTreeModel;
class TreeNode;

// Deepest depth a record may have, in both programs; deeper records are
// skipped. The views lay out expanded levels recursively.
constexpr int kDeepestTreeNode = 1000;

struct TreeListDialect {
    bool ExactRecordTypes;  // letter case counts, and only Node, ChannelList and Channel are read
    bool CleanFields;       // fields pass CleanListField
};
inline constexpr TreeListDialect kViewerRecords{false, false};
inline constexpr TreeListDialect kUpdaterRecords{true, true};

// What a program does with records beyond the nodes the rules place.
class TreeListLoader {
public:
    virtual ~TreeListLoader() = default;
    // A Channel record became node. record: the record type, then Protocol,
    // ChannelID, DefaultChannelName, ChannelInfomationURL and IsSavePicture
    // ("True" or "False").
    virtual void ChannelRead(TreeNode* node, const QStringList& record) = 0;
    // A MultiMonitorFolder record: the node made for it, or nullptr.
    virtual TreeNode* FolderRead(const QString& name, bool expanded) { return (void)name, (void)expanded, nullptr; }
    virtual void FavoriteRead(const QString& ChannelID) { (void)ChannelID; }
    // A MultiMonitorChannel record under a folder node.
    virtual void MemberRead(TreeNode* folder, const QString& ChannelID) { (void)folder, (void)ChannelID; }
};

// Reads lines (element 0 is no line, as ReadLines gives them) into the
// model: Node and ChannelList records make nodes, the roots' records set the
// nodes with keys tvwKey_FAIVARIT_ROOT and tvwKey_MULTIMONITOR_ROOT, the
// rest go to the loader.
void ReadTreeListRecords(ChannelTreeModel& model, const QStringList& lines, const TreeListDialect& dialect,
                         TreeListLoader& loader);

// The lines of the three files, in tree order.
struct TreeListLines {
    QStringList Channels;   // ChannelList.txt
    QStringList Favorites;  // Favorite.txt
    QStringList Folders;    // MultiMonitor.txt
};

// The fields after a Channel record's type, joined as written; none: no line.
using ChannelRecordFields = std::function<std::optional<QString>(const TreeNode* node)>;
// Lines to write right after a node's own (carried favourites and members).
using RecordsAfter = std::function<void(const TreeNode* node, int depth, TreeListLines& lines)>;

// The records of from and everything under it (nullptr: the whole tree).
void WriteTreeListRecords(const ChannelTreeModel& model, TreeListLines& lines, const ChannelRecordFields& channel,
                          const RecordsAfter& after = nullptr, const TreeNode* from = nullptr);
