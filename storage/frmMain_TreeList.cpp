// The tree list files ChannelList.txt, Favorite.txt and MultiMonitor.txt:
// loading them into the tree and the managers, and writing the tree back.
#include "view/frmMain.h"

#include "channel/clsChannel.h"
#include "channel/clsChannelManeger.h"
#include "common/Logging.h"
#include "common/Numeric.h"
#include "multimonitor/clsMultiMonitorFolder.h"
#include "multimonitor/clsMultiMonitorManeger.h"
#include "navigation/ChannelTreeModel.h"
#include "storage/TreeListFormat.h"
#include "storage/TreeListRecords.h"

namespace {

// The viewer's meaning of the records: channel objects, favourite marks and
// folders, through the managers, whose events make the favourite, folder and
// member nodes, as the user's own commands do.
class ViewerLoader : public TreeListLoader {
public:
    ViewerLoader(ChannelTreeModel& tree, clsChannelManeger& channels, clsMultiMonitorManeger& folders,
                 PictureElementArray& pictures, bool carry, QStringList& carriedFavorites,
                 QHash<QString, QStringList>& carriedMembers)
        : mTree(tree),
          mChannels(channels),
          mFolders(folders),
          mPictures(pictures),
          mCarry(carry),
          mCarriedFavorites(carriedFavorites),
          mCarriedMembers(carriedMembers),
          mSpare(pictures.Reserve()) {}
    // The spare was not needed.
    ~ViewerLoader() override { mPictures.UnloadLast(); }

    void ChannelRead(TreeNode*, const QStringList& record) override {
        if (mChannels.ChannelInitialize(ShowBoxElement(mPictures, mSpare), record)) mSpare = mPictures.Reserve();
    }
    TreeNode* FolderRead(const QString& name, bool expanded) override {
        // The folder handler makes the node; it is the newest node then.
        TreeNode* before = mTree.LastAddedNode();
        mFolders.AddMultiMonitorFolder(name, expanded);
        return mTree.LastAddedNode() != before ? mTree.LastAddedNode() : nullptr;
    }
    void FavoriteRead(const QString& ChannelID) override {
        clsChannel* channel = mChannels.Channel(ChannelID);
        // A favourite listed twice (perhaps in another letter case) stays one.
        if (channel && !channel->BelongFavarite()) {
            channel->setBelongFavarite(true);
        } else if (!channel && mCarry && !mCarriedFavorites.contains(ChannelID, Qt::CaseInsensitive)) {
            mCarriedFavorites << ChannelID;
        }
    }
    void MemberRead(TreeNode* folderNode, const QString& ChannelID) override {
        const clsChannel* channel = mChannels.Channel(ChannelID);
        const QString& folderID = folderNode->ID();
        if (!channel) {
            if (mCarry && !mCarriedMembers.value(folderID).contains(ChannelID, Qt::CaseInsensitive))
                mCarriedMembers[folderID] << ChannelID;
            return;
        }
        clsMultiMonitorFolder* folder = mFolders.MultiMonitor(folderID);
        if (!folder || folder->IsRegistedChannel(channel->ChannelID())) return;
        folder->AddChannel(channel->ChannelID(), mPictures.Make(mSpare), false);
        mSpare = mPictures.Reserve();
    }

private:
    ChannelTreeModel& mTree;
    clsChannelManeger& mChannels;
    clsMultiMonitorManeger& mFolders;
    PictureElementArray& mPictures;
    const bool mCarry;
    QStringList& mCarriedFavorites;
    QHash<QString, QStringList>& mCarriedMembers;
    // The index of the element for the next channel or member: reserved, as
    // a channel makes its show box only when it first shows a picture.
    int mSpare;
};

}  // namespace

void frmMain::LoadTreeListFile(const QStringList& lines) {
    // Without a channel list every channel is unknown: favourites and
    // members are then carried through to the next save as they were.
    ViewerLoader loader(*mTreeModel, *mChannelManeger, *mMultiMonitorManeger, mPictures, !mChannelsKnown,
                        mCarriedFavorites, mCarriedMembers);
    ReadTreeListRecords(*mTreeModel, lines, kViewerRecords, loader);
}

bool frmMain::SaveTreeListFiles(QStringList* failedFiles) {
    // Favourites and members carried from the start are written while the
    // next start will carry them too: when the channel list it reads names
    // no channel, or is the one that could not be read and stays as it was.
    // One whose channel has appeared since (from a record of another file)
    // is written as that channel's, as the next start will match it.
    const bool withCarried = (mListFileInfo[0].exists && !mListFileInfo[0].readable) || !mChannelManeger ||
                             mChannelManeger->ChannelCount() == 0;
    TreeListLines lines;
    auto channelRecord = [this](const TreeNode* node) -> std::optional<QString> {
        const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(node->ID()) : nullptr;
        return channel ? std::optional<QString>(channel->SaveString()) : std::nullopt;
    };
    auto carried = [this, withCarried](const TreeNode* node, int depth, TreeListLines& out) {
        if (node->Kind() == NodeKind::FavariteRoot) {
            for (const QString& id : mCarriedFavorites) {
                const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(id) : nullptr;
                if (channel ? !channel->BelongFavarite() : withCarried)
                    out.Favorites << FormatTreeListLine(depth + 1, QStringLiteral("FavariteChannel"),
                                                        {channel ? channel->ChannelID() : id}, false);
            }
        } else if (node->Kind() == NodeKind::MultiMonitorFolder) {
            const clsMultiMonitorFolder* folder =
                mMultiMonitorManeger ? mMultiMonitorManeger->MultiMonitor(node->ID()) : nullptr;
            for (const QString& id : mCarriedMembers.value(node->ID())) {
                const clsChannel* channel = mChannelManeger ? mChannelManeger->Channel(id) : nullptr;
                if (channel ? !folder || !folder->IsRegistedChannel(channel->ChannelID()) : withCarried)
                    out.Folders << FormatTreeListLine(depth + 1, QStringLiteral("MultiMonitorChannel"),
                                                      {channel ? channel->ChannelID() : id}, false);
            }
        }
    };
    WriteTreeListRecords(*mTreeModel, lines, channelRecord, carried);

    struct Out {
        const char* name;
        int info;  // index into mListFileInfo (load order)
        const QStringList* lines;
    };
    const Out outs[3] = {{"/Favorite.txt", 1, &lines.Favorites},
                         {"/ChannelList.txt", 0, &lines.Channels},
                         {"/MultiMonitor.txt", 2, &lines.Folders}};
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
