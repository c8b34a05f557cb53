// The tree list files ChannelList.txt, Favorite.txt and MultiMonitor.txt:
// loading them into the tree and the managers, and writing the tree back.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Numeric.h"
#include "common/TextCompare.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "storage/TreeListFormat.h"

#include <QTreeWidget>

#include <vector>

namespace {

// Depth is unlimited in the format, but a tree thousands of levels deep
// would exhaust the stack of the toolkit's recursive item handling.
constexpr int kMaxTreeDepth = 256;

bool is(const QString& type, const char* name) { return type.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

// Node, ChannelList and Channel records are written to ChannelList.txt
// only, where every parent is a Node or a ChannelList record. One placed
// under a root or a folder (possible through a hand-made Favorite.txt or
// MultiMonitor.txt) would be written at a depth no file can take back, and
// vanish, with its channels, at the second start: it is skipped at once.
bool holdsListRecords(const QTreeWidgetItem* parent) {
    const QString type = TagType(frmMain::NodeTag(parent));
    return is(type, "Node") || is(type, "ChannelList");
}

bool readBoolean(const TreeListLine& line, int field, bool* value) {
    return field < line.Pieces.size() && Numeric::ToBoolean(line.Pieces[field], value);
}

}  // namespace

void frmMain::LoadTreeListFile(const QStringList& lines) {
    // The spare element for the next channel or member.
    PictureElement* spare = mPictures.Load();
    std::vector<QTreeWidgetItem*> parents;  // the parent slot of each depth
    auto slotAt = [&parents](int depth) -> QTreeWidgetItem* {
        return depth >= 0 && depth < int(parents.size()) ? parents[size_t(depth)] : nullptr;
    };
    auto setSlot = [&parents](int depth, QTreeWidgetItem* node) {
        if (int(parents.size()) <= depth) parents.resize(size_t(depth) + 1, nullptr);
        parents[size_t(depth)] = node;
    };

    mTree->setUpdatesEnabled(false);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const TreeListLine line = ParseTreeListLine(lines[i]);
        const QString type = line.RecordType();
        const int depth = line.Depth;
        if (type.isEmpty() || depth > kMaxTreeDepth) continue;
        // The fields a record needs, none of them empty: a field of spaces
        // only is read as empty and would be written back as nothing, which
        // shifts the fields after it at the next start.
        int fields = 0;
        while (fields + 1 < line.Pieces.size() && !line.Pieces[fields + 1].isEmpty()) ++fields;

        if (is(type, "FavariteRoot") || is(type, "MultiMonitorRoot")) {
            bool expanded = false;
            if (fields < 2 || !readBoolean(line, 2, &expanded)) continue;
            const bool favorite = is(type, "FavariteRoot");
            QTreeWidgetItem* root = favorite ? mRootFavarite : mRootMultiMonitor;
            root->setText(0, line.Field(1));
            root->setExpanded(expanded);
            SetNodeTag(root, favorite ? QStringLiteral("FavariteRoot_") : QStringLiteral("MultiMonitorRoot_"));
            setSlot(depth, root);
        } else if (is(type, "Node") || is(type, "ChannelList")) {
            const bool list = is(type, "ChannelList");
            bool expanded = false;
            if (fields < (list ? 3 : 2) || !readBoolean(line, 2, &expanded)) continue;
            QTreeWidgetItem* parent = nullptr;
            if (depth > 0) {
                parent = slotAt(depth - 1);
                if (!parent || !holdsListRecords(parent)) continue;  // no parent for it at that depth
            }
            QTreeWidgetItem* node = AddNode(
                parent, line.Field(1), list ? QStringLiteral("ChannelList_") + line.Field(3) : QStringLiteral("Node_"));
            node->setExpanded(expanded);
            setSlot(depth, node);
        } else if (is(type, "MultiMonitorFolder")) {
            bool expanded = false;
            if (fields < 2 || !readBoolean(line, 2, &expanded)) continue;
            QTreeWidgetItem* before = mLastAddedNode;
            // The folder handler makes the node; it is the newest node then.
            mMultiMonitorManeger->AddMultiMonitorFolder(line.Field(1), expanded);
            if (mLastAddedNode != before) setSlot(depth, mLastAddedNode);
        } else if (is(type, "Channel")) {
            bool save = false;
            // A record that can make no channel makes no node either.
            if (fields < 5 || !readBoolean(line, 5, &save) || depth == 0) continue;
            QTreeWidgetItem* parent = slotAt(depth - 1);
            if (!parent || !holdsListRecords(parent)) continue;
            AddNode(parent, line.Field(3), QStringLiteral("Channel_") + line.Field(2));
            if (mChannelManeger->ChannelInitialize(spare, line.Pieces)) spare = mPictures.Load();
        } else if (is(type, "FavariteChannel")) {
            if (fields < 1) continue;
            clsChannel* channel = mChannelManeger->Channel(line.Field(1));
            // A favourite listed twice (perhaps in another letter case) stays one.
            if (channel && !channel->BelongFavarite()) channel->setBelongFavarite(true);
        } else if (is(type, "MultiMonitorChannel")) {
            if (fields < 1 || depth == 0) continue;
            clsChannel* channel = mChannelManeger->Channel(line.Field(1));
            QTreeWidgetItem* parent = slotAt(depth - 1);
            const QString parentTag = NodeTag(parent);
            if (!channel || !TagMatches(parentTag, QStringLiteral("MultiMonitorFolder_"))) continue;
            clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(TagIdentifier(parentTag));
            if (!folder || folder->IsRegistedChannel(channel->ChannelID())) continue;
            folder->AddChannel(channel->ChannelID(), spare, false);
            spare = mPictures.Load();
        }
    }
    mTree->setUpdatesEnabled(true);
    // The spare was not needed.
    mPictures.UnloadLast();
}

void frmMain::saveTreeListNode(QTreeWidgetItem* node, int depth, QStringList& favorites, QStringList& channels,
                               QStringList& folders) const {
    // Depth-first pre-order, with an explicit stack: the files list the
    // nodes as the tree shows them.
    std::vector<std::pair<QTreeWidgetItem*, int>> stack{{node, depth}};
    while (!stack.empty()) {
        auto [item, d] = stack.back();
        stack.pop_back();
        const QString tag = NodeTag(item);
        const QString type = TagType(tag);
        const QString id = TagIdentifier(tag);
        const QString text = item->text(0);
        const QString expanded = Numeric::BooleanText(item->isExpanded());
        if (is(type, "Node")) {
            channels << FormatTreeListLine(d, QStringLiteral("Node"), {text, expanded}, true);
        } else if (is(type, "Channel")) {
            if (const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(id) : nullptr)
                channels << FormatTreeListLine(d, QStringLiteral("Channel"), {channel->SaveString()}, false);
        } else if (is(type, "ChannelList")) {
            channels << FormatTreeListLine(d, QStringLiteral("ChannelList"), {text, expanded, id}, false);
        } else if (is(type, "FavariteChannel")) {
            favorites << FormatTreeListLine(d, QStringLiteral("FavariteChannel"), {id}, false);
        } else if (is(type, "FavariteRoot")) {
            favorites << FormatTreeListLine(d, QStringLiteral("FavariteRoot"), {text, expanded}, false);
        } else if (is(type, "MultiMonitorRoot")) {
            folders << FormatTreeListLine(d, QStringLiteral("MultiMonitorRoot"), {text, expanded}, false);
        } else if (is(type, "MultiMonitorFolder")) {
            folders << FormatTreeListLine(d, QStringLiteral("MultiMonitorFolder"), {text, expanded}, false);
        } else if (is(type, "MultiMonitorChannel")) {
            folders << FormatTreeListLine(d, QStringLiteral("MultiMonitorChannel"), {id}, false);
        }
        for (int c = item->childCount() - 1; c >= 0; --c) stack.emplace_back(item->child(c), d + 1);
    }
}

bool frmMain::SaveTreeListFiles(QStringList* failedFiles) {
    QStringList favorites, channels, folders;
    for (int i = 0; i < mTree->topLevelItemCount(); ++i)
        saveTreeListNode(mTree->topLevelItem(i), 0, favorites, channels, folders);

    struct Out {
        const char* name;
        int info;  // index into mListFileInfo (load order)
        const QStringList* lines;
    };
    const Out outs[3] = {
        {"/Favorite.txt", 1, &favorites}, {"/ChannelList.txt", 0, &channels}, {"/MultiMonitor.txt", 2, &folders}};
    bool ok = true;
    for (const Out& out : outs) {
        const QString path = mProgramDirectory + QLatin1String(out.name);
        const TextFileInfo& info = mListFileInfo[out.info];
        // A file that exists but could not be read is left alone: writing
        // the tree would replace lists that never loaded.
        if (info.exists && !info.readable) {
            ok = false;
            if (failedFiles) *failedFiles << path;
            continue;
        }
        if (!WriteTreeListFile(path, *out.lines, info.encoding)) {
            ok = false;
            if (failedFiles) *failedFiles << path;
        }
    }
    return ok;
}
