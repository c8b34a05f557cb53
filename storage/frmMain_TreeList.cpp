// The tree list files ChannelList.txt, Favorite.txt and MultiMonitor.txt:
// loading them into the tree and the managers, and writing the tree back.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Logging.h"
#include "common/Numeric.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/NodeTag.h"
#include "storage/TreeListFormat.h"

#include <QTreeWidget>

#include <vector>

namespace {

// Depth is unlimited in the format, but a tree thousands of levels deep
// would exhaust the stack of the toolkit's recursive item handling.
constexpr int kMaxTreeDepth = 256;

// Record types are matched without regard to case.
bool is(const QString& type, const char* name) { return type.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; }

// Node, ChannelList and Channel records are written to ChannelList.txt
// only, where every parent is a Node or a ChannelList record. One placed
// under a root or a folder (possible through a hand-made Favorite.txt or
// MultiMonitor.txt) would be written at a depth no file can take back, and
// vanish, with its channels, at the second start: it is skipped at once.
bool holdsListRecords(const QTreeWidgetItem* parent) {
    const NodeKind kind = ParseTag(frmMain::NodeTag(parent)).Kind;
    return kind == NodeKind::Node || kind == NodeKind::ChannelList;
}

// A missing or non-Boolean flag reads as False: the record is kept.
bool flag(const TreeListLine& line, int field) {
    bool value = false;
    return Numeric::ToBoolean(line.Field(field), &value) && value;
}

}  // namespace

void frmMain::LoadTreeListFile(const QStringList& lines) {
    // The spare element for the next channel or member: reserved, as a
    // channel makes its show box only when it first shows a picture.
    int spare = mPictures.Reserve();
    // The parent slot of each depth. A record that can hold children ends
    // the slots below it, placed or skipped: what sits under a skipped
    // record is skipped too, never attached to an earlier sibling.
    std::vector<QTreeWidgetItem*> parents;
    auto slotAt = [&parents](int depth) -> QTreeWidgetItem* {
        return depth >= 0 && depth < int(parents.size()) ? parents[size_t(depth)] : nullptr;
    };
    auto setSlot = [&parents](int depth, QTreeWidgetItem* node) {
        parents.resize(size_t(depth) + 1, nullptr);
        parents[size_t(depth)] = node;
    };
    // Without a channel list every channel is unknown: favourites and
    // members are then carried through to the next save as they were.
    const bool carry = !mChannelsKnown;

    mTree->setUpdatesEnabled(false);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const TreeListLine line = ParseTreeListLine(lines[i]);
        const QString type = line.RecordType();
        const int depth = line.Depth;
        if (type.isEmpty() || depth > kMaxTreeDepth) continue;
        // A field of spaces only reads as empty: a record whose name is
        // empty is skipped, as written back it would shift the fields after it.
        const QString text = line.Field(1);

        if (is(type, "FavariteRoot") || is(type, "MultiMonitorRoot")) {
            setSlot(depth, nullptr);
            if (text.isEmpty()) continue;
            const bool favorite = is(type, "FavariteRoot");
            QTreeWidgetItem* root = favorite ? mRootFavarite : mRootMultiMonitor;
            root->setText(0, text);
            root->setExpanded(flag(line, 2));
            SetNodeTag(root, MakeTag(favorite ? NodeKind::FavariteRoot : NodeKind::MultiMonitorRoot));
            setSlot(depth, root);
        } else if (is(type, "Node") || is(type, "ChannelList")) {
            setSlot(depth, nullptr);
            QTreeWidgetItem* parent = depth > 0 ? slotAt(depth - 1) : nullptr;
            // No parent for it at that depth.
            if (text.isEmpty() || (depth > 0 && (!parent || !holdsListRecords(parent)))) continue;
            QString tag = MakeTag(NodeKind::Node);
            bool expanded = flag(line, 2);
            if (is(type, "ChannelList")) {
                // Without its flag the address moves up into the flag's place.
                QString address = line.Field(3);
                bool unused = false;
                if (address.isEmpty() && !Numeric::ToBoolean(line.Field(2), &unused)) address = line.Field(2);
                tag = MakeTag(NodeKind::ChannelList, address);
            }
            QTreeWidgetItem* node = AddNode(parent, text, tag);
            node->setExpanded(expanded);
            setSlot(depth, node);
        } else if (is(type, "MultiMonitorFolder")) {
            setSlot(depth, nullptr);
            if (text.isEmpty()) continue;
            QTreeWidgetItem* before = mLastAddedNode;
            // The folder handler makes the node; it is the newest node then.
            mMultiMonitorManeger->AddMultiMonitorFolder(text, flag(line, 2));
            if (mLastAddedNode != before) setSlot(depth, mLastAddedNode);
        } else if (is(type, "Channel")) {
            // A record that can make no channel makes no node either.
            bool complete = depth > 0;
            for (int f = 1; f <= 4; ++f) complete = complete && !line.Field(f).isEmpty();
            QTreeWidgetItem* parent = slotAt(depth - 1);
            if (!complete || !parent || !holdsListRecords(parent)) continue;
            AddNode(parent, line.Field(3), MakeTag(NodeKind::Channel, line.Field(2)));
            const QStringList record{line.Field(0), line.Field(1), line.Field(2),
                                     line.Field(3), line.Field(4), Numeric::BooleanText(flag(line, 5))};
            if (mChannelManeger->ChannelInitialize(ShowBoxElement(mPictures, spare), record))
                spare = mPictures.Reserve();
        } else if (is(type, "FavariteChannel")) {
            if (text.isEmpty()) continue;
            clsChannel* channel = mChannelManeger->Channel(text);
            // A favourite listed twice (perhaps in another letter case) stays one.
            if (channel && !channel->BelongFavarite()) {
                channel->setBelongFavarite(true);
            } else if (!channel && carry && !mCarriedFavorites.contains(text, Qt::CaseInsensitive)) {
                mCarriedFavorites << text;
            }
        } else if (is(type, "MultiMonitorChannel")) {
            if (text.isEmpty() || depth == 0) continue;
            clsChannel* channel = mChannelManeger->Channel(text);
            const ParsedTag parentTag = ParseTag(NodeTag(slotAt(depth - 1)));
            if (parentTag.Kind != NodeKind::MultiMonitorFolder) continue;
            const QString& folderID = parentTag.ID;
            if (!channel) {
                if (carry && !mCarriedMembers.value(folderID).contains(text, Qt::CaseInsensitive))
                    mCarriedMembers[folderID] << text;
                continue;
            }
            clsMultiMonitorFolder* folder = mMultiMonitorManeger->MultiMonitor(folderID);
            if (!folder || folder->IsRegistedChannel(channel->ChannelID())) continue;
            folder->AddChannel(channel->ChannelID(), mPictures.Make(spare), false);
            spare = mPictures.Reserve();
        }
    }
    mTree->setUpdatesEnabled(true);
    // The spare was not needed.
    mPictures.UnloadLast();
}

void frmMain::saveTreeListNode(QTreeWidgetItem* node, int depth, QStringList& favorites, QStringList& channels,
                               QStringList& folders, bool withCarried) const {
    // Depth-first pre-order, with an explicit stack: the files list the
    // nodes as the tree shows them.
    std::vector<std::pair<QTreeWidgetItem*, int>> stack{{node, depth}};
    while (!stack.empty()) {
        auto [item, d] = stack.back();
        stack.pop_back();
        const ParsedTag tag = ParseTag(NodeTag(item));
        const QString& id = tag.ID;
        const QString text = item->text(0);
        const QString expanded = Numeric::BooleanText(item->isExpanded());
        if (tag.Kind == NodeKind::Node) {
            channels << FormatTreeListLine(d, QStringLiteral("Node"), {text, expanded}, true);
        } else if (tag.Kind == NodeKind::Channel) {
            if (const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(id) : nullptr)
                channels << FormatTreeListLine(d, QStringLiteral("Channel"), {channel->SaveString()}, false);
        } else if (tag.Kind == NodeKind::ChannelList) {
            channels << FormatTreeListLine(d, QStringLiteral("ChannelList"), {text, expanded, id}, false);
        } else if (tag.Kind == NodeKind::FavariteChannel) {
            favorites << FormatTreeListLine(d, QStringLiteral("FavariteChannel"), {id}, false);
        } else if (tag.Kind == NodeKind::FavariteRoot) {
            favorites << FormatTreeListLine(d, QStringLiteral("FavariteRoot"), {text, expanded}, false);
            for (const QString& carried : mCarriedFavorites) {
                const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(carried) : nullptr;
                if (channel ? !channel->BelongFavarite() : withCarried)
                    favorites << FormatTreeListLine(d + 1, QStringLiteral("FavariteChannel"),
                                                    {channel ? channel->ChannelID() : carried}, false);
            }
        } else if (tag.Kind == NodeKind::MultiMonitorRoot) {
            folders << FormatTreeListLine(d, QStringLiteral("MultiMonitorRoot"), {text, expanded}, false);
        } else if (tag.Kind == NodeKind::MultiMonitorFolder) {
            folders << FormatTreeListLine(d, QStringLiteral("MultiMonitorFolder"), {text, expanded}, false);
            const clsMultiMonitorFolder* folder =
                mMultiMonitorManeger ? mMultiMonitorManeger->MultiMonitor(id) : nullptr;
            for (const QString& carried : mCarriedMembers.value(id)) {
                const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(carried) : nullptr;
                if (channel ? !folder || !folder->IsRegistedChannel(channel->ChannelID()) : withCarried)
                    folders << FormatTreeListLine(d + 1, QStringLiteral("MultiMonitorChannel"),
                                                  {channel ? channel->ChannelID() : carried}, false);
            }
        } else if (tag.Kind == NodeKind::MultiMonitorChannel) {
            folders << FormatTreeListLine(d, QStringLiteral("MultiMonitorChannel"), {id}, false);
        }
        for (int c = item->childCount() - 1; c >= 0; --c) stack.emplace_back(item->child(c), d + 1);
    }
}

bool frmMain::SaveTreeListFiles(QStringList* failedFiles) {
    // Favourites and members carried from the start are written while the
    // next start will carry them too: when the channel list it reads names
    // no channel, or is the one that could not be read and stays as it was.
    // One whose channel has appeared since (from a record of another file)
    // is written as that channel's, as the next start will match it.
    const bool withCarried = (mListFileInfo[0].exists && !mListFileInfo[0].readable) || !mChannelManeger ||
                             mChannelManeger->ChannelCount() == 0;
    QStringList favorites, channels, folders;
    for (int i = 0; i < mTree->topLevelItemCount(); ++i)
        saveTreeListNode(mTree->topLevelItem(i), 0, favorites, channels, folders, withCarried);

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
            qCWarning(lcFiles).noquote() << "list not written: could not read" << path << "at start";
            continue;
        }
        QString error;
        if (!WriteTreeListFile(path, *out.lines, info.encoding, &error)) {
            ok = false;
            if (failedFiles) *failedFiles << path;
            qCWarning(lcFiles).noquote() << "list not written to" << path << "-" << error;
        }
    }
    return ok;
}
